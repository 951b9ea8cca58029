#include "platform/metafile/GdiDevice.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gz::metafile {

namespace {

// Coordinates beyond this many output pixels are treated as garbage and not drawn.
constexpr double kMaxOutputCoordinate = 1e8;
constexpr std::size_t kMaxSavedStates = 4096;

bool AxisAligned(const QTransform& t) { return t.m12() == 0 && t.m21() == 0; }

} // namespace

GdiObject StockObject(std::uint32_t index)
{
    switch (index) {
    case 0: return GdiBrush{kBsSolid, Qt::white, 0, {}};
    case 1: return GdiBrush{kBsSolid, QColor(192, 192, 192), 0, {}};
    case 2: return GdiBrush{kBsSolid, QColor(128, 128, 128), 0, {}};
    case 3: return GdiBrush{kBsSolid, QColor(64, 64, 64), 0, {}};
    case 4: return GdiBrush{kBsSolid, Qt::black, 0, {}};
    case 5: return GdiBrush{kBsNull, Qt::black, 0, {}};
    case 6: return GdiPen{0, 0, Qt::white};
    case 7: return GdiPen{0, 0, Qt::black};
    case 8: return GdiPen{kPsNull, 0, Qt::black};
    case 10: case 11: case 16: { GdiFont f; f.Height = 16; f.Face = QStringLiteral("Monospace"); f.PitchAndFamily = 0x31; return f; }
    case 12: case 13: case 14: case 17: { GdiFont f; f.Height = 16; return f; }
    case 18: return GdiBrush{kBsSolid, Qt::white, 0, {}};
    case 19: return GdiPen{0, 0, Qt::black};
    default: return std::monostate{};
    }
}

GdiDevice::GdiDevice(QPainter& painter, const MetafileHeader& header, const QRectF& output)
    : painter_(painter), kind_(header.Kind), pxPerMmX_(header.DevicePxPerMmX), pxPerMmY_(header.DevicePxPerMmY)
{
    const double sx = output.width() / (header.Right - header.Left);
    const double sy = output.height() / (header.Bottom - header.Top);
    deviceToOutput_ = QTransform(sx, 0, 0, sy, output.left() - header.Left * sx, output.top() - header.Top * sy);
    outputArea_ = QRectF(0, 0, painter.device()->width(), painter.device()->height());
    if (kind_ == MetafileKind::Wmf) {
        // A WMF is played the way programs place it: its picture rectangle is the viewport,
        // and the window its records set is stretched onto it.
        state_.MapMode = kMmAnisotropic;
        state_.WindowOrg = state_.ViewportOrg = QPointF(header.Left, header.Top);
        state_.WindowExt = state_.ViewportExt = QPointF(header.Right - header.Left, header.Bottom - header.Top);
    }
    painter_.setRenderHint(QPainter::Antialiasing);
    painter_.setRenderHint(QPainter::TextAntialiasing);
    painter_.setRenderHint(QPainter::SmoothPixmapTransform);
}

QColor GdiDevice::ColorRef(std::uint32_t c) const
{
    if ((c >> 24) == 1) {
        const std::size_t index = c & 0xFFFF;
        return index < state_.Palette.size() ? QColor(state_.Palette[index]) : QColor(Qt::black);
    }
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

void GdiDevice::SaveDc()
{
    if (saved_.size() < kMaxSavedStates)
        saved_.push_back(state_);
}

void GdiDevice::RestoreDc(int relative)
{
    std::size_t keep;
    if (relative < 0) {
        const std::size_t back = std::size_t(-std::int64_t(relative));
        if (back > saved_.size())
            return;
        keep = saved_.size() - back;
    } else {
        if (relative == 0 || std::size_t(relative) > saved_.size())
            return;
        keep = std::size_t(relative) - 1;
    }
    state_ = saved_[keep];
    saved_.resize(keep);
    clipDirty_ = true;
}

void GdiDevice::Select(const GdiObject& object)
{
    if (const auto* pen = std::get_if<GdiPen>(&object))
        state_.Pen = *pen;
    else if (const auto* brush = std::get_if<GdiBrush>(&object))
        state_.Brush = *brush;
    else if (const auto* font = std::get_if<GdiFont>(&object))
        state_.Font = *font;
    else if (const auto* palette = std::get_if<GdiPalette>(&object))
        state_.Palette = palette->Colors;
    else if (const auto* region = std::get_if<GdiRegion>(&object))
        SelectClipRegion(region, kRgnCopy);
}

// ---- mapping ----

void GdiDevice::SetWindowExt(QPointF e)
{
    if (e.x() != 0 && e.y() != 0)
        state_.WindowExt = e;
}

void GdiDevice::SetViewportExt(QPointF e)
{
    if (e.x() != 0 && e.y() != 0)
        state_.ViewportExt = e;
}

void GdiDevice::ScaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        SetWindowExt(QPointF(state_.WindowExt.x() * xNum / xDen, state_.WindowExt.y() * yNum / yDen));
}

