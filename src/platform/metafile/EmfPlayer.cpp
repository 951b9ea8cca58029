// Playback of enhanced metafile (EMF) records. Offsets are from the start of each record,
// whose first two 32-bit values are its type and size.

#include "platform/metafile/Dib.h"
#include "platform/metafile/Playback.h"
#include "platform/metafile/RecordReader.h"
#include "platform/metafile/TextDecoding.h"

#include <cmath>
#include <unordered_map>

namespace gz::metafile {

namespace {

enum EmfType : std::uint32_t {
    kHeader = 1, kPolyBezier = 2, kPolygon = 3, kPolyline = 4, kPolyBezierTo = 5, kPolylineTo = 6,
    kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExtEx = 9, kSetWindowOrgEx = 10, kSetViewportExtEx = 11,
    kSetViewportOrgEx = 12, kEof = 14, kSetPixelV = 15, kSetMapMode = 17, kSetBkMode = 18,
    kSetPolyFillMode = 19, kSetRop2 = 20, kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor = 25,
    kOffsetClipRgn = 26, kMoveToEx = 27, kExcludeClipRect = 29, kIntersectClipRect = 30,
    kScaleViewportExtEx = 31, kScaleWindowExtEx = 32, kSaveDc = 33, kRestoreDc = 34, kSetWorldTransform = 35,
    kModifyWorldTransform = 36, kSelectObject = 37, kCreatePen = 38, kCreateBrushIndirect = 39,
    kDeleteObject = 40, kAngleArc = 41, kEllipse = 42, kRectangle = 43, kRoundRect = 44, kArc = 45, kChord = 46,
    kPie = 47, kSelectPalette = 48, kCreatePalette = 49, kLineTo = 54, kArcTo = 55, kPolyDraw = 56,
    kSetArcDirection = 57, kBeginPath = 59, kEndPath = 60, kCloseFigure = 61, kFillPath = 62,
    kStrokeAndFillPath = 63, kStrokePath = 64, kSelectClipPath = 67, kAbortPath = 68, kFillRgn = 71,
    kFrameRgn = 72, kPaintRgn = 74, kExtSelectClipRgn = 75, kBitBlt = 76, kStretchBlt = 77, kMaskBlt = 78,
    kSetDiBitsToDevice = 80, kStretchDiBits = 81, kExtCreateFontIndirectW = 82, kExtTextOutA = 83,
    kExtTextOutW = 84, kPolyBezier16 = 85, kPolygon16 = 86, kPolyline16 = 87, kPolyBezierTo16 = 88,
    kPolylineTo16 = 89, kPolyPolyline16 = 90, kPolyPolygon16 = 91, kPolyDraw16 = 92, kCreateMonoBrush = 93,
    kCreateDibPatternBrushPt = 94, kExtCreatePen = 95, kPolyTextOutA = 96, kPolyTextOutW = 97,
    kSmallTextOut = 108, kAlphaBlend = 114, kTransparentBlt = 116, kGradientFill = 118,
};

constexpr std::uint32_t kStockFlag = 0x80000000;
constexpr int kEtoGlyphIndex = 0x10, kEtoPdy = 0x2000, kEtoNoRect = 0x100, kEtoSmallChars = 0x200;

class EmfPlayer {
public:
    explicit EmfPlayer(GdiDevice& device) : device_(device) {}
    void Play(std::uint32_t type, const RecordReader& r);

private:
    QPointF PointL(const RecordReader& r, std::size_t at) const { return QPointF(r.I32(at), r.I32(at + 4)); }
    QRectF RectL(const RecordReader& r, std::size_t at) const
    {
        return QRectF(QPointF(r.I32(at), r.I32(at + 4)), QPointF(r.I32(at + 8), r.I32(at + 12)));
    }
    QPolygonF Points(const RecordReader& r, std::size_t at, std::size_t count, bool small) const
    {
        const std::size_t size = small ? 4 : 8;
        if (count > r.Size() / size)
            throw RecordTruncated{};
        r.Bytes(at, count * size);
        QPolygonF points;
        points.reserve(qsizetype(count));
        for (std::size_t i = 0; i < count; ++i)
            points.append(small ? QPointF(r.I16(at + 4 * i), r.I16(at + 4 * i + 2)) : PointL(r, at + 8 * i));
        return points;
    }
    std::vector<QPolygonF> PolyPoints(const RecordReader& r, bool small) const;
    QTransform XForm(const RecordReader& r, std::size_t at, bool* ok) const;
    const GdiObject* Object(std::uint32_t index);
    GdiRegion Region(const RecordReader& r, std::size_t at, std::size_t size) const;
    QImage Dib(const RecordReader& r, std::size_t at, bool withAlpha = false, bool* bottomUp = nullptr) const;
    void Text(const RecordReader& r, std::size_t at, bool wide, bool advanced);
    void SmallText(const RecordReader& r);
    void Blit(std::uint32_t type, const RecordReader& r);
    void GradientFill(const RecordReader& r);

