#include "workspace/ScrollBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace gz::ui {

TScrollBox::TScrollBox(QWidget* parent) : QAbstractScrollArea(parent)
{
    // No frame of its own: the document window's frame surrounds it, and the whole client
    // area is room for the picture.
    setFrameShape(QFrame::NoFrame);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
}

void TScrollBox::SetRanges(int horizontal, int vertical)
{
    horzRange_ = std::max(horizontal, 0);
    vertRange_ = std::max(vertical, 0);
    UpdateBars();
}

void TScrollBox::SetPositions(int horizontal, int vertical)
{
    horizontalScrollBar()->setValue(horizontal);
    verticalScrollBar()->setValue(vertical);
}

QPoint TScrollBox::Position() const { return {horizontalScrollBar()->value(), verticalScrollBar()->value()}; }

void TScrollBox::UpdateBars()
{
    // Decide the bars from the room without them, so that a surface that fits exactly does
    // not get bars merely because they were there a moment ago.
    const QSize room = maximumViewportSize();
    const int barWidth = verticalScrollBar()->sizeHint().width();
    const int barHeight = horizontalScrollBar()->sizeHint().height();
    bool needH = horzRange_ > room.width(), needV = vertRange_ > room.height();
    if (needH && !needV)
        needV = vertRange_ > room.height() - barHeight;
    if (needV && !needH)
        needH = horzRange_ > room.width() - barWidth;
    const QSize visible(room.width() - (needV ? barWidth : 0), room.height() - (needH ? barHeight : 0));

    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    h->setRange(0, std::max(0, horzRange_ - visible.width()));
    h->setPageStep(std::max(1, visible.width()));
    h->setSingleStep(std::max(1, visible.width() / 10));
    v->setRange(0, std::max(0, vertRange_ - visible.height()));
    v->setPageStep(std::max(1, visible.height()));
    v->setSingleStep(std::max(1, visible.height() / 10));
    viewport()->update();
}

void TScrollBox::paintEvent(QPaintEvent* event)
{
    if (!OnPaint)
        return;
    QPainter painter(viewport());
    const QPoint offset = Position();
    painter.translate(-offset);
    OnPaint(painter, event->rect().translated(offset));
}

void TScrollBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateBars();
}

void TScrollBox::scrollContentsBy(int dx, int dy) { viewport()->scroll(dx, dy); }

void TScrollBox::wheelEvent(QWheelEvent* event)
{
    if (!OnWheelNotch) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    // A notch is 120 eighths of a degree; finer wheels add up to whole notches.
    wheelRemainder_ += event->angleDelta().y();
    while (wheelRemainder_ >= 120) {
        wheelRemainder_ -= 120;
        OnWheelNotch(+1);
    }
    while (wheelRemainder_ <= -120) {
        wheelRemainder_ += 120;
        OnWheelNotch(-1);
    }
    event->accept();
}

void TScrollBox::mousePressEvent(QMouseEvent* event)
{
    leftPressed_ = event->button() == Qt::LeftButton;
    if (OnMouseDown)
        OnMouseDown(event->button(), event->position().toPoint());
    event->accept();
}

void TScrollBox::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = leftPressed_ && event->button() == Qt::LeftButton && viewport()->rect().contains(event->position().toPoint());
    leftPressed_ = false;
    if (click && OnClick)
        OnClick();
    event->accept();
}

} // namespace gz::ui
