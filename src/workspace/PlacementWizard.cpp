#include "workspace/PlacementWizard.h"

#include "platform/Canvas.h"
#include "workspace/ClipboardRaster.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace gz::ui {

namespace {

constexpr int PreviewSize = 400, ThumbnailSize = 200, PaintBoxSize = 401;

int Saturated(std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

QString SizeCaption(int width, int height)
{
    return TForm3::tr("サイズ　( %1, %2 )").arg(width).arg(height);
}

// A white size x size bitmap with the picture stretched into its top-left corner, reduced by
// the smallest whole divisor that makes it smaller than size in both directions.
TBitmap ReducedOnWhite(const TBitmap& picture, int size, int& divisor)
{
    const int w = picture.Width(), h = picture.Height();
    divisor = std::max(h / size, w / size) + 1;
    TBitmap result(size, size);
    TCanvas& canvas = result.Canvas();
    canvas.Brush.Color = clWhite;
    canvas.FillRect({0, 0, size, size});
    canvas.StretchDraw({0, 0, int(std::trunc(double(w) / divisor)), int(std::trunc(double(h) / divisor))}, picture);
    return result;
}

// A line of the paint box. The ends are pulled in to just outside the box first, so a
// position typed far off the base costs no more to draw than one inside it (every line here
// runs along an axis, which keeps its visible part unchanged).
void BoxLine(TCanvas& canvas, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1)
{
    const auto pull = [](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -1, PaintBoxSize)); };
    canvas.MoveTo(pull(x0), pull(y0));
    canvas.LineTo(pull(x1), pull(y1));
}

TColor ToColor(const QColor& c) { return TColor(c.red() | c.green() << 8 | c.blue() << 16); }

class TWizardPaintBox : public QWidget {
public:
    TWizardPaintBox(TForm3& form, QWidget* parent) : QWidget(parent), form_(form)
    {
        setObjectName(QStringLiteral("PaintBox1"));
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(0, 0, RasterToImage(form_.PaintBoxImage()));
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const QPoint p = event->position().toPoint();
        form_.PaintBox1MouseDown(p.x(), p.y());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const QPoint p = event->position().toPoint();
        form_.PaintBox1MouseMove(p.x(), p.y());
    }

private:
    TForm3& form_;
};

QLabel* PlacedLabel(const QString& name, const QString& caption, int left, int top, QWidget* parent)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QPushButton* PlacedButton(const QString& name, const QString& caption, const QRect& r, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(r);
    return button;
}

} // namespace

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(tr("連結　配置ウィザード"));
    setModal(true);
    QFont face = font();
    face.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                      face.family()});
    face.setPixelSize(12);
    setFont(face);
    setFixedSize(652, 444);

    Label4 = PlacedLabel(QStringLiteral("Label4"), tr("サイズ"), 0, 0, this);
    PaintBox1 = new TWizardPaintBox(*this, this);
    PaintBox1->setGeometry(0, 16, PaintBoxSize, PaintBoxSize);
    Label5 = PlacedLabel(QStringLiteral("Label5"), QStringLiteral("Label5"), 8, 424, this);
    Label1 = PlacedLabel(QStringLiteral("Label1"), tr("サイズ"), 440, 0, this);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(440, 16, 209, 209);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    TrackBar1 = new QSlider(Qt::Horizontal, this);
    TrackBar1->setObjectName(QStringLiteral("TrackBar1"));
    TrackBar1->setGeometry(440, 232, 209, 45);
    TrackBar1->setRange(0, 255);
    TrackBar1->setValue(255);
    TrackBar1->setTickInterval(16);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    TrackBar1->hide();

    GroupBox1 = new QGroupBox(tr("配置する画像の座標（左上）"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(448, 272, 185, 89);
    PlacedLabel(QStringLiteral("LabelX"), QStringLiteral("x"), 24, 24, GroupBox1);
    Ex = new QLineEdit(GroupBox1);
    Ex->setObjectName(QStringLiteral("Ex"));
    Ex->setGeometry(40, 24, 121, 20);
    PlacedLabel(QStringLiteral("LabelY"), QStringLiteral("y"), 24, 56, GroupBox1);
    Ey = new QLineEdit(GroupBox1);
    Ey->setObjectName(QStringLiteral("Ey"));
    Ey->setGeometry(40, 56, 121, 20);

    Button3 = PlacedButton(QStringLiteral("Button3"), tr("更新"), {560, 368, 75, 25}, this);
    Button1 = PlacedButton(QStringLiteral("Button1"), tr("配置"), {448, 408, 75, 25}, this);
    Button2 = PlacedButton(QStringLiteral("Button2"), tr("キャンセル"), {544, 408, 75, 25}, this);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });

    setTabOrder(Ex, Ey);
    setTabOrder(Ey, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Button3, TrackBar1);
}

TForm3::~TForm3() = default;