void GdiDevice::ScaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen != 0 && yDen != 0)
        SetViewportExt(QPointF(state_.ViewportExt.x() * xNum / xDen, state_.ViewportExt.y() * yNum / yDen));
}

void GdiDevice::ModifyWorldTransform(const QTransform& t, int mode)
{
    switch (mode) {
    case 1: state_.World = QTransform(); break;           // identity
    case 2: state_.World = t * state_.World; break;       // left multiply
    case 3: state_.World = state_.World * t; break;       // right multiply
    case 4: state_.World = t; break;                      // set
    default: break;
    }
}

QTransform GdiDevice::PageTransform() const
{
    const DcState& s = state_;
    int mode = s.MapMode;
    if (kind_ == MetafileKind::Wmf && mode != kMmIsotropic)
        mode = kMmAnisotropic;
    double sx = 1, sy = 1;
    switch (mode) {
    case kMmLoMetric: sx = pxPerMmX_ * 0.1, sy = -pxPerMmY_ * 0.1; break;
    case kMmHiMetric: sx = pxPerMmX_ * 0.01, sy = -pxPerMmY_ * 0.01; break;
    case kMmLoEnglish: sx = pxPerMmX_ * 0.254, sy = -pxPerMmY_ * 0.254; break;
    case kMmHiEnglish: sx = pxPerMmX_ * 0.0254, sy = -pxPerMmY_ * 0.0254; break;
    case kMmTwips: sx = pxPerMmX_ * 25.4 / 1440, sy = -pxPerMmY_ * 25.4 / 1440; break;
    case kMmIsotropic:
    case kMmAnisotropic:
        sx = s.ViewportExt.x() / s.WindowExt.x();
        sy = s.ViewportExt.y() / s.WindowExt.y();
        if (mode == kMmIsotropic) {
            const double m = std::min(std::fabs(sx), std::fabs(sy));
            sx = std::copysign(m, sx), sy = std::copysign(m, sy);
        }
        break;
    default: break;
    }
    return QTransform(sx, 0, 0, sy, s.ViewportOrg.x() - s.WindowOrg.x() * sx, s.ViewportOrg.y() - s.WindowOrg.y() * sy);
}

QTransform GdiDevice::Total() const { return state_.World * PageTransform() * deviceToOutput_; }

double GdiDevice::DeviceScale() const { return std::sqrt(std::fabs(Total().determinant())); }

QPainterPath GdiDevice::MapToOutput(const QPainterPath& logical) const { return Total().map(logical); }

bool GdiDevice::Drawable(const QPainterPath& output) const
{
    const QRectF r = output.controlPointRect();
    return std::isfinite(r.left()) && std::isfinite(r.top()) && std::isfinite(r.right()) &&
           std::isfinite(r.bottom()) && std::fabs(r.left()) < kMaxOutputCoordinate &&
           std::fabs(r.right()) < kMaxOutputCoordinate && std::fabs(r.top()) < kMaxOutputCoordinate &&
           std::fabs(r.bottom()) < kMaxOutputCoordinate &&
           // Not QRectF::intersects: a horizontal or vertical line has an empty rectangle.
           r.right() >= outputArea_.left() - 1e4 && r.left() <= outputArea_.right() + 1e4 &&
           r.bottom() >= outputArea_.top() - 1e4 && r.top() <= outputArea_.bottom() + 1e4;
}

