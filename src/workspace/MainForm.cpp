#include "workspace/MainForm.h"

#include "susie/SusieStartup.h"

#include "platform/Exceptions.h"
#include "workspace/ClipboardRaster.h"
#include "workspace/ExportCommands.h"
#include "join/FileRaster.h"
#include "workspace/ImageForm.h"
#include "workspace/MessageBoxes.h"
#include "workspace/OpenPictureDialog.h"
#include "workspace/PanelDialog.h"
#include "workspace/SpeedButton.h"
#include "workspace/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>
#include <QStatusBar>

#include <algorithm>
#include <optional>

namespace gz::ui {

namespace {

constexpr int MinZoom = 10, ListMaxZoom = 800, TypedMaxZoom = 400;
constexpr int OuterWidth = 608, OuterHeight = 446;

// Answers the custom placement until the placement wizard takes over: the picture goes to
// the top-left corner of the canvas, fully opaque.
class TTopLeftPlacement : public TPlacementRequest {
public:
    TPlacement RunPlacementWizard(const TImageDocument&, const TABitmap& placed) override
    {
        return {{0, 0, placed.Width(), placed.Height()}, 255};
    }
};

std::string LocalFileName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// The clipboard's picture as a raster; nothing when there is none or it cannot be read.
std::optional<TBitmap> LoadClipboardRaster()
{
    try {
        return ReadClipboardRaster();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Turns a switch on for the length of a scope, and off again however the scope ends.
class TSwitchedOn {
public:
    explicit TSwitchedOn(const std::function<void(bool)>& onOff) : onOff_(onOff)
    {
        if (onOff_)
            onOff_(true);
    }
    ~TSwitchedOn()
    {
        if (onOff_)
            onOff_(false);
    }
    TSwitchedOn(const TSwitchedOn&) = delete;
    TSwitchedOn& operator=(const TSwitchedOn&) = delete;

private:
    const std::function<void(bool)>& onOff_;
};

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), standInPlacement_(std::make_unique<TTopLeftPlacement>()), placement_(standInPlacement_.get())
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Gazorin"));

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    BuildToolPanel();
    row->addWidget(Panel1);
    MDIArea = new QMdiArea(central);
    MDIArea->setObjectName(QStringLiteral("MDIArea"));
    MDIArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    MDIArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    row->addWidget(MDIArea, 1);
    setCentralWidget(central);

    StatusBar1 = new QLabel(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    {
        // One Japanese face for the whole line, so its digits do not change font mid-line.
        QFont font = StatusBar1->font();
        font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP"),
                          font.family()});
        StatusBar1->setFont(font);
    }
    statusBar()->addWidget(StatusBar1, 1);
    statusBar()->setSizeGripEnabled(true);

    BuildMenus();
    SPIs1 = CreateMainWindowSPIs();
    GraphicPreviewSwitch = [this](bool on) { SPIs1->GraphicPreview = on; };
    OpenPictureDialog1 = new TOpenPictureDialog(this);
    Panel2 = new TExportPanel;
    SavePictureDialog1 = new TPanelSaveDialog(this);
    SavePictureDialog1->ControlAlign = pdaBottom;
    SavePictureDialog1->SetBottomControl(Panel2);

    connect(MDIArea, &QMdiArea::subWindowActivated, this, [this] { SubWindowActivated(); });

    // Drops on any part of the window reach the window itself: no child takes them first.
    zoombox1->lineEdit()->setAcceptDrops(false);
    TControlHook::SetExceptionReport(
        [](const std::exception& e) { ShowErrorBox(QApplication::activeWindow(), QString::fromUtf8(e.what())); });
    DropDst1 = new TDropDst(this);
    DropDst1->setObjectName(QStringLiteral("DropDst1"));
    DropDst1->OnFileDrop = [this](TDropDst* sender, const QStringList& files, int x, int y) {
        DropDst1FileDrop(sender, files, x, y);
    };
    DropDst1->SetTarget(htForm);

    PlaceOnDesktop();
}

TForm1::~TForm1()
{
    // The document windows go first, while the panel and status line they report to exist.
    disconnect(MDIArea, nullptr, this, nullptr);
    for (TForm2* form : Forms2())
        delete form;
    SPIs1.reset();
    // Panel2 has a parent only while a save dialog shows it.
    if (Panel2 && !Panel2->parent())
        delete Panel2;
}

void TForm1::PlaceOnDesktop()
{
    // The outer size includes the window manager's frame, which is known only once the manager
    // has framed the window: placed at creation as if there were none, and once more when the
    // frame first shows.
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (placedFrame_ && *placedFrame_ == frame)
        return;
    placedFrame_ = frame;
    QRect outer(0, 0, OuterWidth, OuterHeight);
    resize(outer.size().shrunkBy(frame));
    if (const QScreen* desktop = screen() ? screen() : QGuiApplication::primaryScreen()) {
        outer.moveCenter(desktop->availableGeometry().center());
        move(outer.topLeft());
    }
}

void TForm1::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (!placedFrame_ || placedFrame_->isNull())
        PlaceOnDesktop();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (!placedFrame_ || placedFrame_->isNull())
        PlaceOnDesktop();
}

