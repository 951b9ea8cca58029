#pragma once
// The data of one document window: its join settings, the working raster and the undo raster.
// The window shows it; the join engine changes it.

#include "join/ABitmap.h"
#include "join/JoinTypes.h"

namespace gz {

struct TImageDocument {
    int zoom = 100;
    TSizeMode keepSize = smGrow;
    TJoinDir joinDir = jdNew;
    TJoinPos joinPos = jpStart;
    int flips = 0;
    bool seeThrough = false; // transparent parts of a picture show what lies beneath
    TABitmap workBmp;
    TABitmap undoBmp;

    // One step back: the working raster becomes the undo raster, which stays as it is.
    void Undo() { workBmp = undoBmp; }
};

} // namespace gz
