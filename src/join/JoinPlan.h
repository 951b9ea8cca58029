#pragma once
// The join plan: a whole join sequence worked out from the picture sizes alone, before any
// pixel is decoded. It says how large the final canvas is and, in join order, where each
// picture lands on it, which part of it shows, how it is mirrored and whether it arrives on
// untouched canvas. The geometry is the join engine's (JoinGeometry).

#include "join/JoinLayout.h"
#include "platform/Types.h"

#include <utility>
#include <vector>

namespace gz {

struct TPictureSize {
    int width = 0, height = 0;
};

struct TPlacedPicture {
    int input = kBlankInput; // kBlankInput: a white picture
    TRect rect;              // the whole (mirrored) picture on the final canvas; may reach outside
    TRect clip;              // the part of rect that is drawn, inside the canvas
    int flips = 0;
    unsigned opacity = 255;
    bool seeThrough = false; // its transparent parts show what lies beneath
    // Nothing was drawn under clip before: with full opacity the picture arrives unchanged.
    bool overWhite = false;
};

struct TJoinPlan {
    int width = 0, height = 0;
    // In blend order: each is drawn over the canvas as the pictures before it left it. White
    // pictures that land on untouched canvas change nothing and are left out.
    std::vector<TPlacedPicture> pictures;

    // The column ranges [first, second) of row y that no input picture covers: the canvas
    // itself, including white pictures and gap strips. Ordered left to right.
    std::vector<std::pair<int, int>> UncoveredSpans(int y) const;
};

// Works the joins out on the input sizes. A join the engine would leave out (a blank on an
// empty picture) is left out here too. Raises EOutOfResources for a canvas too large to exist.
TJoinPlan BuildJoinPlan(const std::vector<TJoinOp>& ops, const std::vector<TPictureSize>& inputs);

// The rectangles' common part; empty (zero width or height) when they do not meet.
TRect Intersection(const TRect& a, const TRect& b);
inline bool IsEmptyRect(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }

} // namespace gz