// ---- pens, brushes, raster operations ----

QPen GdiDevice::OutputPen() const
{
    const GdiPen& p = state_.Pen;
    const int style = p.Style & kPsStyleMask;
    if (style == kPsNull)
        return QPen(Qt::NoPen);
    double width = std::clamp(p.Width * DeviceScale(), 1.0, 1e5);
    if (!std::isfinite(width))
        width = 1;
    QPen pen(p.Color, width);
    switch (p.Style & kPsEndcapMask) {
    case 0x100: pen.setCapStyle(Qt::SquareCap); break;
    case 0x200: pen.setCapStyle(Qt::FlatCap); break;
    default: pen.setCapStyle(Qt::RoundCap); break;
    }
    switch (p.Style & kPsJoinMask) {
    case 0x1000: pen.setJoinStyle(Qt::BevelJoin); break;
    case 0x2000: pen.setJoinStyle(Qt::MiterJoin); break;
    default: pen.setJoinStyle(Qt::RoundJoin); break;
    }
    const bool geometric = (p.Style & 0x10000) != 0;
    if (width <= 1.5 || geometric) {
        switch (style) {
        case 1: pen.setStyle(Qt::DashLine); break;
        case 2: case 8: pen.setStyle(Qt::DotLine); break;
        case 3: pen.setStyle(Qt::DashDotLine); break;
        case 4: pen.setStyle(Qt::DashDotDotLine); break;
        case 7: pen.setStyle(Qt::DashLine); break;
        default: break;
        }
        if (pen.style() != Qt::SolidLine)
            pen.setCapStyle(Qt::FlatCap);
    }
    return pen;
}

QBrush GdiDevice::OutputBrush(const GdiBrush& b) const
{
    if (b.Style == kBsNull)
        return Qt::NoBrush;
    if (b.Style == kBsHatched) {
        static constexpr Qt::BrushStyle hatches[] = {Qt::HorPattern, Qt::VerPattern, Qt::FDiagPattern,
                                                     Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
        return QBrush(b.Color, b.Hatch >= 0 && b.Hatch < 6 ? hatches[b.Hatch] : Qt::SolidPattern);
    }
    if (!b.Pattern.isNull())
        return QBrush(b.Pattern);
    return QBrush(b.Color);
}

void GdiDevice::ApplyClip()
{
    painter_.resetTransform();
    if (!clipDirty_)
        return;
    if (state_.Clipped)
        painter_.setClipPath(state_.Clip);
    else
        painter_.setClipping(false);
    clipDirty_ = false;
}

bool GdiDevice::BeginRop(QColor* overrideColor)
{
    *overrideColor = QColor();
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (state_.Rop2) {
    case 11: return false; // leave the destination alone
    case 1: *overrideColor = Qt::black; return true;
    case 16: *overrideColor = Qt::white; return true;
    case 6: mode = QPainter::RasterOp_NotDestination; break;
    case 7: mode = QPainter::RasterOp_SourceXorDestination; break;
    case 9: mode = QPainter::RasterOp_SourceAndDestination; break;
    case 10: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case 15: mode = QPainter::RasterOp_SourceOrDestination; break;
    default: return true;
    }
    painter_.setCompositionMode(mode);
    painter_.setRenderHint(QPainter::Antialiasing, false);
    return true;
}

void GdiDevice::EndRop()
{
    painter_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_.setRenderHint(QPainter::Antialiasing, true);
}

void GdiDevice::Fill(const QPainterPath& output, const GdiBrush& brush)
{
    if (brush.Style == kBsNull || !Drawable(output))
        return;
    ApplyClip();
    QColor over;
    if (!BeginRop(&over))
        return;
    if (over.isValid()) {
        painter_.fillPath(output, over);
    } else {
        if (brush.Style == kBsHatched && state_.BkMode == kBkOpaque)
            painter_.fillPath(output, state_.BkColor);
        painter_.fillPath(output, OutputBrush(brush));
    }
    EndRop();
}

void GdiDevice::Stroke(const QPainterPath& output)
{
    QPen pen = OutputPen();
    if (pen.style() == Qt::NoPen || !Drawable(output))
        return;
    ApplyClip();
    QColor over;
    if (!BeginRop(&over))
        return;
    if (over.isValid())
        pen.setColor(over);
    painter_.strokePath(output, pen);
    EndRop();
}

void GdiDevice::Shape(const QPainterPath& logical, bool fill)
{
    QPainterPath output = MapToOutput(logical);
    if (pathBracket_) {
        pathBracket_->addPath(output);
        return;
    }
    output.setFillRule(state_.PolyFillMode == kWinding ? Qt::WindingFill : Qt::OddEvenFill);
    if (fill)
        Fill(output, state_.Brush);
    Stroke(output);
}

void GdiDevice::OpenShape(const QPainterPath& logical) { Shape(logical, false); }

// ---- lines and shapes ----

void GdiDevice::MoveTo(QPointF p) { state_.Position = p; }

void GdiDevice::LineTo(QPointF p)
{
    PolylineTo(QPolygonF{p});
}

void GdiDevice::Polyline(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(points);
    OpenShape(path);
}

void GdiDevice::PolylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    const QTransform t = Total();
    if (pathBracket_) {
        const QPointF from = t.map(state_.Position);
        if (pathBracket_->elementCount() == 0 || pathBracket_->currentPosition() != from)
            pathBracket_->moveTo(from);
        for (const QPointF& p : points)
            pathBracket_->lineTo(t.map(p));
    } else {
        QPainterPath path(state_.Position);
        for (const QPointF& p : points)
            path.lineTo(p);
        OpenShape(path);
    }
    state_.Position = points.back();
}

