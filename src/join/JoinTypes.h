#pragma once
// The join settings of a document and their enumerations.

#include "platform/Types.h"

namespace gz {

enum TJoinDir { jdNew, jdUp, jdDown, jdLeft, jdRight, jdUpLeft, jdUpRight, jdDownLeft, jdDownRight };
enum TJoinPos { jpStart, jpCenter, jpEnd, jpCustom };
// The keepSize setting: the join grows the canvas to hold both pictures, or the canvas keeps
// the working raster's size and the new picture is laid over it.
enum class TSizeMode { smGrow, smKeep };
using enum TSizeMode;

// Bits of the flips setting.
constexpr int flipLR = 1; // mirror the new picture left-right
constexpr int flipUB = 2; // mirror the new picture upside-down

// Left coordinate of a placement that the user cancelled.
constexpr int PlacementCancelled = -32768;

// trunc(size * zoom / 100), computed in floating point.
int ZoomedSize(int size, int zoom);

} // namespace gz
