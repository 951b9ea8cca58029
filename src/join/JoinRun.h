#pragma once
// The in-memory way through a join sequence: every join done by the join engine on whole
// rasters, as a document window does it. gazorin-cli's streamed output must equal this.

#include "join/ABitmap.h"
#include "join/JoinLayout.h"
#include "join/JoinPlan.h"
#include "join/PictureRaster.h"

#include <functional>

namespace gz {

// Runs the joins; picture(i) reads input i when its join comes (its opacity is used by the
// joins that see through). Returns the final raster.
TABitmap RunJoinsInMemory(const std::vector<TJoinOp>& ops, const std::function<TPictureRaster(int input)>& picture);

// Paints the canvas that no input picture covers (the plan's uncovered spans) with colour.
void PaintUncovered(TBitmap& raster, const TJoinPlan& plan, TColor colour);

} // namespace gz
