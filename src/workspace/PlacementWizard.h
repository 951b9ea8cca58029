#pragma once
// TForm3: the placement wizard. For the custom join position it shows the document's raster
// (the base) reduced on the left and a thumbnail of the picture to place (the piece) on the
// right. A click in the preview snaps the piece's top-left corner to a grid of half the piece's
// size; x and y can also be typed. The form is created once, hidden, and shown modally for
// every custom join.

#include "platform/Bitmap.h"
#include "join/JoinEngine.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace gz::ui {

// Left coordinate of the placement RunPlacementWizard returns when the user cancelled.
constexpr int PlacementCancelled = -32768;

class TForm3 : public QDialog, public TPlacementRequest {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);
    ~TForm3() override;

    // Prepares the form for the document's raster and the piece, shows it modally and returns
    // where the piece goes in base pixels (Left = PlacementCancelled when cancelled) with the
    // opacity of TrackBar1.
    TPlacement RunPlacementWizard(const TImageDocument& document, const TABitmap& placed);
    // The join engine's question: RunPlacementWizard, with a cancelled placement as nothing.
    std::optional<TPlacement> AskPlacement(const TImageDocument& document, const TABitmap& placed) override;

    // The first half of RunPlacementWizard: thumbnail, preview, labels, edits and fields.
    void Prepare(const TBitmap& base, const TBitmap& piece);
    // The second half: the rectangle from PlaceX, PlaceY and the piece size.
    TRect PlacedRect() const;

    // --- components ---
    QLabel *Label1 = nullptr, *Label4 = nullptr, *Label5 = nullptr;
    QWidget* PaintBox1 = nullptr;
    QLabel* Image1 = nullptr;
    QSlider* TrackBar1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit *Ex = nullptr, *Ey = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr;

    // --- fields ---
    TBitmap PreviewBitmap;   // 400 x 400, the reduced base on white
    TBitmap Thumbnail;       // 200 x 200, the reduced piece on white (what Image1 shows)
    int ScaleDivisor = 1;    // base pixels per preview pixel
    int BaseWidth = 0, BaseHeight = 0;
    int PieceWidth = 0, PieceHeight = 0;
    int PlaceX = 0, PlaceY = 0;

    // --- event handlers, public so that tests reach them directly ---
    // Draws the preview, the base's right and bottom edges and the piece's dotted outline.
    void PaintBox1Paint(TCanvas& canvas) const;
    void PaintBox1MouseDown(int x, int y);
    void PaintBox1MouseMove(int x, int y);
    void Button1Click();   // 配置
    void Button2Click();   // キャンセル
    void Button3Click();   // 更新

    // What PaintBox1 shows: its 401 x 401 pixels in the form's face colour, painted over.
    TBitmap PaintBoxImage() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ReadEdits();
};

} // namespace gz::ui