    GdiDevice& device_;
    std::unordered_map<std::uint32_t, GdiObject> objects_;
    GdiObject stock_;
};

const GdiObject* EmfPlayer::Object(std::uint32_t index)
{
    if (index & kStockFlag) {
        stock_ = StockObject(index & ~kStockFlag);
        return &stock_;
    }
    const auto it = objects_.find(index);
    return it == objects_.end() ? nullptr : &it->second;
}

std::vector<QPolygonF> EmfPlayer::PolyPoints(const RecordReader& r, bool small) const
{
    const std::size_t polygons = r.U32(24), total = r.U32(28);
    if (polygons > r.Size() / 4)
        throw RecordTruncated{};
    r.Bytes(32, polygons * 4);
    std::size_t at = 32 + polygons * 4, used = 0;
    std::vector<QPolygonF> result;
    for (std::size_t i = 0; i < polygons; ++i) {
        const std::size_t n = r.U32(32 + 4 * i);
        if (n > total - used)
            throw RecordTruncated{};
        result.push_back(Points(r, at, n, small));
        at += n * (small ? 4 : 8), used += n;
    }
    return result;
}

QTransform EmfPlayer::XForm(const RecordReader& r, std::size_t at, bool* ok) const
{
    double v[6];
    *ok = true;
    for (int i = 0; i < 6; ++i) {
        v[i] = r.F32(at + 4 * std::size_t(i));
        if (!std::isfinite(v[i]) || std::fabs(v[i]) > 1e9)
            *ok = false;
    }
    return QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
}

GdiRegion EmfPlayer::Region(const RecordReader& r, std::size_t at, std::size_t size) const
{
    const RecordReader data = r.Sub(at, size);
    GdiRegion region;
    const std::size_t headerSize = data.U32(0), count = data.U32(8);
    for (std::size_t i = 0; i < count && data.Has(headerSize + 16 * i, 16); ++i)
        region.Rects.push_back(RectL(data, headerSize + 16 * i));
    return region;
}

QImage EmfPlayer::Dib(const RecordReader& r, std::size_t at, bool withAlpha, bool* bottomUp) const
{
    // offBmi, cbBmi, offBits, cbBits
    const std::size_t infoAt = r.U32(at), infoSize = r.U32(at + 4), bitsAt = r.U32(at + 8), bitsSize = r.U32(at + 12);
    if (infoSize == 0)
        return {};
    return DecodeDib(DibSource{r.Sub(infoAt, infoSize), r.Sub(bitsAt, bitsSize), false}, device_.State().Palette,
                     withAlpha, bottomUp);
}

void EmfPlayer::Text(const RecordReader& r, std::size_t at, bool wide, bool advanced)
{
    const QPointF ref = PointL(r, at);
    const std::size_t count = r.U32(at + 8), stringAt = r.U32(at + 12);
    const int options = int(r.U32(at + 16));
    const QRectF rect = RectL(r, at + 20);
    const std::size_t dxAt = r.U32(at + 36);
    if (options & kEtoGlyphIndex)
        return; // glyph indices of a font we do not have
    const std::uint8_t* text = r.Bytes(stringAt, count * (wide ? 2 : 1));
    std::vector<double> advances;
    const std::size_t step = (options & kEtoPdy) ? 8 : 4;
    if (dxAt && count <= r.Size() / step && r.Has(dxAt, count * step))
        for (std::size_t i = 0; i < count; ++i)
            advances.push_back(r.I32(dxAt + step * i));
    const GdiFont& font = device_.State().Font;
    const TextRun run = wide ? DecodeWideText(text, count, font, advances) : DecodeAnsiText(text, count, font, advances);
    const bool hasRect = (options & (kEtoOpaque | kEtoClipped)) != 0 && !rect.normalized().isEmpty();
    device_.TextOut(ref, run, options, hasRect ? &rect : nullptr, advanced);
}

void EmfPlayer::SmallText(const RecordReader& r)
{
    const QPointF ref = PointL(r, 8);
    const std::size_t count = r.U32(16);
    const int options = int(r.U32(20));
    const bool advanced = r.U32(24) == 2;
    std::size_t at = 36;
    QRectF rect;
    if (!(options & kEtoNoRect)) {
        rect = RectL(r, 36);
        at += 16;
    }
    const bool small = (options & kEtoSmallChars) != 0;
    const std::uint8_t* text = r.Bytes(at, count * (small ? 1 : 2));
    // Small characters are the low bytes of wide ones.
    GdiFont latin;
    latin.Charset = 0;
    const TextRun run = small ? DecodeAnsiText(text, count, latin, {}) : DecodeWideText(text, count, device_.State().Font, {});
    const bool hasRect = !(options & kEtoNoRect) && (options & (kEtoOpaque | kEtoClipped));
    device_.TextOut(ref, run, options, hasRect ? &rect : nullptr, advanced);
}

void EmfPlayer::Blit(std::uint32_t type, const RecordReader& r)
{
    const std::uint32_t srcCopy = 0x00CC0020;
    if (type == kStretchDiBits || type == kSetDiBitsToDevice) {
        const QPointF dest = PointL(r, 24);
        QRectF src(r.I32(32), r.I32(36), r.I32(40), r.I32(44));
        bool bottomUp = false;
        const QImage image = Dib(r, 48, false, &bottomUp);
        if (image.isNull())
            return;
        if (bottomUp)
            src.moveTop(image.height() - src.top() - src.height());
        if (type == kStretchDiBits)
            device_.DrawBitmap(QRectF(dest.x(), dest.y(), r.I32(72), r.I32(76)), image, src, r.U32(68));
        else
            device_.DrawBitmap(QRectF(dest, src.size()), image, src, srcCopy);
        return;
    }
    // BitBlt, StretchBlt, MaskBlt, AlphaBlend, TransparentBlt share one layout.
    const QRectF dest(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
    const std::uint32_t rop = r.U32(40);
    bool ok = false;
    const QTransform srcTransform = XForm(r, 52, &ok);
    const bool stretch = type != kBitBlt && type != kMaskBlt;
    QRectF src(r.I32(44), r.I32(48), stretch ? r.I32(100) : dest.width(), stretch ? r.I32(104) : dest.height());
    if (ok)
        src = srcTransform.mapRect(src);
    const bool alpha = type == kAlphaBlend && ((rop >> 24) & 0xFF) == 1; // AC_SRC_ALPHA
    QImage image = Dib(r, 84, alpha);
    if (image.isNull()) {
        if (type == kBitBlt || type == kStretchBlt)
            device_.PatBlt(dest, rop);
        return;
    }
    if (type == kMaskBlt) {
        // The source shows where the monochrome mask is set; elsewhere the destination stays.
        const QImage mask = Dib(r, 112);
        const int dx = r.I32(100) - r.I32(44), dy = r.I32(104) - r.I32(48);
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const QPoint at(x + dx, y + dy);
                if (mask.isNull() || !mask.valid(at) || qGray(mask.pixel(at)) < 128)
                    row[x] = 0;
            }
        }
    } else if (type == kTransparentBlt) {
        const QRgb key = device_.ColorRef(rop).rgb();
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if ((row[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                    row[x] = 0;
        }
    } else if (type == kAlphaBlend) {
        const int constant = (rop >> 16) & 0xFF;
        if (constant < 255) {
            image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QImage faded(image.size(), QImage::Format_ARGB32_Premultiplied);
            faded.fill(Qt::transparent);
            QPainter p(&faded);
            p.setOpacity(constant / 255.0);
            p.drawImage(0, 0, image);
            p.end();
            image = faded;
        }
    }
    const bool masked = type == kAlphaBlend || type == kTransparentBlt || type == kMaskBlt;
    device_.DrawBitmap(dest, image, src, masked ? srcCopy : rop);
}

void EmfPlayer::GradientFill(const RecordReader& r)
{
    const std::size_t vertices = r.U32(24), shapes = r.U32(28), mode = r.U32(32);
    if (vertices > r.Size() / 16 || mode > 2)
        throw RecordTruncated{};
    r.Bytes(36, vertices * 16);
    auto point = [&](std::size_t i) { return PointL(r, 36 + 16 * i); };
    auto colour = [&](std::size_t i) {
        const std::size_t at = 36 + 16 * i + 8;
        return QColor(r.U16(at) >> 8, r.U16(at + 2) >> 8, r.U16(at + 4) >> 8);
    };
    const std::size_t at = 36 + vertices * 16;
    const std::size_t corners = mode == 2 ? 3 : 2;
    for (std::size_t s = 0; s < shapes && r.Has(at + s * corners * 4, corners * 4); ++s) {
        std::size_t v[3] = {};
        for (std::size_t k = 0; k < corners; ++k)
            if ((v[k] = r.U32(at + (s * corners + k) * 4)) >= vertices)
                return;
        if (mode == 2) {
            // Triangles take the mean of their corner colours.
            const QColor a = colour(v[0]), b = colour(v[1]), c = colour(v[2]);
            const QColor mean((a.red() + b.red() + c.red()) / 3, (a.green() + b.green() + c.green()) / 3,
                              (a.blue() + b.blue() + c.blue()) / 3);
            device_.FillShade(QPolygonF{point(v[0]), point(v[1]), point(v[2])}, mean, mean, false);
        } else {
            const QRectF box(point(v[0]), point(v[1]));
            device_.FillShade(QPolygonF(box), colour(v[0]), colour(v[1]), mode == 0);
        }
    }
}

void EmfPlayer::Play(std::uint32_t type, const RecordReader& r)
{
    GdiDevice& d = device_;
    DcState& s = d.State();
    switch (type) {
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
    case kPolyBezier16: case kPolygon16: case kPolyline16: case kPolyBezierTo16: case kPolylineTo16: {
        const bool small = type >= kPolyBezier16;
        const std::uint32_t base = small ? type - kPolyBezier16 + kPolyBezier : type;
        const QPolygonF points = Points(r, 28, r.U32(24), small);
        switch (base) {
        case kPolyBezier: d.PolyBezier(points); break;
        case kPolygon: d.PolyPolygon({points}); break;
        case kPolyline: d.Polyline(points); break;
        case kPolyBezierTo: d.PolyBezierTo(points); break;
        default: d.PolylineTo(points); break;
        }
        break;
    }
    case kPolyPolyline: case kPolyPolyline16: d.PolyPolyline(PolyPoints(r, type == kPolyPolyline16)); break;
    case kPolyPolygon: case kPolyPolygon16: d.PolyPolygon(PolyPoints(r, type == kPolyPolygon16)); break;
    case kPolyDraw: case kPolyDraw16: {
        const bool small = type == kPolyDraw16;
        const std::size_t count = r.U32(24);
        const QPolygonF points = Points(r, 28, count, small);
        const std::uint8_t* kinds = r.Bytes(28 + count * (small ? 4 : 8), count);
        d.PolyDraw(points, std::vector<std::uint8_t>(kinds, kinds + count));
        break;
    }
    case kSetWindowExtEx: d.SetWindowExt(PointL(r, 8)); break;
    case kSetWindowOrgEx: d.SetWindowOrg(PointL(r, 8)); break;
    case kSetViewportExtEx: d.SetViewportExt(PointL(r, 8)); break;
    case kSetViewportOrgEx: d.SetViewportOrg(PointL(r, 8)); break;
    case kScaleViewportExtEx: d.ScaleViewportExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20)); break;
    case kScaleWindowExtEx: d.ScaleWindowExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20)); break;
    case kSetMapMode: d.SetMapMode(int(r.U32(8))); break;
    case kSetBkMode: s.BkMode = int(r.U32(8)); break;
    case kSetPolyFillMode: s.PolyFillMode = int(r.U32(8)); break;
    case kSetRop2: s.Rop2 = int(r.U32(8)); break;
    case kSetTextAlign: s.TextAlign = int(r.U32(8)); break;
    case kSetTextColor: s.TextColor = d.ColorRef(r.U32(8)); break;
    case kSetBkColor: s.BkColor = d.ColorRef(r.U32(8)); break;
    case kSetArcDirection: s.ClockwiseArcs = r.U32(8) == 2; break;
    case kSaveDc: d.SaveDc(); break;
    case kRestoreDc: d.RestoreDc(r.I32(8)); break;
    case kSetWorldTransform:
    case kModifyWorldTransform: {
        bool ok = false;
        const QTransform t = XForm(r, 8, &ok);
        const int mode = type == kSetWorldTransform ? 4 : int(r.U32(32));
        if (ok || mode == 1)
            d.ModifyWorldTransform(t, mode);
        break;
    }

