#pragma once
// The device context a metafile's records act on: drawing state (mapping, pens, brushes,
// fonts, colours, clipping, the path bracket, saved states) and the drawing operations,
// carried out with QPainter on the output raster. The WMF and EMF players decode records
// and call into it with logical coordinates.

#include "platform/metafile/MetafileHeader.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <optional>
#include <variant>
#include <vector>

namespace gz::metafile {

// Values of the drawing state as the records carry them.
enum : int { kBkTransparent = 1, kBkOpaque = 2 };
enum : int { kAlternate = 1, kWinding = 2 };
enum : int {
    kMmText = 1, kMmLoMetric, kMmHiMetric, kMmLoEnglish, kMmHiEnglish, kMmTwips, kMmIsotropic, kMmAnisotropic
};
enum : int { kPsNull = 5, kPsStyleMask = 0x0F, kPsEndcapMask = 0x0F00, kPsJoinMask = 0xF000 };
enum : int { kBsSolid = 0, kBsNull = 1, kBsHatched = 2, kBsPattern = 3 };
enum : int { kTaUpdateCp = 1, kTaHorizontalMask = 6, kTaRight = 2, kTaCenter = 6, kTaVerticalMask = 24,
             kTaBottom = 8, kTaBaseline = 24 };
enum : int { kEtoOpaque = 2, kEtoClipped = 4 };
enum : int { kRgnAnd = 1, kRgnOr = 2, kRgnXor = 3, kRgnDiff = 4, kRgnCopy = 5 };

struct GdiPen {
    int Style = 0;
    double Width = 0; // logical units; 0 draws one pixel wide
    QColor Color = Qt::black;
};

struct GdiBrush {
    int Style = kBsSolid;
    QColor Color = Qt::white;
    int Hatch = 0;
    QImage Pattern; // pattern brushes
};

struct GdiFont {
    int Height = 0, Width = 0, Escapement = 0, Weight = 400;
    bool Italic = false, Underline = false, StrikeOut = false;
    int Charset = 1, PitchAndFamily = 0;
    QString Face;
};

// Palettes keep at most this many entries (saved drawing states copy them).
constexpr std::size_t kMaxPaletteEntries = 256;

struct GdiPalette {
    std::vector<QRgb> Colors;
};

// A region as rectangles: in logical units, except that an EMF's clip regions are in the
// units of its reference device.
struct GdiRegion {
    std::vector<QRectF> Rects;
};

using GdiObject = std::variant<std::monostate, GdiPen, GdiBrush, GdiFont, GdiPalette, GdiRegion>;

// The stock objects an EMF selects with 0x80000000 | index; monostate for unknown indices.
GdiObject StockObject(std::uint32_t index);

struct DcState {
    GdiPen Pen;
    GdiBrush Brush;
    GdiFont Font;
    std::vector<QRgb> Palette;
    QColor TextColor = Qt::black, BkColor = Qt::white;
    int BkMode = kBkOpaque, PolyFillMode = kAlternate, Rop2 = 13, TextAlign = 0, MapMode = kMmText;
    int TextCharExtra = 0;
    bool ClockwiseArcs = false;
    QPointF WindowOrg, WindowExt{1, 1}, ViewportOrg, ViewportExt{1, 1};
    QTransform World;
    bool Clipped = false;
    QPainterPath Clip; // output pixels
    QPointF Position;  // current position, logical units
};

// How a text run reaches the device: characters and, when the record has them, the advance
// of each character in logical units.
struct TextRun {
    QString Text;
    std::vector<double> Advances; // empty, or one per UTF-16 unit of Text
};

class GdiDevice {
public:
    // output is the destination rectangle in raster pixels; the header's picture rectangle
    // (see MetafileHeader) is stretched onto it.
    GdiDevice(QPainter& painter, const MetafileHeader& header, const QRectF& output);

    DcState& State() { return state_; }
    bool IsEmf() const { return kind_ == MetafileKind::Emf; }
    QColor ColorRef(std::uint32_t colorRef) const;

    void SaveDc();
    void RestoreDc(int relative);
    void Select(const GdiObject& object);

