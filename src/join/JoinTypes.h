#pragma once
// The join settings of a document and their enumerations.

#include "platform/Types.h"

namespace gz {

// The values are the panel's and the menus' tags (jdNew 0 ... jdDownRight 8, jpStart 0 ...).
enum class TJoinDir { jdNew, jdUp, jdDown, jdLeft, jdRight, jdUpLeft, jdUpRight, jdDownLeft, jdDownRight };
using enum TJoinDir;
enum class TJoinPos { jpStart, jpCenter, jpEnd, jpCustom };
using enum TJoinPos;
// The keepSize setting: the join grows the canvas to hold both pictures, or the canvas keeps
// the working raster's size and the new picture is laid over it.
enum class TSizeMode { smGrow, smKeep };
using enum TSizeMode;

// Bits of the flips setting.
constexpr int flipLR = 1; // mirror the new picture left-right
constexpr int flipUB = 2; // mirror the new picture upside-down

// trunc(size * zoom / 100), computed in floating point.
int ZoomedSize(int size, int zoom);

} // namespace gz
