#pragma once
// Nearest-neighbour rendering of the visible part of a raster shown at a zoomed size. Only
// the pixels of the requested part are produced, so a huge picture costs no more to show
// than a small one.

#include <QColor>
#include <QImage>
#include <QRect>

class QPainter;

namespace gz {
class TBitmap;
}

namespace gz::ui {

// Zoom limits in percent: the wheel and the zoom box's list go from 10 to 800 (the wheel in
// steps of 10), a value typed into the box up to 400.
constexpr int MinZoom = 10, MaxZoom = 800, TypedMaxZoom = 400, WheelZoomStep = 10;

// The part `part` of bitmap stretched to zoomedWidth x zoomedHeight, as an RGB32 image of
// part's size. part is clipped to the zoomed picture; the result is null when nothing remains.
// Column x of the zoomed picture shows source column x * width / zoomedWidth (rows alike).
QImage RenderZoomedPart(const TBitmap& bitmap, int zoomedWidth, int zoomedHeight, const QRect& part);

// Paints the exposed part (surface coordinates) of a document's paint surface: the raster at
// (0, 0) at the zoom, nearest neighbour, and a diagonal-cross hatch in the face colour
// wherever the surface is larger than the zoomed picture. Nothing for an empty raster.
void PaintZoomedView(QPainter& painter, const TBitmap& bitmap, int zoom, const QRect& exposed, const QColor& face);

} // namespace gz::ui