    // Mapping.
    void SetMapMode(int mode) { state_.MapMode = mode; }
    void SetWindowOrg(QPointF p) { state_.WindowOrg = p; }
    void SetWindowExt(QPointF e);
    void SetViewportOrg(QPointF p) { state_.ViewportOrg = p; }
    void SetViewportExt(QPointF e);
    void ScaleWindowExt(double xNum, double xDen, double yNum, double yDen);
    void ScaleViewportExt(double xNum, double xDen, double yNum, double yDen);
    void SetWorldTransform(const QTransform& t) { state_.World = t; }
    void ModifyWorldTransform(const QTransform& t, int mode);

    // Lines and shapes, in logical units.
    void MoveTo(QPointF p);
    void LineTo(QPointF p);
    void Polyline(const QPolygonF& points);
    void PolylineTo(const QPolygonF& points);
    void PolyBezier(const QPolygonF& points);
    void PolyBezierTo(const QPolygonF& points);
    void PolyDraw(const QPolygonF& points, const std::vector<std::uint8_t>& types);
    void PolyPolyline(const std::vector<QPolygonF>& lines);
    void PolyPolygon(const std::vector<QPolygonF>& polygons);
    void Rectangle(const QRectF& r);
    void RoundRect(const QRectF& r, QSizeF corner);
    void Ellipse(const QRectF& r);
    enum class ArcKind { Arc, ArcTo, Chord, Pie };
    void ArcShape(ArcKind kind, const QRectF& box, QPointF start, QPointF end);
    void AngleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees);
    void SetPixel(QPointF p, QColor c);
    void FillRegion(const GdiRegion& region, const GdiBrush& brush);
    void FrameRegion(const GdiRegion& region, const GdiBrush& brush, double width, double height);
    // Fills a logical polygon with colours running from the first to the second across the
    // polygon's bounds (left to right, or top to bottom); no outline.
    void FillShade(const QPolygonF& polygon, QColor from, QColor to, bool horizontal);

    // The path bracket.
    void BeginPath();
    void EndPath();
    void AbortPath();
    void CloseFigure();
    void FillPath() { FinishPath(true, false); }
    void StrokePath() { FinishPath(false, true); }
    void StrokeAndFillPath() { FinishPath(true, true); }
    void SelectClipPath(int mode);

    // Clipping.
    void IntersectClipRect(const QRectF& r);
    void ExcludeClipRect(const QRectF& r);
    void OffsetClip(QPointF offset);
    // rects null: remove the clip; else combine the region with the clip by mode.
    void SelectClipRegion(const GdiRegion* region, int mode);

    // Text: ref in logical units; options ETO_*; rect in logical units when options need it.
    void TextOut(QPointF ref, const TextRun& run, int options, const QRectF* rect, bool advancedMode);

    // Bitmaps: the part src of image stretched into dest (logical units; negative sizes mirror).
    void DrawBitmap(const QRectF& dest, const QImage& image, const QRectF& src, std::uint32_t rop);
    // Raster operations without a source bitmap (patterns, black, white, inversion).
    void PatBlt(const QRectF& dest, std::uint32_t rop);

private:
    QTransform PageTransform() const;
    QTransform Total() const;
    double DeviceScale() const;
    QPainterPath MapToOutput(const QPainterPath& logical) const;
    bool Drawable(const QPainterPath& output) const;
    QPen OutputPen() const;
    QBrush OutputBrush(const GdiBrush& brush) const;
    void ApplyClip();
    bool BeginRop(QColor* overridePen);
    void EndRop();
    void Fill(const QPainterPath& output, const GdiBrush& brush);
    void Stroke(const QPainterPath& output);
    // Draws a closed logical shape: fills with the brush, outlines with the pen (or records
    // it into the open path).
    void Shape(const QPainterPath& logical, bool fill);
    void OpenShape(const QPainterPath& logical);
    // Ends an open path bracket and hands over the finished path with the current fill rule.
    std::optional<QPainterPath> TakeFinishedPath();
    void FinishPath(bool fill, bool stroke);
    void CombineClip(const QPainterPath& output, int mode);
    QPainterPath ArcPath(ArcKind kind, const QRectF& box, QPointF start, QPointF end, QPointF* endPoint) const;

    QPainter& painter_;
    MetafileKind kind_;
    double pxPerMmX_, pxPerMmY_;
    QTransform deviceToOutput_;
    QRectF outputArea_;
    DcState state_;
    std::vector<DcState> saved_;
    std::optional<QPainterPath> pathBracket_; // output pixels, while recording
    std::optional<QPainterPath> finishedPath_;
    bool clipDirty_ = true;
};

} // namespace gz::metafile