void TForm3::Prepare(const TBitmap& base, const TBitmap& piece)
{
    int thumbnailDivisor = 1;
    Thumbnail = ReducedOnWhite(piece, ThumbnailSize, thumbnailDivisor);
    Image1->setPixmap(QPixmap::fromImage(RasterToImage(Thumbnail)));
    Label1->setText(SizeCaption(piece.Width(), piece.Height()));
    Label1->adjustSize();
    PieceWidth = piece.Width();
    PieceHeight = piece.Height();

    int previewDivisor = 1;
    PreviewBitmap = ReducedOnWhite(base, PreviewSize, previewDivisor);
    Label4->setText(SizeCaption(base.Width(), base.Height()));
    Label4->adjustSize();
    ScaleDivisor = previewDivisor;
    BaseWidth = base.Width();
    BaseHeight = base.Height();

    Ex->setText(QStringLiteral("0"));
    Ey->setText(QStringLiteral("0"));
    PlaceX = 0;
    PlaceY = 0;
    PaintBox1->update();
}

TRect TForm3::PlacedRect() const
{
    return {PlaceX, PlaceY, Saturated(std::int64_t(PlaceX) + PieceWidth), Saturated(std::int64_t(PlaceY) + PieceHeight)};
}

std::optional<TPlacement> TForm3::AskPlacement(const TImageDocument& document, const TABitmap& placed)
{
    const TPlacement placement = RunPlacementWizard(document, placed);
    if (placement.Rect.Left == PlacementCancelled)
        return std::nullopt;
    return placement;
}

TPlacement TForm3::RunPlacementWizard(const TImageDocument& document, const TABitmap& placed)
{
    // One placement at a time: a request that arrives while the form is open is cancelled.
    if (isVisible())
        return {{PlacementCancelled, 0, 0, 0}, TrackBar1->value()};
    Prepare(document.workBmp, placed);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The join that asks runs under the hourglass; the user works here with the arrow.
    const bool waiting = QGuiApplication::overrideCursor() != nullptr;
    if (waiting)
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    exec();
    if (waiting)
        QGuiApplication::restoreOverrideCursor();
    return {PlacedRect(), TrackBar1->value()};
}

void TForm3::PaintBox1Paint(TCanvas& canvas) const
{
    canvas.Draw(0, 0, PreviewBitmap);
    const auto p = [this](std::int64_t v) { return v / ScaleDivisor; }; // truncates toward zero

    canvas.Pen = {clBlack, psSolid};
    BoxLine(canvas, p(BaseWidth), 0, p(BaseWidth), p(BaseHeight));
    BoxLine(canvas, p(BaseWidth), p(BaseHeight), 0, p(BaseHeight));

    const std::int64_t left = p(PlaceX), top = p(PlaceY);
    const std::int64_t right = p(std::int64_t(PlaceX) + PieceWidth), bottom = p(std::int64_t(PlaceY) + PieceHeight);
    // The dots are black on white, so the outline shows on dark pictures as well.
    for (const TPen pen : {TPen{clWhite, psSolid}, TPen{clBlack, psDot}}) {
        canvas.Pen = pen;
        BoxLine(canvas, left, top, right, top);
        BoxLine(canvas, right, top, right, bottom);
        BoxLine(canvas, right, bottom, left, bottom);
        BoxLine(canvas, left, bottom, left, top);
    }
}

TBitmap TForm3::PaintBoxImage() const
{
    TBitmap image(PaintBoxSize, PaintBoxSize);
    TCanvas& canvas = image.Canvas();
    canvas.Brush.Color = ToColor(palette().color(QPalette::Window));
    canvas.FillRect({0, 0, PaintBoxSize, PaintBoxSize});
    PaintBox1Paint(canvas);
    return image;
}

void TForm3::PaintBox1MouseDown(int x, int y)
{
    // Snaps down to a multiple of half the piece's size. A piece one pixel across has no
    // such grid in that direction; there the clicked base pixel is taken as it is.
    const auto snap = [this](int v, int pieceSize) {
        const std::int64_t half = std::int64_t(std::trunc(pieceSize / 2.0));
        const std::int64_t basePixel = std::int64_t(v) * ScaleDivisor;
        return Saturated(half > 0 ? basePixel / half * half : basePixel);
    };
    PlaceX = snap(x, PieceWidth);
    PlaceY = snap(y, PieceHeight);
    Ex->setText(QString::number(PlaceX));
    Ey->setText(QString::number(PlaceY));
    PaintBox1->update();
}

void TForm3::PaintBox1MouseMove(int x, int y)
{
    Label5->setText(QStringLiteral("%1 , %2").arg(x).arg(y));
    Label5->adjustSize();
}

void TForm3::ReadEdits()
{
    bool ok = false;
    const int x = Ex->text().toInt(&ok);
    PlaceX = ok ? x : 0;
    const int y = Ey->text().toInt(&ok);
    PlaceY = ok ? y : 0;
}

void TForm3::Button3Click()
{
    ReadEdits();
    PaintBox1->update();
}

void TForm3::Button1Click()
{
    ReadEdits();
    accept();
}

void TForm3::Button2Click()
{
    Ex->setText(QString::number(PlacementCancelled));
    PlaceX = PlacementCancelled;
    reject();
}

void TForm3::keyPressEvent(QKeyEvent* event)
{
    // Esc is the cancel button's key; closing from the title bar is not a cancel.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        Button2->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace gz::ui