void TForm1::SetPlacementRequest(TPlacementRequest* request)
{
    placement_ = request ? request : standInPlacement_.get();
}

TForm2* TForm1::ActiveForm2() const { return qobject_cast<TForm2*>(MDIArea->currentSubWindow()); }

QList<TForm2*> TForm1::Forms2() const
{
    QList<TForm2*> forms;
    for (QMdiSubWindow* w : MDIArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* f = qobject_cast<TForm2*>(w))
            forms.append(f);
    return forms;
}

void TForm1::SubWindowActivated()
{
    if (TForm2* f = ActiveForm2())
        f->FormActivate();
}

// ---------------------------------------------------------------- state shown in the panel

void TForm1::ShowWindowState(int dir, int pos, int keepSize, int zoom, int flips)
{
    if (auto* b = static_cast<TSpeedButton*>(DirectionGroup->button(dir)))
        b->SetDown(true);
    if (dir >= jdNew && dir <= jdRight)
        DirectionItems[dir]->setChecked(true);
    if (pos >= jpStart && pos <= jpEnd)
        static_cast<TSpeedButton*>(PositionGroup->button(pos))->SetDown(true);
    SBchgLR->SetDown(flips & flipLR);
    SBchgUB->SetDown(flips & flipUB);
    ShowZoom(zoom);
    SBautoFit->SetDown(keepSize == 0);
}

void TForm1::SetStatusText(const QString& text)
{
    if (StatusBar1->text() != text)
        StatusBar1->setText(text);
}

QString TForm1::StatusText() const { return StatusBar1->text(); }

void TForm1::ShowZoom(int zoom) { zoombox1->setEditText(QString::number(zoom)); }

void TForm1::DropToolFocus()
{
    if (QWidget* focused = focusWidget(); focused && Panel1->isAncestorOf(focused))
        focused->clearFocus();
}

TMainGeometry TForm1::MainGeometry() const
{
    TMainGeometry g;
    g.panelWidth = Panel1->width();
    g.panelHeight = Panel1->height();
    g.outerWidth = frameGeometry().width();
    g.outerHeight = frameGeometry().height();
    g.clientWidth = width();
    g.clientHeight = height() - (menuBar() ? menuBar()->height() : 0);
    return g;
}

// ---------------------------------------------------------------- load and join

TForm2* TForm1::CreateForm2(const QString& fileName)
{
    auto* form = new TForm2(*this);
    form->NameWindow(fileName);
    form->Document().flips = (SBchgLR->Down() ? flipLR : 0) | (SBchgUB->Down() ? flipUB : 0);
    // New windows cascade from the top-left corner, each a title bar lower than the last.
    const int cascade = int(Forms2().size() % 8) * 24;
    MDIArea->addSubWindow(form);
    form->move(cascade, cascade);
    form->show();
    form->SetClientSize(120, 20);
    MDIArea->setActiveSubWindow(form);
    return form;
}

void TForm1::LoadAndJoin(const QString& fileName)
{
    RunCommand(this, [&] {
        const TWaitCursor wait;
        const std::optional<TBitmap> raster = fileName.isEmpty() ? LoadClipboardRaster() : LoadFileRaster(LocalFileName(fileName));
        if (!raster)
            return;
        TForm2* target = ActiveForm2();
        if (!target || target->Document().joinDir == jdNew)
            target = CreateForm2(fileName);
        if (JoinPicture(target->Document(), *raster, placement_))
            target->ShowJoinResult();
        target->FitWindowToImage();
    });
}

void TForm1::DropDst1FileDrop(TDropDst*, const QStringList& files, int, int)
{
    if (files.isEmpty() || files.first().isEmpty())
        return;
    const std::string ext = UpperFileExtension(LocalFileName(files.first()));
    if (ext.empty() || ext == ".")
        return;
    LoadAndJoin(files.first());
}

void TForm1::openpictureClick()
{
    QString fileName;
    RunCommand(this, [&] {
        OpenPictureDialog1->RebuildFilter();
        const TSwitchedOn preview(GraphicPreviewSwitch); // plug-ins decode their preview images meanwhile
        fileName = OpenPictureDialog1->Execute();
    });
    if (!fileName.isEmpty())
        LoadAndJoin(fileName);
}

void TForm1::Paste1Click() { LoadAndJoin(QString()); }

// ---------------------------------------------------------------- window settings

