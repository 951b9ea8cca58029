#include "join/JoinEngine.h"

#include "join/JoinGeometry.h"
#include "join/SeeThrough.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace gz {

int ZoomedSize(int size, int zoom) { return int(std::trunc(double(size) * double(zoom) / 100.0)); }

void ApplyFlips(TABitmap& bitmap, int flips)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    if (bitmap.Empty())
        return;
    const std::size_t rowBytes = std::size_t(w) * 3;
    if (flips & flipUB) {
        std::vector<std::uint8_t> tmp(rowBytes);
        for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom) {
            std::uint8_t* a = bitmap.ScanLine(top);
            std::uint8_t* b = bitmap.ScanLine(bottom);
            std::memcpy(tmp.data(), a, rowBytes);
            std::memcpy(a, b, rowBytes);
            std::memcpy(b, tmp.data(), rowBytes);
        }
    }
    if (flips & flipLR) {
        for (int y = 0; y < h; ++y) {
            std::uint8_t* row = bitmap.ScanLine(y);
            for (int l = 0, r = w - 1; l < r; ++l, --r)
                for (int c = 0; c < 3; ++c)
                    std::swap(row[3 * l + c], row[3 * r + c]);
        }
    }
    if (flips & (flipUB | flipLR))
        bitmap.Changed();
}

namespace {

// Builds the joined raster in one pass: each row gets white, the old raster's row at its
// offset, and the placed picture's row blended over it, while the row is still in cache.
// alpha, when not null, is the placed picture's opacity plane: the see-through placement.
TABitmap Compose(const TABitmap& old, const TABitmap& placed, const TBitmap* alpha, const TJoinGeometry& g,
                 unsigned opacity)
{
    TABitmap result;
    result.AllocateUninitialized(g.canvasW, g.canvasH, pf24bit);
    const std::size_t canvasBytes = std::size_t(g.canvasW) * 3;
    const std::size_t oldX = std::size_t(g.oldX) * 3;
    const std::size_t oldBytes = std::size_t(old.Width()) * 3;
    const int nw = placed.Width(), nh = placed.Height();
    const int left = std::max(g.rect.Left, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(g.rect.Left) + nw, g.canvasW);
    const std::size_t blendBytes = right > left ? std::size_t(right - left) * 3 : 0;
    const std::size_t placedOffset = std::size_t(left - std::int64_t(g.rect.Left)) * 3;

    for (int y = 0; y < g.canvasH; ++y) {
        std::uint8_t* row = result.ScanLine(y);
        const int oy = y - g.oldY;
        if (g.drawOld && oy >= 0 && oy < old.Height()) {
            std::memset(row, 0xFF, oldX);
            std::memcpy(row + oldX, old.ScanLine(oy), oldBytes);
            std::memset(row + oldX + oldBytes, 0xFF, canvasBytes - oldX - oldBytes);
        } else {
            std::memset(row, 0xFF, canvasBytes);
        }
        const std::int64_t py = std::int64_t(y) - g.rect.Top;
        if (opacity == 0 || blendBytes == 0 || py < 0 || py >= nh)
            continue;
        if (alpha)
            BlendRowSeeThrough(placed.ScanLine(int(py)) + placedOffset, alpha->ScanLine(int(py)) + placedOffset / 3,
                               row + std::size_t(left) * 3, blendBytes / 3, opacity);
        else
            BlendRow(placed.ScanLine(int(py)) + placedOffset, row + std::size_t(left) * 3, blendBytes, opacity);
    }
    return result;
}

// The opacity plane mirrored as the picture is; empty when the join does not see through.
TBitmap PlacedAlpha(const TImageDocument& document, const TBitmap* alpha, const TABitmap& placed)
{
    if (!document.seeThrough || !alpha || alpha->Empty() || alpha->PixelFormat() != pf8bit ||
        alpha->Width() != placed.Width() || alpha->Height() != placed.Height())
        return {};
    // As photo orientations: 2 mirrors left-right, 4 upside-down, 3 both.
    const int orientation = (document.flips & flipUB) ? ((document.flips & flipLR) ? 3 : 4)
                                                       : ((document.flips & flipLR) ? 2 : 1);
    return OrientedRaster(*alpha, orientation);
}

// The join after the undo snapshot: false when nothing was joined.
bool JoinAfterSnapshot(TImageDocument& document, const TGraphic& picture, const TBitmap* alpha,
                       TPlacementRequest* wizard)
{
    if (document.joinDir < jdNew || document.joinDir > jdRight)
        return false; // corner directions have no geometry: nothing is drawn anywhere

    TABitmap placed;
    placed.Assign(picture);
    // Held by value (the pixels are shared, not copied): the raster joined onto stays the one
    // the geometry was taken from while the placement wizard waits for the user.
    const TABitmap old = document.workBmp;
    TJoinGeometry g = JoinGeometry(document.joinDir, document.joinPos, document.keepSize, old.Width(), old.Height(),
                                   placed.Width(), placed.Height());
    const TBitmap placedAlpha = PlacedAlpha(document, alpha, placed);
    ApplyFlips(placed, document.flips);

    unsigned opacity = 255;
    if (document.joinPos == jpCustom && wizard) {
        const std::optional<TPlacement> placement = wizard->AskPlacement(document, placed);
        if (!placement)
            return false;
        g.rect = placement->Rect;
        opacity = unsigned(std::clamp(placement->Opacity, 0, 255));
    }
    TABitmap result = Compose(old, placed, placedAlpha.Empty() ? nullptr : &placedAlpha, g, opacity);
    document.workBmp = result;
    return true;
}

bool JoinWithSnapshot(TImageDocument& document, const TGraphic& picture, const TBitmap* alpha,
                      TPlacementRequest* wizard)
{
    // A join that fails (a canvas too large for the memory left) keeps the undo step it found,
    // so that the user loses neither the picture nor the way back; copies share the pixels.
    const TABitmap previousUndo = document.undoBmp;
    document.undoBmp = document.workBmp;
    try {
        return JoinAfterSnapshot(document, picture, alpha, wizard);
    } catch (...) {
        document.undoBmp = previousUndo;
        throw;
    }
}

} // namespace

bool JoinPicture(TImageDocument& document, const TGraphic& picture, TPlacementRequest* wizard)
{
    return JoinWithSnapshot(document, picture, nullptr, wizard);
}

bool JoinPicture(TImageDocument& document, const TPictureRaster& picture, TPlacementRequest* wizard)
{
    return JoinWithSnapshot(document, picture.Colour, &picture.Alpha, wizard);
}

bool JoinBlank(TImageDocument* document, TPlacementRequest* wizard)
{
    if (!document)
        return false;
    TABitmap blank(document->workBmp.Width(), document->workBmp.Height());
    if (blank.Width() < 1)
        return false;
    return JoinPicture(*document, blank, wizard);
}

} // namespace gz