    case kSelectObject:
    case kSelectPalette:
        if (const GdiObject* object = Object(r.U32(8)))
            d.Select(*object);
        break;
    case kDeleteObject: objects_.erase(r.U32(8)); break;
    case kCreatePen: {
        GdiPen pen;
        pen.Style = int(r.U32(12)), pen.Width = r.I32(16), pen.Color = d.ColorRef(r.U32(24));
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = pen;
        break;
    }
    case kExtCreatePen: {
        GdiPen pen;
        pen.Style = int(r.U32(28)), pen.Width = r.U32(32), pen.Color = d.ColorRef(r.U32(40));
        if (r.U32(36) == kBsNull)
            pen.Style = kPsNull;
        if (!(pen.Style & 0x10000))
            pen.Width = 0; // cosmetic pens are one pixel wide
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = pen;
        break;
    }
    case kCreateBrushIndirect: {
        GdiBrush brush;
        brush.Style = int(r.U32(12)), brush.Color = d.ColorRef(r.U32(16)), brush.Hatch = int(r.U32(20));
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = brush;
        break;
    }
    case kCreateMonoBrush:
    case kCreateDibPatternBrushPt: {
        GdiBrush brush;
        brush.Style = kBsPattern;
        brush.Pattern = Dib(r, 16);
        if (brush.Pattern.isNull())
            brush.Style = kBsSolid, brush.Color = Qt::gray;
        else if (type == kCreateMonoBrush && brush.Pattern.depth() > 0) {
            // Monochrome patterns draw with the text and background colours.
            for (int y = 0; y < brush.Pattern.height(); ++y) {
                QRgb* row = reinterpret_cast<QRgb*>(brush.Pattern.scanLine(y));
                for (int x = 0; x < brush.Pattern.width(); ++x)
                    row[x] = qGray(row[x]) < 128 ? s.TextColor.rgb() : s.BkColor.rgb();
            }
        }
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = brush;
        break;
    }
    case kExtCreateFontIndirectW: {
        GdiFont f;
        f.Height = r.I32(12), f.Width = r.I32(16), f.Escapement = r.I32(20), f.Weight = r.I32(28);
        f.Italic = r.U8(32) != 0, f.Underline = r.U8(33) != 0, f.StrikeOut = r.U8(34) != 0;
        f.Charset = r.U8(35), f.PitchAndFamily = r.U8(39);
        f.Face = DecodeWideFaceName(r.Bytes(40, 64), 32);
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = f;
        break;
    }
    case kCreatePalette: {
        GdiPalette palette;
        const std::size_t count = r.U16(14);
        for (std::size_t i = 0; i < std::min(count, kMaxPaletteEntries) && r.Has(16 + 4 * i, 4); ++i)
            palette.Colors.push_back(qRgb(r.U8(16 + 4 * i), r.U8(17 + 4 * i), r.U8(18 + 4 * i)));
        if (objects_.size() < kMaxObjects)
            objects_[r.U32(8)] = std::move(palette);
        break;
    }

