#pragma once
// TForm2: a document window inside the main window's multiple-document area. It shows its
// document's working raster at the document's zoom in a scroll box; the wheel zooms, a right
// click near an edge chooses the join direction. It knows nothing of the main window: it
// changes its document, which announces the change, and it says when its picture was touched.

#include "workspace/DocumentModel.h"

#include <QMdiSubWindow>

#include <functional>

namespace gz::ui {

class TScrollBox;

// The caption counter of document windows: 0 at start, never reset.
int ImageCount();

// The sizes of the main window that a document window fits itself into.
struct TMainGeometry {
    int panelWidth = 0, panelHeight = 0;   // the tool panel
    int outerWidth = 0, outerHeight = 0;   // the window with its frame
    int clientWidth = 0, clientHeight = 0; // without frame and menu bar
};

class TForm2 : public QMdiSubWindow {
    Q_OBJECT
public:
    // Creates the window (caption "image", client area 120 x 20); the main window adds it to
    // its area, names it and shows it.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    TDocumentModel& Model() { return model_; }
    const TDocumentModel& Model() const { return model_; }
    // The room the main window gives; without it the window only grows to its picture.
    std::function<TMainGeometry()> Room;

    TScrollBox* ScrollBox1() const { return scrollBox_; }
    QWidget* PaintBox1() const;

    // Counts the window and gives it the caption "image-N", plus " : " and the file name.
    void NameWindow(const QString& fileName);

    QSize ClientSize() const;
    void SetClientSize(int width, int height);

    // Sizes the window to the raster at 100 % within the main window (FitWindowToImage).
    void FitWindowToImage();
    // Only the growing step of FitWindowToImage, without limits (used by undo).
    void GrowToImage();
    // Sets the zoom, scrolls home and updates the ranges; the window keeps its size.
    void ApplyZoom(int zoom);

    // The status line text of this window's raster.
    QString StatusText() const;

signals:
    // A left click or a wheel notch on the picture: the tool controls give up the keys.
    void pictureTouched();
    // A right click chose the direction by an edge (or kept it): the panel shows the settings.
    void edgeClicked();

private:
    void ShowPicture();
    void UpdateRanges();
    void ScrollBox1MouseWheel(int notch);
    void PaintBox1MouseDown(Qt::MouseButton button, QPoint visiblePos);
    void PaintBox1Paint(QPainter& painter, const QRect& exposed);
    void wheelEvent(QWheelEvent* event) override;

    TDocumentModel model_;
    TScrollBox* scrollBox_;
};

} // namespace gz::ui
