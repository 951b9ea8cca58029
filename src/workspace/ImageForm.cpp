#include "workspace/ImageForm.h"

#include "workspace/ScrollBox.h"
#include "workspace/ZoomedRaster.h"

#include <QFileInfo>
#include <QLayout>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace gz::ui {

namespace {

int imageCount = 0;

} // namespace

int ImageCount() { return imageCount; }

TForm2::TForm2(QWidget* parent) : QMdiSubWindow(parent), scrollBox_(new TScrollBox)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("image"));
    setWidget(scrollBox_);
    scrollBox_->OnPaint = [this](QPainter& p, const QRect& exposed) { PaintBox1Paint(p, exposed); };
    scrollBox_->OnWheelNotch = [this](int notch) { ScrollBox1MouseWheel(notch); };
    scrollBox_->OnMouseDown = [this](Qt::MouseButton b, QPoint pos) { PaintBox1MouseDown(b, pos); };
    scrollBox_->OnClick = [this] { emit pictureTouched(); };
    scrollBox_->setMinimumSize(1, 1);
    connect(&model_, &TDocumentModel::pictureChanged, this, &TForm2::ShowPicture);
    SetClientSize(120, 20);
}

TForm2::~TForm2() = default;

QWidget* TForm2::PaintBox1() const { return scrollBox_->PaintSurface(); }

void TForm2::NameWindow(const QString& fileName)
{
    ++imageCount;
    QString caption = QStringLiteral("image-%1").arg(imageCount);
    if (!fileName.isEmpty())
        caption += QStringLiteral(" : ") + QFileInfo(fileName).fileName();
    setWindowTitle(caption);
}

QSize TForm2::ClientSize() const { return scrollBox_->size(); }

void TForm2::SetClientSize(int width, int height)
{
    // The frame is whatever the window keeps around its client; measured after a layout
    // pass, and again while the window's minimum size or the style change it with the size.
    const QSize client(std::max(width, 1), std::max(height, 1));
    for (int pass = 0; pass < 4; ++pass) {
        if (layout())
            layout()->activate();
        const QSize frame = size() - scrollBox_->size();
        resize(client + frame);
        if (layout())
            layout()->activate();
        if (scrollBox_->size() == client)
            break;
    }
}

QString TForm2::StatusText() const
{
    return tr("幅 %1 , 高さ %2").arg(model_.Picture().Width()).arg(model_.Picture().Height());
}

void TForm2::UpdateRanges()
{
    scrollBox_->SetRanges(ZoomedSize(model_.Picture().Width(), model_.Zoom()),
                          ZoomedSize(model_.Picture().Height(), model_.Zoom()));
}

// A new picture is shown from its top-left corner.
void TForm2::ShowPicture()
{
    scrollBox_->SetPositions(0, 0);
    UpdateRanges();
    PaintBox1()->update();
}

void TForm2::GrowToImage()
{
    const int w = model_.Picture().Width(), h = model_.Picture().Height();
    QSize client = ClientSize();
    if (h > 20)
        client.setHeight(h + 4);
    if (w > 120)
        client.setWidth(w + 4);
    SetClientSize(client.width(), client.height());
}

void TForm2::FitWindowToImage()
{
    GrowToImage();
    if (Room) {
        const TMainGeometry m = Room();
        const int top = y(), left = x();
        QSize client = ClientSize();
        if (client.height() > m.panelHeight - top)
            client.setHeight(m.panelHeight - (m.outerHeight - m.clientHeight) - top - 8);
        if (client.width() > m.clientWidth - m.panelWidth - left)
            client.setWidth(m.clientWidth - m.panelWidth - left - 20);
        SetClientSize(client.width(), client.height());
    }
    PaintBox1()->update();
}

void TForm2::ApplyZoom(int zoom)
{
    model_.SetZoom(zoom);
    ShowPicture();
}

void TForm2::ScrollBox1MouseWheel(int notch)
{
    model_.SetZoom(std::clamp(model_.Zoom() + notch * WheelZoomStep, MinZoom, MaxZoom));
    scrollBox_->SetPositions(0, 0);

    const int zw = ZoomedSize(model_.Picture().Width(), model_.Zoom());
    const int zh = ZoomedSize(model_.Picture().Height(), model_.Zoom());
    QSize client = ClientSize();
    if (zh > 20)
        client.setHeight(zh + 5);
    if (zw > 20)
        client.setWidth(zw + 5);
    if (Room) {
        const TMainGeometry m = Room();
        const int top = y(), left = x();
        if (client.height() > m.panelHeight - top - 40)
            client.setHeight(m.panelHeight - top - 50);
        if (client.width() > m.outerWidth - m.panelWidth - left - 40)
            client.setWidth(m.outerWidth - m.panelWidth - left - 50);
    }
    SetClientSize(client.width(), client.height());

    UpdateRanges();
    PaintBox1()->update();
    emit pictureTouched();
}

void TForm2::PaintBox1MouseDown(Qt::MouseButton button, QPoint visiblePos)
{
    if (button != Qt::RightButton)
        return;
    // The zones lie along the edges of the visible part, wherever the picture is scrolled.
    const int x = visiblePos.x(), y = visiblePos.y();
    const QSize visible = PaintBox1()->size();
    TJoinDir dir = model_.JoinDir();
    if (y < 20)
        dir = jdUp;
    if (x < 20)
        dir = jdLeft;
    if (y > visible.height() - 50)
        dir = jdDown;
    if (x > visible.width() - 50)
        dir = jdRight;
    model_.SetJoinDir(dir);
    emit edgeClicked();
}

void TForm2::PaintBox1Paint(QPainter& painter, const QRect& exposed)
{
    PaintZoomedView(painter, model_.Picture(), model_.Zoom(), exposed, palette().color(QPalette::Window));
}

void TForm2::wheelEvent(QWheelEvent* event)
{
    // Notches over the frame zoom like notches over the picture.
    const int notches = event->angleDelta().y() / 120;
    for (int i = 0; i < std::abs(notches); ++i)
        ScrollBox1MouseWheel(notches > 0 ? +1 : -1);
    event->accept();
}

} // namespace gz::ui
