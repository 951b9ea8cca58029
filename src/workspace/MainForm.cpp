#include "workspace/MainForm.h"

#include "join/FileRaster.h"
#include "platform/Exceptions.h"
#include "platform/FileExtension.h"
#include "shell/DropTarget.h"
#include "susie/SPIs.h"
#include "susie/SusieStartup.h"
#include "workspace/ClipboardRaster.h"
#include "workspace/ExportCommands.h"
#include "workspace/ImageForm.h"
#include "workspace/MessageBoxes.h"
#include "workspace/OpenPictureDialog.h"
#include "workspace/PanelDialog.h"
#include "workspace/WaitCursor.h"
#include "workspace/ZoomedRaster.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
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

constexpr int OuterWidth = 608, OuterHeight = 446;

// Answers the custom placement until the placement wizard takes over: the picture goes to
// the top-left corner of the canvas, fully opaque.
class TTopLeftPlacement : public TPlacementRequest {
public:
    std::optional<TPlacement> AskPlacement(const TImageDocument&, const TABitmap& placed) override
    {
        return TPlacement{{0, 0, placed.Width(), placed.Height()}, 255};
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

    CreateActions();
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
    OpenPictureDialog1->RasterOptions = RasterOptions();
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
    DropDst1->OnFileDrop = [this](TDropDst*, const QStringList& files, int, int) { DropDst1FileDrop(files); };
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

TPanelSaveDialog& TForm1::SaveDialog() const { return *SavePictureDialog1; }

TExportPanel& TForm1::ExportPanel() const { return *Panel2; }

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

// ---------------------------------------------------------------- document windows

TForm2* TForm1::ActiveForm2() const { return qobject_cast<TForm2*>(MDIArea->currentSubWindow()); }

QList<TForm2*> TForm1::Forms2() const
{
    QList<TForm2*> forms;
    for (QMdiSubWindow* w : MDIArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* f = qobject_cast<TForm2*>(w))
            forms.append(f);
    return forms;
}

TForm2* TForm1::CreateForm2(const QString& fileName)
{
    auto* form = new TForm2;
    form->NameWindow(fileName);
    form->Model().SetFlips((SBchgLR->isChecked() ? flipLR : 0) | (SBchgUB->isChecked() ? flipUB : 0));
    form->Model().SetSeeThrough(SeeThrough1->isChecked());
    form->Room = [this] { return MainGeometry(); };
    // What the window announces reaches the panel and the status line while it is active.
    const TDocumentModel* model = &form->Model();
    connect(model, &TDocumentModel::settingsChanged, this, [this, form] {
        if (form == ActiveForm2())
            ShowZoom(form->Model().Zoom());
    });
    connect(model, &TDocumentModel::pictureChanged, this, [this, form] {
        if (form == ActiveForm2())
            SetStatusText(form->StatusText());
    });
    connect(form, &TForm2::edgeClicked, this, [this, form] {
        if (!form->Model().IsEmpty())
            ShowWindowState(*form);
    });
    connect(form, &TForm2::pictureTouched, this, &TForm1::DropToolFocus);

    // New windows cascade from the top-left corner, each a title bar lower than the last.
    const int cascade = int(Forms2().size() % 8) * 24;
    MDIArea->addSubWindow(form);
    form->move(cascade, cascade);
    form->show();
    form->SetClientSize(120, 20);
    MDIArea->setActiveSubWindow(form);
    return form;
}

void TForm1::SubWindowActivated()
{
    TForm2* f = ActiveForm2();
    if (!f)
        return;
    if (!f->Model().IsEmpty())
        ShowWindowState(*f);
    SetStatusText(f->StatusText());
}

void TForm1::ShowWindowState(const TForm2& form)
{
    // Checking an action shows it in its menu item and on its button; no command runs.
    const TDocumentModel& m = form.Model();
    for (QAction* a : directions_->actions())
        if (TJoinDir(a->data().toInt()) == m.JoinDir())
            a->setChecked(true);
    for (QAction* a : positions_->actions())
        if (TJoinPos(a->data().toInt()) == m.JoinPos() && m.JoinPos() != jpCustom)
            a->setChecked(true);
    SBchgLR->setChecked(m.Flips() & flipLR);
    SBchgUB->setChecked(m.Flips() & flipUB);
    ShowZoom(m.Zoom());
    SBautoFit->setChecked(m.KeepSize() == smGrow);
    SeeThrough1->setChecked(m.SeeThrough());
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

void TForm1::LoadAndJoin(const QString& fileName)
{
    RunCommand(this, [&] {
        const TWaitCursor wait;
        std::optional<TPictureRaster> raster;
        if (fileName.isEmpty()) {
            if (std::optional<TBitmap> pasted = LoadClipboardRaster())
                raster = TPictureRaster{*pasted, TBitmap()};
        } else {
            raster = LoadFilePicture(LocalFileName(fileName), RasterOptions());
        }
        if (!raster)
            return;
        TForm2* target = ActiveForm2();
        if (!target || target->Model().JoinDir() == jdNew)
            target = CreateForm2(fileName);
        target->Model().Join(*raster, placement_);
        target->FitWindowToImage();
    });
}

TRasterOptions TForm1::RasterOptions() const { return {.AutoOrient = AutoOrient1->isChecked()}; }

void TForm1::DropDst1FileDrop(const QStringList& files)
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

void TForm1::SBNormalClick(TJoinDir dir)
{
    if (TForm2* f = ActiveForm2())
        f->Model().SetJoinDir(dir);
}

void TForm1::SBNormalDblClick(TJoinDir dir)
{
    SBNormalClick(dir);
    TForm2* f = ActiveForm2();
    if (!f)
        return;
    RunCommand(this, [&] {
        const TWaitCursor wait;
        if (f->Model().JoinBlank(placement_))
            f->FitWindowToImage();
    });
}

void TForm1::SBpLeftClick(TJoinPos pos)
{
    if (TForm2* f = ActiveForm2())
        f->Model().SetJoinPos(pos);
}

void TForm1::SBchgUBClick()
{
    if (TForm2* f = ActiveForm2())
        f->Model().SetFlips((SBchgUB->isChecked() ? flipUB : 0) | (SBchgLR->isChecked() ? flipLR : 0));
}

void TForm1::SBautoFitClick()
{
    const bool grow = SBautoFit->isChecked();
    if (TForm2* f = ActiveForm2())
        f->Model().SetKeepSize(grow ? smGrow : smKeep);
    SpeedButton1->setEnabled(!grow);
    // The position falls back to the start either way; the panel shows it.
    positions_->actions().constFirst()->setChecked(true);
    SBpLeftClick(jpStart);
}

void TForm1::SeeThrough1Click()
{
    if (TForm2* f = ActiveForm2())
        f->Model().SetSeeThrough(SeeThrough1->isChecked());
}

// ---------------------------------------------------------------- edit commands

void TForm1::Copy1Click()
{
    if (TForm2* f = ActiveForm2())
        RunCommand(this, [&] { PutRasterOnClipboard(f->Model().Picture()); });
}

void TForm1::Undo1Click()
{
    if (TForm2* f = ActiveForm2())
        RunCommand(this, [&] {
            f->Model().Undo();
            f->GrowToImage();
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
            zoom = f->Model().Zoom();
        zoom = std::clamp(zoom, MinZoom, maxZoom);
        ShowZoom(zoom);
        f->ApplyZoom(zoom);
    });
}

void TForm1::zoombox1Click() { ApplyZoomBox(MaxZoom); }

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

// ---------------------------------------------------------------- help

void TForm1::About1Click()
{
    ShowMessageBox(this, tr("バージョン情報"), tr("Gazorin　Ver. %1").arg(QStringLiteral(GAZORIN_VERSION)));
}

} // namespace gz::ui
