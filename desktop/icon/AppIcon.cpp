#include "AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>

#include <vector>

namespace gz::desktop {

namespace {

constexpr double Units = 256; // the icon is drawn on a 256 × 256 grid

enum class TKind { RoundRect, Rect, Circle, Polygon };

struct TShape {
    TKind kind;
    QRgb fill;
    QRgb stroke;           // 0: no outline
    double strokeWidth;
    std::vector<double> v; // RoundRect x y w h r; Rect x y w h; Circle cx cy r; Polygon x y x y ...
};

// Back to front: the canvas, the first picture (a sky over hills), then the second one
// attached below its right part (a sun setting into the sea). The white left below and
// right above is canvas that no picture covers.
const std::vector<TShape>& Shapes()
{
    static const std::vector<TShape> shapes = {
        {TKind::RoundRect, 0xffffffff, 0xff3d4a5c, 8, {12, 12, 232, 232, 24}},
        {TKind::Rect, 0xff5ab0f0, 0, 0, {32, 32, 112, 96}},
        {TKind::Circle, 0xffffd43b, 0, 0, {112, 64, 14}},
        {TKind::Polygon, 0xff2f9e5a, 0, 0, {32, 128, 68, 72, 92, 104, 112, 84, 144, 128}},
        {TKind::Rect, 0xffff8a3d, 0, 0, {112, 128, 112, 96}},
        {TKind::Circle, 0xffffe27a, 0, 0, {168, 188, 24}},
        {TKind::Rect, 0xff2c4a80, 0, 0, {112, 188, 112, 36}},
    };
    return shapes;
}

QPolygonF Points(const std::vector<double>& v)
{
    QPolygonF points;
    for (std::size_t i = 0; i + 1 < v.size(); i += 2)
        points << QPointF(v[i], v[i + 1]);
    return points;
}

QString Colour(QRgb rgb) { return QColor(rgb).name(QColor::HexRgb); }

QString Number(double value) { return QString::number(value, 'g', 6); }

} // namespace

QImage AppIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / Units, size / Units);
    for (const TShape& s : Shapes()) {
        painter.setBrush(QColor(s.fill));
        if (s.stroke)
            painter.setPen(QPen(QColor(s.stroke), s.strokeWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        else
            painter.setPen(Qt::NoPen);
        const auto& v = s.v;
        switch (s.kind) {
        case TKind::RoundRect: painter.drawRoundedRect(QRectF(v[0], v[1], v[2], v[3]), v[4], v[4]); break;
        case TKind::Rect: painter.drawRect(QRectF(v[0], v[1], v[2], v[3])); break;
        case TKind::Circle: painter.drawEllipse(QPointF(v[0], v[1]), v[2], v[2]); break;
        case TKind::Polygon: painter.drawPolygon(Points(v)); break;
        }
    }
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QByteArray AppIconSvg()
{
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                                 "viewBox=\"0 0 256 256\">\n");
    for (const TShape& s : Shapes()) {
        const auto& v = s.v;
        QString paint = QStringLiteral(" fill=\"%1\"").arg(Colour(s.fill));
        if (s.stroke)
            paint += QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"").arg(Colour(s.stroke), Number(s.strokeWidth));
        switch (s.kind) {
        case TKind::RoundRect:
            svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\"%6/>\n")
                       .arg(Number(v[0]), Number(v[1]), Number(v[2]), Number(v[3]), Number(v[4]), paint);
            break;
        case TKind::Rect:
            svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"%5/>\n")
                       .arg(Number(v[0]), Number(v[1]), Number(v[2]), Number(v[3]), paint);
            break;
        case TKind::Circle:
            svg += QStringLiteral("  <circle cx=\"%1\" cy=\"%2\" r=\"%3\"%4/>\n")
                       .arg(Number(v[0]), Number(v[1]), Number(v[2]), paint);
            break;
        case TKind::Polygon: {
            QStringList points;
            for (std::size_t i = 0; i + 1 < v.size(); i += 2)
                points << Number(v[i]) + ',' + Number(v[i + 1]);
            svg += QStringLiteral("  <polygon points=\"%1\"%2/>\n").arg(points.join(' '), paint);
            break;
        }
        }
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}

QIcon AppIcon()
{
    QIcon icon;
    for (int size : AppIconSizes)
        icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
    return icon;
}

} // namespace gz::desktop