    case kMoveToEx: d.MoveTo(PointL(r, 8)); break;
    case kLineTo: d.LineTo(PointL(r, 8)); break;
    case kSetPixelV: d.SetPixel(PointL(r, 8), d.ColorRef(r.U32(16))); break;
    case kRectangle: d.Rectangle(RectL(r, 8)); break;
    case kRoundRect: d.RoundRect(RectL(r, 8), QSizeF(r.I32(24), r.I32(28))); break;
    case kEllipse: d.Ellipse(RectL(r, 8)); break;
    case kArc: case kChord: case kPie: case kArcTo: {
        const auto kind = type == kArc ? GdiDevice::ArcKind::Arc
                          : type == kChord ? GdiDevice::ArcKind::Chord
                          : type == kPie ? GdiDevice::ArcKind::Pie : GdiDevice::ArcKind::ArcTo;
        d.ArcShape(kind, RectL(r, 8), PointL(r, 24), PointL(r, 32));
        break;
    }
    case kAngleArc: {
        const double start = r.F32(20), sweep = r.F32(24);
        if (std::isfinite(start) && std::isfinite(sweep) && std::fabs(sweep) <= 3600)
            d.AngleArc(PointL(r, 8), r.U32(16), start, sweep);
        break;
    }

    case kBeginPath: d.BeginPath(); break;
    case kEndPath: d.EndPath(); break;
    case kCloseFigure: d.CloseFigure(); break;
    case kFillPath: d.FillPath(); break;
    case kStrokePath: d.StrokePath(); break;
    case kStrokeAndFillPath: d.StrokeAndFillPath(); break;
    case kAbortPath: d.AbortPath(); break;
    case kSelectClipPath: d.SelectClipPath(int(r.U32(8))); break;

