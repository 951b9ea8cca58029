#pragma once
// A whole join sequence as gazorin-cli takes it (pictures with the settings in force for each,
// gaps between pictures, rows of a grid) and its expansion into the single joins a document
// window would do, one after another. The in-memory run and the join plan both work from that
// one list of joins.

#include "join/JoinTypes.h"
#include "platform/Types.h"

#include <optional>
#include <vector>

namespace gz {

// The settings in force when a picture is joined.
struct TLayoutSettings {
    TJoinDir direction = jdRight;
    TJoinPos position = jpStart;
    std::optional<TPoint> at; // custom top-left corner on the canvas
    int flips = 0;
    TSizeMode keepSize = smGrow;
    int gap = 0;              // a white strip this deep before each picture of a growing join
    int across = 0;           // > 0: pictures go in rows of this many (a grid)
    bool autoOrient = true;   // turn photos as their orientation tag says
    bool seeThrough = false;  // transparent parts of a picture show what lies beneath
};

constexpr int kBlankInput = -1;

struct TLayoutStep {
    int input = kBlankInput;  // index of the input picture, or kBlankInput for ":blank"
    TLayoutSettings settings;
};

// One join of a document, as the join engine does it.
struct TJoinOp {
    enum TSource {
        soPicture, // input picture `input`
        soBlank,   // a white picture: of input `input`'s size, or (input < 0) of the document's
        soStrip,   // a white strip `depth` pixels deep in the join direction, one pixel across
        soRow,     // the finished row document, which then starts empty again
    };
    TSource source = soPicture;
    int input = kBlankInput;
    int depth = 0;
    int document = 0; // 0: the picture; 1: the row being built
    TJoinDir joinDir = jdNew;
    TJoinPos joinPos = jpStart;
    TSizeMode keepSize = smGrow;
    int flips = 0;
    std::optional<TPoint> corner; // the custom position (joinPos is then jpCustom)
    bool seeThrough = false;      // the document's see-through setting for this join
};

// The joins of a sequence. The first picture opens the picture (a new-window join keeping its
// flips). Under `across`, each picture is joined to the right of the row being built, and a
// row that is full (or the last one) is joined below the picture, aligned by the position in
// force; a blank there is a white cell the size of the picture before it. A gap adds a white
// strip before each picture of a growing join at start, centre or end, and before each row.
std::vector<TJoinOp> ExpandLayout(const std::vector<TLayoutStep>& steps);

} // namespace gz
