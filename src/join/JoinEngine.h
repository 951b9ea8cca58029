#pragma once
// The join engine: attaches a new picture to a document's working raster on the side, at the
// position and with the flips of the document's settings, growing the canvas or keeping it.

#include "join/ImageDocument.h"
#include "join/PictureRaster.h"

#include <optional>

namespace gz {

class TGraphic;

// What the custom position asks of the placement wizard.
struct TPlacement {
    TRect Rect;
    int Opacity = 255;    // 0..255
};

class TPlacementRequest {
public:
    virtual ~TPlacementRequest() = default;
    // Where the placed (flipped) picture goes on the document's raster; nothing when the user
    // cancelled, which abandons the join.
    virtual std::optional<TPlacement> AskPlacement(const TImageDocument& document, const TABitmap& placed) = 0;
};

// Joins picture onto document.workBmp. The undo snapshot is taken first, always.
// Returns false when the join left workBmp unchanged (custom placement cancelled, or a
// corner direction, which has no geometry). wizard may be null when joinPos is not jpCustom.
bool JoinPicture(TImageDocument& document, const TGraphic& picture, TPlacementRequest* wizard);
// The same for a loaded picture: with document.seeThrough, its transparent parts (its Alpha)
// show what lies beneath; otherwise, and where it is opaque, the join is the one above.
bool JoinPicture(TImageDocument& document, const TPictureRaster& picture, TPlacementRequest* wizard);

// The blank join: joins a white picture of the working raster's size. Does nothing (and
// returns false) without a document or with an empty working raster.
bool JoinBlank(TImageDocument* document, TPlacementRequest* wizard);

// Mirrors a 24-bit raster in place (flipUB first, then flipLR).
void ApplyFlips(TABitmap& bitmap, int flips);

} // namespace gz
