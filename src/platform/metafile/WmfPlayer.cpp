// Playback of Windows metafile (WMF) records. Parameters are 16-bit words; points and
// rectangles are stored with y before x and bottom-right before top-left.

#include "platform/metafile/Dib.h"
#include "platform/metafile/Playback.h"
#include "platform/metafile/RecordReader.h"
#include "platform/metafile/TextDecoding.h"

namespace gz::metafile {

namespace {

enum WmfFunction : std::uint16_t {
    kEof = 0x0000, kSaveDc = 0x001E, kRealizePalette = 0x0035, kSetPalEntries = 0x0037, kCreatePalette = 0x00F7,
    kSetBkMode = 0x0102, kSetMapMode = 0x0103, kSetRop2 = 0x0104, kSetPolyFillMode = 0x0106,
    kSetTextCharExtra = 0x0108, kRestoreDc = 0x0127, kPaintRegion = 0x012B, kSelectClipRegion = 0x012C,
    kSelectObject = 0x012D, kSetTextAlign = 0x012E, kDibCreatePatternBrush = 0x0142, kDeleteObject = 0x01F0,
    kCreatePatternBrush = 0x01F9, kSetBkColor = 0x0201, kSetTextColor = 0x0209, kSetWindowOrg = 0x020B,
    kSetWindowExt = 0x020C, kSetViewportOrg = 0x020D, kSetViewportExt = 0x020E, kOffsetWindowOrg = 0x020F,
    kOffsetViewportOrg = 0x0211, kLineTo = 0x0213, kMoveTo = 0x0214, kOffsetClipRgn = 0x0220,
    kFillRegion = 0x0228, kSelectPalette = 0x0234, kCreatePenIndirect = 0x02FA, kCreateFontIndirect = 0x02FB,
    kCreateBrushIndirect = 0x02FC, kPolygon = 0x0324, kPolyline = 0x0325, kScaleWindowExt = 0x0410,
    kScaleViewportExt = 0x0412, kExcludeClipRect = 0x0415, kIntersectClipRect = 0x0416, kEllipse = 0x0418,
    kRectangle = 0x041B, kSetPixel = 0x041F, kFrameRegion = 0x0429, kTextOut = 0x0521, kPolyPolygon = 0x0538,
    kRoundRect = 0x061C, kPatBlt = 0x061D, kBitBlt = 0x0922, kStretchBlt = 0x0B23, kCreateRegion = 0x06FF, kArc = 0x0817, kPie = 0x081A,
    kChord = 0x0830, kDibBitBlt = 0x0940, kExtTextOut = 0x0A32, kDibStretchBlt = 0x0B41,
    kSetDibToDev = 0x0D33, kStretchDib = 0x0F43,
};

// The object table: creation takes the lowest free slot, as the format requires.
class ObjectTable {
public:
    explicit ObjectTable(std::size_t declared) { slots_.reserve(std::min<std::size_t>(declared, 1024)); }
    void Create(GdiObject object)
    {
        while (firstFree_ < slots_.size() && slots_[firstFree_].has_value())
            ++firstFree_;
        if (firstFree_ == slots_.size()) {
            if (slots_.size() >= kMaxObjects)
                return;
            slots_.emplace_back();
        }
        slots_[firstFree_] = std::move(object);
    }
    const GdiObject* Get(std::size_t index) const
    {
        return index < slots_.size() && slots_[index] ? &*slots_[index] : nullptr;
    }
    void Delete(std::size_t index)
    {
        if (index < slots_.size()) {
            slots_[index].reset();
            firstFree_ = std::min(firstFree_, index);
        }
    }

private:
    std::vector<std::optional<GdiObject>> slots_;
    std::size_t firstFree_ = 0;
};

class WmfPlayer {
public:
    WmfPlayer(GdiDevice& device, std::size_t objects) : device_(device), objects_(objects) {}
    void Play(std::uint16_t function, const RecordReader& p);

private:
    QPointF Point(const RecordReader& p, std::size_t at) const { return QPointF(p.I16(at + 2), p.I16(at)); }
    // Rectangles are stored bottom, right, top, left.
    QRectF Rect(const RecordReader& p, std::size_t at) const
    {
        const double bottom = p.I16(at), right = p.I16(at + 2), top = p.I16(at + 4), left = p.I16(at + 6);
        return QRectF(QPointF(left, top), QPointF(right, bottom));
    }
    QPolygonF Points(const RecordReader& p, std::size_t at, std::size_t count) const
    {
        p.Bytes(at, count * 4);
        QPolygonF points;
        points.reserve(qsizetype(count));
        for (std::size_t i = 0; i < count; ++i)
            points.append(QPointF(p.I16(at + 4 * i), p.I16(at + 4 * i + 2)));
        return points;
    }
    void CreateFont(const RecordReader& p);
    GdiRegion ReadRegion(const RecordReader& p) const;
    void Text(QPointF at, const RecordReader& p, std::size_t textAt, std::size_t count, std::size_t dxAt,
              int options, const QRectF* rect);
    void Blit(const RecordReader& p, std::uint16_t function);

