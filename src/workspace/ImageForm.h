#pragma once
// TForm2: a document window inside the main window's multiple-document area. It holds one
// TImageDocument (settings, working and undo rasters) and shows the working raster at the
// document's zoom in a scroll box; the wheel zooms, a right click near an edge chooses the
// join direction, and activation reports the settings to the main window's tool panel.

#include "join/ImageDocument.h"

#include <QMdiSubWindow>

namespace gz::ui {

class TForm1;
class TScrollBox;

// The caption counter of document windows: 0 at start, never reset.
int ImageCount();

class TForm2 : public QMdiSubWindow {
    Q_OBJECT
public:
    // Creates the window (caption "image", client area 120 x 20); the main window adds it to
    // its area, names it and shows it.
    explicit TForm2(TForm1& owner);
    ~TForm2() override;

    TImageDocument& Document() { return document_; }
    const TImageDocument& Document() const { return document_; }

    TScrollBox* ScrollBox1() const { return scrollBox_; }
    QWidget* PaintBox1() const;

    // Counts the window and gives it the caption "image-N", plus " : " and the file name.
    void NameWindow(const QString& fileName);

    QSize ClientSize() const;
    void SetClientSize(int width, int height);

    // After a join: both scroll positions 0, ranges of the zoomed raster, the status line.
    void ShowJoinResult();
    // Sizes the window to the raster at 100 % within the main window (FitWindowToImage).
    void FitWindowToImage();
    // Only the growing step of FitWindowToImage, without limits (used by undo).
    void GrowToImage();
    // Sets the zoom, scrolls home and updates the ranges; the window keeps its size.
    void ApplyZoom(int zoom);

    // Event handlers, public so that the main window and tests reach them directly.
    void FormActivate();
    void ScrollBox1MouseWheel(int notch);
    void PaintBox1MouseDown(Qt::MouseButton button, QPoint visiblePos);
    void PaintBox1Click();

    // The status line text of this window's raster.
    QString StatusText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void UpdateRanges();
    void PaintBox1Paint(QPainter& painter, const QRect& exposed);

    TForm1& owner_;
    TImageDocument document_;
    TScrollBox* scrollBox_;
};

} // namespace gz::ui