    case kExcludeClipRect: d.ExcludeClipRect(RectL(r, 8)); break;
    case kIntersectClipRect: d.IntersectClipRect(RectL(r, 8)); break;
    case kOffsetClipRgn: d.OffsetClip(PointL(r, 8)); break;
    case kExtSelectClipRgn: {
        const std::size_t size = r.U32(8);
        const int mode = int(r.U32(12));
        if (size == 0) {
            d.SelectClipRegion(nullptr, mode);
        } else {
            const GdiRegion region = Region(r, 16, size);
            d.SelectClipRegion(&region, mode);
        }
        break;
    }
    case kFillRgn: {
        const GdiObject* object = Object(r.U32(28));
        const auto* brush = object ? std::get_if<GdiBrush>(object) : nullptr;
        if (brush)
            d.FillRegion(Region(r, 32, r.U32(24)), *brush);
        break;
    }
    case kFrameRgn: {
        const GdiObject* object = Object(r.U32(28));
        const auto* brush = object ? std::get_if<GdiBrush>(object) : nullptr;
        if (brush)
            d.FrameRegion(Region(r, 40, r.U32(24)), *brush, r.I32(32), r.I32(36));
        break;
    }
    case kPaintRgn: d.FillRegion(Region(r, 28, r.U32(24)), s.Brush); break;