void GdiDevice::PolyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    OpenShape(path);
}

void GdiDevice::PolyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    const QTransform t = Total();
    QPainterPath path(state_.Position);
    for (qsizetype i = 0; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (pathBracket_) {
        const QPointF from = t.map(state_.Position);
        if (pathBracket_->elementCount() == 0 || pathBracket_->currentPosition() != from)
            pathBracket_->moveTo(from);
        for (qsizetype i = 0; i + 2 < points.size(); i += 3)
            pathBracket_->cubicTo(t.map(points[i]), t.map(points[i + 1]), t.map(points[i + 2]));
    } else {
        OpenShape(path);
    }
    state_.Position = points[(points.size() / 3) * 3 - 1];
}

void GdiDevice::PolyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types)
{
    QPainterPath path(state_.Position);
    const qsizetype count = std::min<qsizetype>(points.size(), qsizetype(types.size()));
    for (qsizetype i = 0; i < count; ++i) {
        const std::uint8_t kind = types[std::size_t(i)] & 0x06;
        if (kind == 0x06) {
            path.moveTo(points[i]);
        } else if (kind == 0x04) {
            if (i + 2 >= count)
                break;
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            path.lineTo(points[i]);
        }
        if (types[std::size_t(i)] & 0x01)
            path.closeSubpath();
    }
    state_.Position = path.currentPosition();
    OpenShape(path);
}

void GdiDevice::PolyPolyline(const std::vector<QPolygonF>& lines)
{
    QPainterPath path;
    for (const QPolygonF& line : lines)
        if (line.size() >= 2)
            path.addPolygon(line);
    OpenShape(path);
}

void GdiDevice::PolyPolygon(const std::vector<QPolygonF>& polygons)
{
    QPainterPath path;
    for (const QPolygonF& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.addPolygon(polygon);
        path.closeSubpath();
    }
    Shape(path, true);
}

void GdiDevice::Rectangle(const QRectF& r)
{
    QPainterPath path;
    path.addRect(r.normalized());
    Shape(path, true);
}