void TForm1::SBNormalClick(TSpeedButton* button)
{
    const int tag = button->Tag();
    if (TForm2* f = ActiveForm2())
        f->Document().joinDir = tag;
    if (tag >= jdNew && tag <= jdRight)
        DirectionItems[tag]->setChecked(true);
}

void TForm1::SBNormalDblClick(TSpeedButton* button)
{
    SBNormalClick(button);
    TForm2* f = ActiveForm2();
    if (!f)
        return;
    RunCommand(this, [&] {
        const TWaitCursor wait;
        if (!JoinBlank(&f->Document(), placement_))
            return;
        f->ShowJoinResult();
        f->FitWindowToImage();
    });
}

void TForm1::N7Click(QAction* item)
{
    const int tag = item->data().toInt();
    item->setChecked(true);
    static_cast<TSpeedButton*>(DirectionGroup->button(tag))->SetDown(true);
    if (TForm2* f = ActiveForm2())
        f->Document().joinDir = tag;
}

void TForm1::SBpLeftClick(TSpeedButton* button)
{
    if (TForm2* f = ActiveForm2())
        f->Document().joinPos = button->Tag();
}

void TForm1::L2Click(QAction* item)
{
    const int tag = item->data().toInt();
    item->setChecked(true);
    if (tag >= jpStart && tag <= jpEnd)
        static_cast<TSpeedButton*>(PositionGroup->button(tag))->SetDown(true);
    if (TForm2* f = ActiveForm2())
        f->Document().joinPos = tag;
}

void TForm1::SBchgUBClick()
{
    const int flips = (SBchgUB->Down() ? flipUB : 0) | (SBchgLR->Down() ? flipLR : 0);
    if (TForm2* f = ActiveForm2())
        f->Document().flips = flips;
    H1->setChecked(SBchgLR->Down());
    V1->setChecked(SBchgUB->Down());
}

// A checkable menu item has already turned its check when it reports the click, so the
// new check is the opposite of the old one.
void TForm1::H1Click(bool checked)
{
    SBchgLR->SetDown(checked);
    SBchgUBClick();
}

void TForm1::V1Click(bool checked)
{
    SBchgUB->SetDown(checked);
    SBchgUBClick();
}

void TForm1::SBautoFitClick()
{
    const bool grow = SBautoFit->Down();
    if (TForm2* f = ActiveForm2())
        f->Document().keepSize = grow ? 0 : 1;
    Insert1->setChecked(grow);
    SpeedButton1->setEnabled(!grow);
    // The position falls back to the start either way; the panel shows it.
    SBpLeft->SetDown(true);
    SBpLeftClick(SBpLeft);
}

void TForm1::Insert1Click(bool checked)
{
    SBautoFit->SetDown(checked);
    SBautoFitClick();
}

// ---------------------------------------------------------------- edit commands

void TForm1::Copy1Click()
{
    if (TForm2* f = ActiveForm2())
        RunCommand(this, [&] { PutRasterOnClipboard(f->Document().workBmp); });
}

void TForm1::Undo1Click()
{
    TForm2* f = ActiveForm2();
    if (!f)
        return;
    RunCommand(this, [&] {
        f->Document().Undo();
        f->ShowJoinResult();
        f->GrowToImage();
        f->PaintBox1()->update();
    });
}

void TForm1::savejpegClick()
{
    if (ActiveForm2())
        RunCommand(this, [&] { SaveAsJpeg(*this); });
}

void TForm1::savepngClick()
{
    if (ActiveForm2())
        RunCommand(this, [&] { SaveAsPng(*this); });
}

// ---------------------------------------------------------------- zoom box

void TForm1::ApplyZoomBox(int maxZoom)
{
    TForm2* f = ActiveForm2();
    if (!f)
        return;
    RunCommand(this, [&] {
        const TWaitCursor wait;
        bool ok = false;
        int zoom = zoombox1->currentText().trimmed().toInt(&ok, 10);
        if (!ok)
            zoom = f->Document().zoom;
        zoom = std::clamp(zoom, MinZoom, maxZoom);
        ShowZoom(zoom);
        f->ApplyZoom(zoom);
    });
}

void TForm1::zoombox1Click() { ApplyZoomBox(ListMaxZoom); }

void TForm1::zoombox1Enter() { ApplyZoomBox(TypedMaxZoom); }

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in the zoom box is a command of its own; the box must not also treat it as a
    // choice from its list. The key reaches the box or its line edit, whichever has the focus.
    if (event->type() == QEvent::KeyPress && zoombox1 && (watched == zoombox1 || watched == zoombox1->lineEdit())) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            zoombox1Enter();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- help and exit

void TForm1::About1Click()
{
    ShowMessageBox(this, QStringLiteral("バージョン情報"), QStringLiteral("Gazorin　Ver. 2.3"));
}

void TForm1::Exit1Click() { close(); }

} // namespace gz::ui
