#pragma once
// Where a join puts things: the size of the new canvas, where the old raster goes on it and
// the rectangle of the new picture. The join engine composes by it, and the join plan of
// gazorin-cli lays out whole sequences by it, so both agree on every pixel.

#include "join/JoinTypes.h"
#include "platform/Types.h"

namespace gz {

struct TJoinGeometry {
    int canvasW = 0, canvasH = 0;
    bool drawOld = false; // false for a new-window join: the old raster is dropped
    int oldX = 0, oldY = 0;
    TRect rect;           // the new picture; a custom placement replaces it
};

// Geometry of joining an nw x nh picture onto an ow x oh raster with the given direction
// (jdNew..jdRight), position and canvas mode. Raises EOutOfResources when the canvas would
// be wider or higher than a raster can be.
TJoinGeometry JoinGeometry(TJoinDir joinDir, TJoinPos joinPos, TSizeMode keepSize, int ow, int oh, int nw, int nh);

} // namespace gz
