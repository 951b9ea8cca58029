#pragma once
// TCanvas: drawing on a TBitmap with a pen and a brush. Lines leave out their end point;
// rectangles take left/top inclusive and right/bottom exclusive; everything is clipped
// to the bitmap.

#include "platform/Types.h"

namespace gz {

class TBitmap;
class TGraphic;

enum TPenStyle { psSolid, psDot, psClear };
enum TBrushStyle { bsSolid, bsClear, bsDiagCross };

struct TPen {
    TColor Color = clBlack;
    TPenStyle Style = psSolid;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};

class TCanvas {
public:
    explicit TCanvas(TBitmap& bitmap) : bitmap_(bitmap) {}

    TPen Pen;
    TBrush Brush;
    // What shows between the lines of a hatch brush.
    TColor BackgroundColor = clWhite;

    void FillRect(const TRect& r);
    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    void LineTo(int x, int y);
    void Rectangle(int left, int top, int right, int bottom);
    void Draw(int x, int y, const TGraphic& graphic);
    void StretchDraw(const TRect& r, const TGraphic& graphic);
    TColor Pixel(int x, int y) const;
    void SetPixel(int x, int y, TColor c);

    // Nearest-neighbour copy of source stretched into r; what the bitmap's Draw calls.
    void StretchDrawBitmap(const TRect& r, const TBitmap& source);
    // The bitmap this canvas draws on, for pictures that render their own pixels.
    TBitmap& Bitmap() const { return bitmap_; }

private:
    void PlotRowSpan(int y, int x0, int x1, TColor c);
    TBitmap& bitmap_;
    TPoint penPos_;
    unsigned dotPhase_ = 0;
};

} // namespace gz
