#pragma once
// TScrollBox: the scrolling area of a document window. Its ranges are the size of the
// scrolled surface (the zoomed picture); its viewport is the paint surface, which the owner
// paints through OnPaint in surface coordinates, only the part that is exposed.

#include <QAbstractScrollArea>

#include <functional>

namespace gz::ui {

class TScrollBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit TScrollBox(QWidget* parent = nullptr);

    // The size of the scrolled surface; the bars scroll over the part that does not fit.
    void SetRanges(int horizontal, int vertical);
    int HorzRange() const { return horzRange_; }
    int VertRange() const { return vertRange_; }
    void SetPositions(int horizontal, int vertical);
    // Top-left of the visible part in surface coordinates.
    QPoint Position() const;
    // The paint surface (what the document window calls PaintBox1).
    QWidget* PaintSurface() const { return viewport(); }

    // painter is set up in surface coordinates; exposed is the surface part to paint.
    std::function<void(QPainter& painter, const QRect& exposed)> OnPaint;
    // One call per wheel notch: +1 away from the user, -1 toward the user.
    std::function<void(int notch)> OnWheelNotch;
    // A button pressed on the paint surface, in viewport coordinates.
    std::function<void(Qt::MouseButton button, QPoint viewportPos)> OnMouseDown;
    // A left click (press and release) on the paint surface.
    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void UpdateBars();

    int horzRange_ = 0;
    int vertRange_ = 0;
    int wheelRemainder_ = 0;
    bool leftPressed_ = false;
};

} // namespace gz::ui