    case kExtTextOutA: case kExtTextOutW: Text(r, 36, type == kExtTextOutW, r.U32(24) == 2); break;
    case kPolyTextOutA: case kPolyTextOutW: {
        const std::size_t count = r.U32(36);
        for (std::size_t i = 0; i < count && r.Has(40 + 40 * i, 40); ++i)
            Text(r, 40 + 40 * i, type == kPolyTextOutW, r.U32(24) == 2);
        break;
    }
    case kSmallTextOut: SmallText(r); break;

    case kBitBlt: case kStretchBlt: case kMaskBlt: case kStretchDiBits: case kSetDiBitsToDevice: case kAlphaBlend:
    case kTransparentBlt:
        Blit(type, r);
        break;
    case kGradientFill: GradientFill(r); break;
    default: break; // comments, colour management, records we do not know
    }
}

} // namespace

void PlayEmf(const std::uint8_t* data, std::size_t size, const MetafileHeader&, GdiDevice& device)
{
    const RecordReader file(data, size);
    EmfPlayer player(device);
    std::size_t pos = 0;
    while (file.Has(pos, 8)) {
        const std::uint32_t type = file.U32(pos), bytes = file.U32(pos + 4);
        if (type == kEof || bytes < 8 || bytes > size - pos)
            break;
        try {
            if (pos > 0 || type != kHeader)
                player.Play(type, file.Sub(pos, bytes));
        } catch (const RecordTruncated&) {
            // A record shorter than its fields is skipped.
        }
        pos += bytes;
    }
}

} // namespace gz::metafile
