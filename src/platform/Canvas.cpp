#include "platform/Canvas.h"

#include "platform/Bitmap.h"
#include "platform/PixelRows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace gz {

namespace {

bool IsDirect(TPixelFormat pf) { return pf == pf24bit || pf == pfDevice || pf == pf32bit; }

TRect ClipTo(const TRect& r, int w, int h)
{
    return {std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, w), std::min(r.Bottom, h)};
}

} // namespace

void TCanvas::PlotRowSpan(int y, int x0, int x1, TColor c)
{
    if (x0 >= x1)
        return;
    const TPixelFormat pf = bitmap_.PixelFormat();
    if (!IsDirect(pf)) {
        for (int x = x0; x < x1; ++x)
            bitmap_.SetPixel(x, y, c);
        return;
    }
    const int bpp = pf == pf32bit ? 4 : 3;
    std::uint8_t* row = bitmap_.ScanLine(y);
    for (int x = x0; x < x1; ++x) {
        std::uint8_t* p = row + bpp * x;
        p[0] = ColorBlue(c), p[1] = ColorGreen(c), p[2] = ColorRed(c);
    }
}

void TCanvas::FillRect(const TRect& r)
{
    if (Brush.Style == bsClear)
        return;
    const TRect c = ClipTo(r, bitmap_.Width(), bitmap_.Height());
    for (int y = c.Top; y < c.Bottom; ++y) {
        if (Brush.Style == bsSolid) {
            PlotRowSpan(y, c.Left, c.Right, Brush.Color);
            continue;
        }
        // Diagonal cross hatch on an 8-pixel grid anchored at the bitmap origin.
        PlotRowSpan(y, c.Left, c.Right, BackgroundColor);
        for (int x = c.Left; x < c.Right; ++x)
            if (((x + y) & 7) == 0 || ((x - y) & 7) == 0)
                PlotRowSpan(y, x, x + 1, Brush.Color);
    }
    bitmap_.Changed();
}

void TCanvas::LineTo(int x, int y)
{
    // Bresenham from the pen position to (x, y), end point excluded.
    int x0 = penPos_.X, y0 = penPos_.Y;
    const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
    const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
    int err = dx + dy;
    if (Pen.Style != psClear) {
        while (x0 != x || y0 != y) {
            if (Pen.Style == psSolid || (dotPhase_ & 1) == 0)
                bitmap_.SetPixel(x0, y0, Pen.Color);
            ++dotPhase_;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
        bitmap_.Changed();
    }
    penPos_ = {x, y};
}

void TCanvas::Rectangle(int left, int top, int right, int bottom)
{
    FillRect({left + 1, top + 1, right - 1, bottom - 1});
    MoveTo(left, top);
    LineTo(right - 1, top);
    LineTo(right - 1, bottom - 1);
    LineTo(left, bottom - 1);
    LineTo(left, top);
}

void TCanvas::Draw(int x, int y, const TGraphic& graphic)
{
    graphic.Draw(*this, {x, y, x + graphic.Width(), y + graphic.Height()});
}

void TCanvas::StretchDraw(const TRect& r, const TGraphic& graphic) { graphic.Draw(*this, r); }

TColor TCanvas::Pixel(int x, int y) const { return bitmap_.Pixel(x, y); }
void TCanvas::SetPixel(int x, int y, TColor c) { bitmap_.SetPixel(x, y, c); }

void TCanvas::StretchDrawBitmap(const TRect& r, const TBitmap& source)
{
    const int rw = r.Width(), rh = r.Height();
    const int sw = source.Width(), sh = source.Height();
    if (rw <= 0 || rh <= 0 || sw == 0 || sh == 0)
        return;
    const TRect c = ClipTo(r, bitmap_.Width(), bitmap_.Height());
    if (c.Left >= c.Right || c.Top >= c.Bottom)
        return;
    // Taking a copy keeps the source valid when it shares storage with the destination.
    const TBitmap src(source);
    std::vector<int> columnOffset(std::size_t(c.Right - c.Left));
    for (int x = c.Left; x < c.Right; ++x)
        columnOffset[std::size_t(x - c.Left)] = int(std::int64_t(x - r.Left) * sw / rw) * 3;

    const TPixelFormat pf = bitmap_.PixelFormat();
    const bool direct = IsDirect(pf);
    const int bpp = pf == pf32bit ? 4 : 3;
    std::vector<std::uint8_t> srcRow(std::size_t(sw) * 3);
    std::vector<std::uint8_t> dstRow(direct ? 0 : std::size_t(bitmap_.Width()) * 3);
    int decoded = -1;
    for (int y = c.Top; y < c.Bottom; ++y) {
        const int sy = int(std::int64_t(y - r.Top) * sh / rh);
        if (sy != decoded) {
            src.ReadRowBGR(sy, srcRow.data());
            decoded = sy;
        }
        if (direct) {
            std::uint8_t* out = bitmap_.ScanLine(y) + std::size_t(c.Left) * bpp;
            for (int off : columnOffset) {
                std::memcpy(out, &srcRow[std::size_t(off)], 3);
                out += bpp;
            }
            continue;
        }
        bitmap_.ReadRowBGR(y, dstRow.data());
        std::uint8_t* out = &dstRow[std::size_t(c.Left) * 3];
        for (int off : columnOffset) {
            std::memcpy(out, &srcRow[std::size_t(off)], 3);
            out += 3;
        }
        for (int x = c.Left; x < c.Right; ++x) {
            const std::uint8_t* p = &dstRow[std::size_t(x) * 3];
            bitmap_.SetPixel(x, y, RGBColor(p[2], p[1], p[0]));
        }
    }
    bitmap_.Changed();
}

} // namespace gz
