// The metafile device's regions, shading, path bracket, clipping and bitmaps.

#include "platform/metafile/GdiDevice.h"

#include <QLinearGradient>

#include <algorithm>
#include <cmath>

namespace gz::metafile {

namespace {

// Clip paths more complex than this fall back to their bounding rectangle, and so do clip
// regions of more rectangles: combining paths costs more than linear time.
constexpr int kMaxClipElements = 4000;
constexpr std::size_t kMaxClipRects = 1000;

QPainterPath RectsPath(const std::vector<QRectF>& rects)
{
    QPainterPath p;
    p.setFillRule(Qt::WindingFill);
    for (const QRectF& r : rects)
        p.addRect(r.normalized());
    return p;
}

} // namespace

void GdiDevice::FillRegion(const GdiRegion& region, const GdiBrush& brush)
{
    Fill(MapToOutput(RectsPath(region.Rects)), brush);
}

void GdiDevice::FrameRegion(const GdiRegion& region, const GdiBrush& brush, double width, double height)
{
    const QPainterPath output = MapToOutput(RectsPath(region.Rects).simplified());
    if (brush.Style == kBsNull || !Drawable(output))
        return;
    ApplyClip();
    const double w = std::clamp(std::max(width, height) * DeviceScale(), 1.0, 1e4);
    painter_.strokePath(output, QPen(brush.Color, w));
}

void GdiDevice::FillShade(const QPolygonF& polygon, QColor from, QColor to, bool horizontal)
{
    QPainterPath logical;
    logical.addPolygon(polygon);
    logical.closeSubpath();
    const QPainterPath output = MapToOutput(logical);
    if (!Drawable(output))
        return;
    const QRectF bounds = polygon.boundingRect();
    const QTransform t = Total();
    QLinearGradient gradient(t.map(bounds.topLeft()), t.map(horizontal ? bounds.topRight() : bounds.bottomLeft()));
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    ApplyClip();
    painter_.fillPath(output, gradient);
}

// ---- path bracket ----

void GdiDevice::BeginPath()
{
    pathBracket_ = QPainterPath();
    finishedPath_.reset();
}

void GdiDevice::EndPath()
{
    if (!pathBracket_)
        return;
    finishedPath_ = *pathBracket_;
    pathBracket_.reset();
}

void GdiDevice::AbortPath()
{
    pathBracket_.reset();
    finishedPath_.reset();
}

void GdiDevice::CloseFigure()
{
    if (pathBracket_)
        pathBracket_->closeSubpath();
}

std::optional<QPainterPath> GdiDevice::TakeFinishedPath()
{
    if (pathBracket_)
        EndPath();
    if (!finishedPath_)
        return std::nullopt;
    QPainterPath path = *finishedPath_;
    finishedPath_.reset();
    path.setFillRule(state_.PolyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

void GdiDevice::FinishPath(bool fill, bool stroke)
{
    const std::optional<QPainterPath> taken = TakeFinishedPath();
    if (!taken)
        return;
    const QPainterPath& path = *taken;
    if (fill) {
        // Filling closes every open figure.
        QPainterPath closed;
        closed.setFillRule(path.fillRule());
        for (const QPolygonF& polygon : path.toSubpathPolygons())
            closed.addPolygon(polygon), closed.closeSubpath();
        Fill(closed, state_.Brush);
    }
    if (stroke)
        Stroke(path);
}

void GdiDevice::SelectClipPath(int mode)
{
    if (const std::optional<QPainterPath> path = TakeFinishedPath())
        CombineClip(*path, mode);
}

// ---- clipping ----

void GdiDevice::CombineClip(const QPainterPath& output, int mode)
{
    if (!Drawable(output) && mode != kRgnDiff && mode != kRgnOr)
        return;
    QPainterPath current;
    if (state_.Clipped) {
        current = state_.Clip;
    } else {
        current.addRect(outputArea_);
    }
    QPainterPath result;
    switch (mode) {
    case kRgnAnd: result = current.intersected(output); break;
    case kRgnOr: result = current.united(output); break;
    case kRgnXor: result = current.subtracted(output).united(output.subtracted(current)); break;
    case kRgnDiff: result = current.subtracted(output); break;
    case kRgnCopy: result = output; break;
    default: return;
    }
    if (result.elementCount() > kMaxClipElements) {
        const QRectF bounds = result.boundingRect();
        result = QPainterPath();
        result.addRect(bounds);
    }
    state_.Clip = result;
    state_.Clipped = true;
    clipDirty_ = true;
}

void GdiDevice::IntersectClipRect(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    CombineClip(MapToOutput(path), kRgnAnd);
}

void GdiDevice::ExcludeClipRect(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    CombineClip(MapToOutput(path), kRgnDiff);
}

void GdiDevice::OffsetClip(QPointF offset)
{
    if (!state_.Clipped)
        return;
    const QTransform t = Total();
    const QPointF d = t.map(offset) - t.map(QPointF(0, 0));
    if (!std::isfinite(d.x()) || !std::isfinite(d.y()))
        return;
    state_.Clip.translate(d);
    clipDirty_ = true;
}

void GdiDevice::SelectClipRegion(const GdiRegion* region, int mode)
{
    if (!region) {
        if (mode == kRgnCopy) {
            state_.Clipped = false;
            state_.Clip = QPainterPath();
            clipDirty_ = true;
        }
        return;
    }
    QPainterPath rects = RectsPath(region->Rects);
    if (region->Rects.size() > kMaxClipRects) {
        const QRectF bounds = rects.boundingRect();
        rects = QPainterPath();
        rects.addRect(bounds);
    }
    CombineClip(IsEmf() ? deviceToOutput_.map(rects) : MapToOutput(rects), mode);
}

// ---- bitmaps ----

void GdiDevice::PatBlt(const QRectF& dest, std::uint32_t rop)
{
    QPainterPath path;
    path.addRect(dest);
    const QPainterPath output = MapToOutput(path);
    GdiBrush brush;
    switch (rop) {
    case 0x00F00021: brush = state_.Brush; break;           // PATCOPY
    case 0x00000042: brush.Color = Qt::black; break;        // BLACKNESS
    case 0x00FF0062: brush.Color = Qt::white; break;        // WHITENESS
    case 0x00550009:                                        // DSTINVERT
    case 0x005A0049: {                                      // PATINVERT
        if (!Drawable(output))
            return;
        ApplyClip();
        painter_.setRenderHint(QPainter::Antialiasing, false);
        painter_.setCompositionMode(rop == 0x00550009 ? QPainter::RasterOp_NotDestination
                                                      : QPainter::RasterOp_SourceXorDestination);
        painter_.fillPath(output, state_.Brush.Color);
        EndRop();
        return;
    }
    default: return;
    }
    const int rop2 = state_.Rop2;
    state_.Rop2 = 13;
    Fill(output, brush);
    state_.Rop2 = rop2;
}

void GdiDevice::DrawBitmap(const QRectF& dest, const QImage& image, const QRectF& src, std::uint32_t rop)
{
    switch (rop) {
    case 0x00AA0029: return; // leave the destination
    case 0x00F00021: case 0x00000042: case 0x00FF0062: case 0x00550009: case 0x005A0049:
        PatBlt(dest, rop);
        return;
    default: break;
    }
    if (image.isNull() || src.width() == 0 || src.height() == 0 || dest.width() == 0 || dest.height() == 0)
        return;
    const double sx = dest.width() / src.width(), sy = dest.height() / src.height();
    const QTransform toLogical(sx, 0, 0, sy, dest.x() - src.x() * sx, dest.y() - src.y() * sy);
    const QTransform toOutput = toLogical * Total();
    const QRectF part = src.normalized().intersected(QRectF(image.rect()));
    if (part.isEmpty())
        return;
    QPainterPath area;
    area.addRect(part);
    if (!Drawable(toOutput.map(area)))
        return;
    ApplyClip();
    QImage source = image;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case 0x008800C6: mode = QPainter::RasterOp_SourceAndDestination; break; // SRCAND
    case 0x00EE0086: mode = QPainter::RasterOp_SourceOrDestination; break;  // SRCPAINT
    case 0x00660046: mode = QPainter::RasterOp_SourceXorDestination; break; // SRCINVERT
    case 0x00330008: source.invertPixels(); break;                          // NOTSRCCOPY
    case 0x00BB0226: source.invertPixels(); mode = QPainter::RasterOp_SourceOrDestination; break; // MERGEPAINT
    default: break;
    }
    painter_.setCompositionMode(mode);
    painter_.setTransform(toOutput);
    painter_.drawImage(part, source, part);
    painter_.resetTransform();
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace gz::metafile
