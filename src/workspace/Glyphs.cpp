#include "workspace/Glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

namespace gz::ui {

namespace {

// Every glyph is drawn in a 16 x 16 box; the painter scales it to the pixmap.
const QColor ink(40, 40, 48);
const QColor accent(30, 100, 200);
const QColor paper(250, 250, 250);

void Arrow(QPainter& p, double angleDegrees)
{
    p.save();
    p.translate(8, 8);
    p.rotate(angleDegrees); // 0 points up
    QPainterPath path;
    path.moveTo(0, -6.5);
    path.lineTo(5.5, -0.5);
    path.lineTo(2, -0.5);
    path.lineTo(2, 6.5);
    path.lineTo(-2, 6.5);
    path.lineTo(-2, -0.5);
    path.lineTo(-5.5, -0.5);
    path.closeSubpath();
    p.setPen(QPen(ink, 0.8));
    p.setBrush(accent);
    p.drawPath(path);
    p.restore();
}

void Page(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(ink, 1));
    p.setBrush(paper);
    p.drawRect(r);
    p.setPen(QPen(QColor(150, 150, 160), 0.8));
    for (double y = r.top() + 3; y < r.bottom() - 1.5; y += 2.5)
        p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
}

void Disk(QPainter& p, QChar letter)
{
    p.setPen(QPen(ink, 1));
    p.setBrush(QColor(70, 90, 150));
    p.drawRoundedRect(QRectF(1.5, 1.5, 13, 13), 1.5, 1.5);
    p.setBrush(paper);
    p.drawRect(QRectF(4, 1.5, 8, 5));
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(QRectF(3.5, 9, 9, 5.5));
    QFont f = p.font();
    f.setPixelSize(7);
    f.setBold(true);
    p.setFont(f);
    p.setPen(ink);
    p.drawText(QRectF(3.5, 8.5, 9, 6.5), Qt::AlignCenter, QString(letter));
}

// Mirror sign: two triangles facing each other across a dashed axis; vertical axis for
// left-right, horizontal axis for upside-down.
void Mirror(QPainter& p, bool leftRight)
{
    p.save();
    if (!leftRight) {
        p.translate(8, 8);
        p.rotate(90);
        p.translate(-8, -8);
    }
    p.setPen(QPen(ink, 1, Qt::DashLine));
    p.drawLine(QPointF(8, 0.5), QPointF(8, 15.5));
    p.setPen(QPen(ink, 0.8));
    p.setBrush(accent);
    p.drawPolygon(QPolygonF({QPointF(6.5, 3), QPointF(6.5, 13), QPointF(1, 13)}));
    p.setBrush(paper);
    p.drawPolygon(QPolygonF({QPointF(9.5, 3), QPointF(9.5, 13), QPointF(15, 13)}));
    p.restore();
}

// Alignment sign: a long bar and a short bar placed at the start, centre or end.
void Align(QPainter& p, int where)
{
    p.setPen(QPen(ink, 0.8));
    p.setBrush(QColor(200, 200, 205));
    p.drawRect(QRectF(1.5, 2.5, 13, 5));
    const double x = where == 0 ? 1.5 : where == 1 ? 4.5 : 8.5;
    p.setBrush(accent);
    p.drawRect(QRectF(x, 9.5, 6, 5));
}

void Draw(QPainter& p, TGlyph glyph)
{
    switch (glyph) {
    case TGlyph::Open: {
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(230, 190, 80));
        p.drawPolygon(QPolygonF({QPointF(1, 3), QPointF(6, 3), QPointF(7.5, 4.5), QPointF(14, 4.5), QPointF(14, 13.5),
                                 QPointF(1, 13.5)}));
        p.setBrush(QColor(250, 215, 110));
        p.drawPolygon(QPolygonF({QPointF(3, 7), QPointF(15.5, 7), QPointF(14, 13.5), QPointF(1, 13.5)}));
        break;
    }
    case TGlyph::SaveJpeg: Disk(p, u'J'); break;
    case TGlyph::SavePng: Disk(p, u'P'); break;
    case TGlyph::Undo: {
        QPainterPath path;
        path.moveTo(4, 6);
        path.cubicTo(8, 1.5, 15, 3, 14, 9);
        path.cubicTo(13.5, 12, 11, 13.5, 8, 13.5);
        p.setPen(QPen(accent, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
        p.setPen(QPen(ink, 0.8));
        p.setBrush(accent);
        p.drawPolygon(QPolygonF({QPointF(1, 2.5), QPointF(7.5, 4), QPointF(2.5, 9)}));
        break;
    }
    case TGlyph::Copy:
        Page(p, QRectF(1.5, 1.5, 8.5, 10));
        Page(p, QRectF(6, 5, 8.5, 10));
        break;
    case TGlyph::Paste:
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(190, 140, 80));
        p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12.5), 1, 1);
        p.setBrush(QColor(200, 200, 205));
        p.drawRect(QRectF(4, 1, 5, 3));
        Page(p, QRectF(6.5, 6, 8, 9));
        break;
    case TGlyph::NewWindow:
        p.setPen(QPen(ink, 1));
        p.setBrush(paper);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(accent);
        p.drawRect(QRectF(1.5, 2.5, 13, 3));
        p.setPen(QPen(accent, 2));
        p.drawLine(QPointF(8, 7.5), QPointF(8, 12.5));
        p.drawLine(QPointF(5.5, 10), QPointF(10.5, 10));
        break;
    case TGlyph::Up: Arrow(p, 0); break;
    case TGlyph::Right: Arrow(p, 90); break;
    case TGlyph::Down: Arrow(p, 180); break;
    case TGlyph::Left: Arrow(p, 270); break;
    case TGlyph::UpRight: Arrow(p, 45); break;
    case TGlyph::DownRight: Arrow(p, 135); break;
    case TGlyph::DownLeft: Arrow(p, 225); break;
    case TGlyph::UpLeft: Arrow(p, 315); break;
    case TGlyph::MirrorLeftRight: Mirror(p, true); break;
    case TGlyph::MirrorUpDown: Mirror(p, false); break;
    case TGlyph::GrowCanvas: {
        // A canvas with a smaller picture in its corner and arrows pushing its edges out.
        p.setPen(QPen(ink, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(ink, 0.8));
        p.setBrush(accent);
        p.drawRect(QRectF(1.5, 1.5, 7, 7));
        p.setPen(QPen(ink, 1.3));
        p.drawLine(QPointF(10, 10), QPointF(14, 14));
        p.drawLine(QPointF(14, 14), QPointF(14, 10.5));
        p.drawLine(QPointF(14, 14), QPointF(10.5, 14));
        break;
    }
    case TGlyph::AlignStart: Align(p, 0); break;
    case TGlyph::AlignCenter: Align(p, 1); break;
    case TGlyph::AlignEnd: Align(p, 2); break;
    }
}

QPixmap Render(TGlyph glyph, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.scale(size / 16.0, size / 16.0);
    Draw(p, glyph);
    return pixmap;
}

} // namespace

QIcon GlyphIcon(TGlyph glyph)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(Render(glyph, size));
    return icon;
}

} // namespace gz::ui