    GdiDevice& device_;
    ObjectTable objects_;
};

void WmfPlayer::CreateFont(const RecordReader& p)
{
    GdiFont f;
    f.Height = p.I16(0), f.Width = p.I16(2), f.Escapement = p.I16(4), f.Weight = p.I16(8);
    f.Italic = p.U8(10) != 0, f.Underline = p.U8(11) != 0, f.StrikeOut = p.U8(12) != 0;
    f.Charset = p.U8(13), f.PitchAndFamily = p.U8(17);
    if (p.Size() > 18)
        f.Face = DecodeAnsiFaceName(p.Data() + 18, std::min<std::size_t>(32, p.Size() - 18), f.Charset);
    objects_.Create(f);
}

GdiRegion WmfPlayer::ReadRegion(const RecordReader& p) const
{
    GdiRegion region;
    const std::size_t scans = p.U16(10);
    std::size_t at = 22;
    for (std::size_t s = 0; s < scans && p.Has(at, 6); ++s) {
        const std::size_t count = p.U16(at);
        const double top = p.I16(at + 2), bottom = p.I16(at + 4);
        at += 6;
        for (std::size_t k = 0; k + 1 < count && p.Has(at, 4); k += 2, at += 4)
            region.Rects.emplace_back(QPointF(p.I16(at), top), QPointF(p.I16(at + 2), bottom));
        at += 2; // the repeated count
    }
    if (region.Rects.empty() && p.Has(14, 8))
        region.Rects.emplace_back(QPointF(p.I16(14), p.I16(16)), QPointF(p.I16(18), p.I16(20)));
    return region;
}

void WmfPlayer::Text(QPointF at, const RecordReader& p, std::size_t textAt, std::size_t count, std::size_t dxAt,
                     int options, const QRectF* rect)
{
    const std::uint8_t* bytes = p.Bytes(textAt, count);
    std::vector<double> advances;
    if (dxAt && p.Has(dxAt, count * 2))
        for (std::size_t i = 0; i < count; ++i)
            advances.push_back(p.I16(dxAt + 2 * i));
    device_.TextOut(at, DecodeAnsiText(bytes, count, device_.State().Font, advances), options, rect, false);
}

void WmfPlayer::Blit(const RecordReader& p, std::uint16_t function)
{
    const std::uint32_t rop = p.U32(0);
    std::size_t dibAt = 0;
    QRectF dest, src;
    bool fromBottom = false; // source y counts from the bottom of a bottom-up bitmap
    bool paletteIndices = false;
    switch (function) {
    case kBitBlt:
    case kStretchBlt: {
        // Old blits carry a device-dependent bitmap; without one they are pattern operations.
        const bool stretch = function == kStretchBlt;
        if (p.Size() <= (stretch ? 22u : 18u)) {
            const std::size_t at = stretch ? 14 : 10;
            device_.PatBlt(QRectF(p.I16(at + 6), p.I16(at + 4), p.I16(at + 2), p.I16(at)), rop);
            return;
        }
        const std::size_t at = stretch ? 20 : 16;
        const QImage image = DecodeBitmap16(p.Sub(at, p.Size() - at), device_.State().TextColor.rgb(),
                                            device_.State().BkColor.rgb());
        if (image.isNull())
            return;
        dest = stretch ? QRectF(p.I16(18), p.I16(16), p.I16(14), p.I16(12)) : QRectF(p.I16(14), p.I16(12), p.I16(10), p.I16(8));
        src = stretch ? QRectF(p.I16(10), p.I16(8), p.I16(6), p.I16(4)) : QRectF(p.I16(6), p.I16(4), p.I16(10), p.I16(8));
        // A source larger than the bitmap means the whole bitmap, stretched onto the destination.
        src = src.intersected(QRectF(image.rect()));
        device_.DrawBitmap(dest, image, src, rop);
        return;
    }
    case kDibBitBlt:
        if (p.Size() < 28) { // no bitmap: a pattern operation
            device_.PatBlt(QRectF(p.I16(16), p.I16(14), p.I16(12), p.I16(10)), rop);
            return;
        }
        src = QRectF(p.I16(6), p.I16(4), p.I16(10), p.I16(8));
        dest = QRectF(p.I16(14), p.I16(12), p.I16(10), p.I16(8));
        dibAt = 16;
        break;
    case kDibStretchBlt:
        if (p.Size() < 32) {
            device_.PatBlt(QRectF(p.I16(20), p.I16(18), p.I16(16), p.I16(14)), rop);
            return;
        }
        src = QRectF(p.I16(10), p.I16(8), p.I16(6), p.I16(4));
        dest = QRectF(p.I16(18), p.I16(16), p.I16(14), p.I16(12));
        dibAt = 20;
        break;
    case kStretchDib:
        paletteIndices = p.U16(4) == 1;
        src = QRectF(p.I16(12), p.I16(10), p.I16(8), p.I16(6));
        dest = QRectF(p.I16(20), p.I16(18), p.I16(16), p.I16(14));
        dibAt = 22, fromBottom = true;
        break;
    default: // SetDIBitsToDevice
        paletteIndices = p.U16(0) == 1;
        src = QRectF(p.I16(8), p.I16(6), p.I16(12), p.I16(10));
        dest = QRectF(p.I16(16), p.I16(14), p.I16(12), p.I16(10));
        dibAt = 18, fromBottom = true;
        break;
    }
    DibSource dib{p.Sub(dibAt, p.Size() - dibAt), {}, paletteIndices};
    bool bottomUp = false;
    const QImage image = DecodeDib(dib, device_.State().Palette, false, &bottomUp);
    if (image.isNull())
        return;
    if (fromBottom && bottomUp)
        src.moveTop(image.height() - src.top() - src.height());
    device_.DrawBitmap(dest, image, src, function == kSetDibToDev ? 0x00CC0020 : rop);
}

void WmfPlayer::Play(std::uint16_t function, const RecordReader& p)
{
    GdiDevice& d = device_;
    DcState& s = d.State();
    switch (function) {
    case kSaveDc: d.SaveDc(); break;
    case kRestoreDc: d.RestoreDc(p.I16(0)); break;
    case kSetBkMode: s.BkMode = p.U16(0); break;
    case kSetMapMode: d.SetMapMode(p.U16(0)); break;
    case kSetRop2: s.Rop2 = p.U16(0); break;
    case kSetPolyFillMode: s.PolyFillMode = p.U16(0); break;
    case kSetTextCharExtra: s.TextCharExtra = p.I16(0); break;
    case kSetTextAlign: s.TextAlign = p.U16(0); break;
    case kSetBkColor: s.BkColor = d.ColorRef(p.U32(0)); break;
    case kSetTextColor: s.TextColor = d.ColorRef(p.U32(0)); break;
    case kSetWindowOrg: d.SetWindowOrg(Point(p, 0)); break;
    case kSetWindowExt: d.SetWindowExt(Point(p, 0)); break;
    case kSetViewportOrg: d.SetViewportOrg(Point(p, 0)); break;
    case kSetViewportExt: d.SetViewportExt(Point(p, 0)); break;
    case kOffsetWindowOrg: d.SetWindowOrg(s.WindowOrg + Point(p, 0)); break;
    case kOffsetViewportOrg: d.SetViewportOrg(s.ViewportOrg + Point(p, 0)); break;
    case kScaleWindowExt: d.ScaleWindowExt(p.I16(6), p.I16(4), p.I16(2), p.I16(0)); break;
    case kScaleViewportExt: d.ScaleViewportExt(p.I16(6), p.I16(4), p.I16(2), p.I16(0)); break;

    case kCreatePenIndirect: {
        GdiPen pen;
        pen.Style = p.U16(0), pen.Width = p.I16(2), pen.Color = d.ColorRef(p.U32(6));
        objects_.Create(pen);
        break;
    }
    case kCreateBrushIndirect: {
        GdiBrush brush;
        brush.Style = p.U16(0), brush.Color = d.ColorRef(p.U32(2)), brush.Hatch = p.U16(6);
        objects_.Create(brush);
        break;
    }
    case kDibCreatePatternBrush: {
        GdiBrush brush;
        brush.Style = kBsPattern;
        brush.Pattern = DecodeDib(DibSource{p.Sub(4, p.Size() - 4), {}, p.U16(2) == 1}, s.Palette);
        if (brush.Pattern.isNull())
            brush.Style = kBsSolid, brush.Color = Qt::gray;
        objects_.Create(brush);
        break;
    }
    case kCreatePatternBrush: objects_.Create(GdiBrush{kBsSolid, Qt::gray, 0, {}}); break;
    case kCreateFontIndirect: CreateFont(p); break;
    case kCreatePalette: {
        GdiPalette palette;
        const std::size_t count = p.U16(2);
        for (std::size_t i = 0; i < std::min(count, kMaxPaletteEntries) && p.Has(4 + 4 * i, 4); ++i)
            palette.Colors.push_back(qRgb(p.U8(4 + 4 * i), p.U8(5 + 4 * i), p.U8(6 + 4 * i)));
        objects_.Create(std::move(palette));
        break;
    }
    case kCreateRegion: objects_.Create(ReadRegion(p)); break;
    case kSelectObject:
    case kSelectPalette:
        if (const GdiObject* object = objects_.Get(p.U16(0)))
            d.Select(*object);
        break;
    case kDeleteObject: objects_.Delete(p.U16(0)); break;
    case kSelectClipRegion: {
        const GdiObject* object = objects_.Get(p.U16(0));
        const auto* region = object ? std::get_if<GdiRegion>(object) : nullptr;
        d.SelectClipRegion(region, kRgnCopy);
        break;
    }

    case kMoveTo: d.MoveTo(Point(p, 0)); break;
    case kLineTo: d.LineTo(Point(p, 0)); break;
    case kPolyline:
    case kPolygon: {
        const QPolygonF points = Points(p, 2, p.U16(0));
        if (function == kPolyline)
            d.Polyline(points);
        else
            d.PolyPolygon({points});
        break;
    }
    case kPolyPolygon: {
        const std::size_t count = p.U16(0);
        p.Bytes(2, count * 2);
        std::vector<QPolygonF> polygons;
        std::size_t at = 2 + count * 2;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t n = p.U16(2 + 2 * i);
            polygons.push_back(Points(p, at, n));
            at += n * 4;
        }
        d.PolyPolygon(polygons);
        break;
    }
    case kRectangle: d.Rectangle(Rect(p, 0)); break;
    case kRoundRect: d.RoundRect(Rect(p, 4), QSizeF(p.I16(2), p.I16(0))); break;
    case kEllipse: d.Ellipse(Rect(p, 0)); break;
    case kArc:
    case kPie:
    case kChord: {
        const auto kind = function == kArc ? GdiDevice::ArcKind::Arc
                          : function == kPie ? GdiDevice::ArcKind::Pie : GdiDevice::ArcKind::Chord;
        d.ArcShape(kind, Rect(p, 8), Point(p, 4), Point(p, 0));
        break;
    }
    case kSetPixel: d.SetPixel(Point(p, 4), d.ColorRef(p.U32(0))); break;

    case kTextOut: {
        const std::size_t count = p.U16(0);
        const std::size_t padded = (count + 1) & ~std::size_t(1);
        Text(Point(p, 2 + padded), p, 2, count, 0, 0, nullptr);
        break;
    }
    case kExtTextOut: {
        const std::size_t count = p.U16(4);
        const int options = p.U16(6);
        std::size_t at = 8;
        QRectF rect;
        const bool hasRect = (options & (kEtoOpaque | kEtoClipped)) != 0;
        if (hasRect) {
            rect = QRectF(QPointF(p.I16(8), p.I16(10)), QPointF(p.I16(12), p.I16(14)));
            at = 16;
        }
        const std::size_t dxAt = at + ((count + 1) & ~std::size_t(1));
        Text(Point(p, 0), p, at, count, dxAt, options, hasRect ? &rect : nullptr);
        break;
    }

    case kExcludeClipRect: d.ExcludeClipRect(Rect(p, 0)); break;
    case kIntersectClipRect: d.IntersectClipRect(Rect(p, 0)); break;
    case kOffsetClipRgn: d.OffsetClip(Point(p, 0)); break;
    case kFillRegion:
    case kFrameRegion:
    case kPaintRegion: {
        const GdiObject* region = objects_.Get(p.U16(0));
        if (!region || !std::holds_alternative<GdiRegion>(*region))
            break;
        const GdiBrush* brush = &s.Brush;
        if (function != kPaintRegion) {
            const GdiObject* object = objects_.Get(p.U16(2));
            brush = object ? std::get_if<GdiBrush>(object) : nullptr;
        }
        if (!brush)
            break;
        if (function == kFrameRegion)
            d.FrameRegion(std::get<GdiRegion>(*region), *brush, p.I16(6), p.I16(4));
        else
            d.FillRegion(std::get<GdiRegion>(*region), *brush);
        break;
    }
    case kPatBlt: d.PatBlt(QRectF(p.I16(10), p.I16(8), p.I16(6), p.I16(4)), p.U32(0)); break;
    case kBitBlt:
    case kStretchBlt:
    case kDibBitBlt:
    case kDibStretchBlt:
    case kStretchDib:
    case kSetDibToDev: Blit(p, function); break;
    default: break; // records that do not draw, and records we do not know
    }
}

} // namespace

void PlayWmf(const std::uint8_t* data, std::size_t size, const MetafileHeader& header, GdiDevice& device)
{
    const RecordReader file(data, size);
    WmfPlayer player(device, header.ObjectCount);
    std::size_t pos = header.RecordsOffset;
    while (file.Has(pos, 6)) {
        const std::uint64_t bytes = std::uint64_t(file.U32(pos)) * 2;
        const std::uint16_t function = file.U16(pos + 4);
        if (function == kEof || bytes < 6 || bytes > size - pos)
            break;
        try {
            player.Play(function, file.Sub(pos + 6, std::size_t(bytes) - 6));
        } catch (const RecordTruncated&) {
            // A record shorter than its fields is skipped.
        }
        pos += std::size_t(bytes);
    }
}

} // namespace gz::metafile