void GdiDevice::RoundRect(const QRectF& r, QSizeF corner)
{
    const QRectF n = r.normalized();
    const double rx = std::min(std::fabs(corner.width()) / 2, n.width() / 2);
    const double ry = std::min(std::fabs(corner.height()) / 2, n.height() / 2);
    QPainterPath path;
    path.addRoundedRect(n, rx, ry);
    Shape(path, true);
}

void GdiDevice::Ellipse(const QRectF& r)
{
    QPainterPath path;
    path.addEllipse(r.normalized());
    Shape(path, true);
}

QPainterPath GdiDevice::ArcPath(ArcKind kind, const QRectF& logicalBox, QPointF start, QPointF end,
                                QPointF* endPoint) const
{
    // Arcs run counter-clockwise as seen on the device (unless the arc direction says
    // otherwise); with a rotating world transform they are built in logical space instead.
    const QTransform t = Total();
    const bool onDevice = AxisAligned(t);
    const QRectF box = (onDevice ? t.mapRect(logicalBox) : logicalBox).normalized();
    const QPointF s = onDevice ? t.map(start) : start, e = onDevice ? t.map(end) : end;
    const QPointF c = box.center();
    const double rx = box.width() / 2, ry = box.height() / 2;
    auto angleOf = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / (ry > 0 ? ry : 1), (p.x() - c.x()) / (rx > 0 ? rx : 1)) * 180 /
               std::numbers::pi;
    };
    const double a0 = angleOf(s), a1 = angleOf(e);
    double sweep = state_.ClockwiseArcs ? -std::fmod(a0 - a1 + 720.0, 360.0) : std::fmod(a1 - a0 + 720.0, 360.0);
    if (sweep == 0)
        sweep = state_.ClockwiseArcs ? -360 : 360;
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(c);
        QPainterPath tmp;
        tmp.arcMoveTo(box, a0);
        path.lineTo(tmp.currentPosition());
    } else if (kind == ArcKind::ArcTo) {
        path.moveTo(onDevice ? t.map(state_.Position) : state_.Position);
        QPainterPath tmp;
        tmp.arcMoveTo(box, a0);
        path.lineTo(tmp.currentPosition());
    } else {
        path.arcMoveTo(box, a0);
    }
    path.arcTo(box, a0, sweep);
    if (endPoint) {
        const QPointF last = path.currentPosition();
        *endPoint = onDevice ? t.inverted().map(last) : last;
    }
    if (kind == ArcKind::Pie || kind == ArcKind::Chord)
        path.closeSubpath();
    return onDevice ? path : t.map(path);
}

void GdiDevice::ArcShape(ArcKind kind, const QRectF& box, QPointF start, QPointF end)
{
    QPointF endPoint;
    QPainterPath output = ArcPath(kind, box, start, end, &endPoint);
    if (kind == ArcKind::ArcTo)
        state_.Position = endPoint;
    if (pathBracket_) {
        if (kind == ArcKind::ArcTo && pathBracket_->elementCount() > 0)
            pathBracket_->connectPath(output);
        else
            pathBracket_->addPath(output);
        return;
    }
    if (kind == ArcKind::Chord || kind == ArcKind::Pie)
        Fill(output, state_.Brush);
    Stroke(output);
}

void GdiDevice::AngleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(state_.Position);
    QPainterPath tmp;
    tmp.arcMoveTo(box, startDegrees);
    path.lineTo(tmp.currentPosition());
    path.arcTo(box, startDegrees, sweepDegrees);
    state_.Position = path.currentPosition();
    if (pathBracket_) {
        QPainterPath output = MapToOutput(path);
        if (pathBracket_->elementCount() > 0)
            pathBracket_->connectPath(output);
        else
            pathBracket_->addPath(output);
        return;
    }
    OpenShape(path);
}

void GdiDevice::SetPixel(QPointF p, QColor c)
{
    const QPointF o = Total().map(p);
    const double size = std::max(1.0, DeviceScale());
    QPainterPath path;
    path.addRect(QRectF(o.x(), o.y(), size, size));
    GdiBrush brush;
    brush.Color = c;
    Fill(path, brush);
}

} // namespace gz::metafile
