#pragma once
// TForm1: the main window. A multiple-document area for the document windows, the tool
// panel with every command and join setting, the menus and the status line. It owns no
// picture: each document window has its own (TForm2 and its TDocumentModel).
//
// Every command and every setting is one QAction, shown both by a menu item and by a tool
// panel button; the actions carry the names of the panel's buttons (SBup, SBchgLR, ...).
// A setting chosen by the person is written into the active document window at once; when
// another window becomes active, ShowWindowState checks the actions to show its settings.

#include "join/JoinEngine.h"
#include "join/PictureRaster.h"

#include <QMainWindow>
#include <QMargins>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QMdiArea;

namespace gz {
class TSPIs;
}

namespace gz::ui {

class TDropDst;
class TExportPanel;
class TForm2;
class TOpenPictureDialog;
class TPanelSaveDialog;
struct TMainGeometry;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Loads the file (or, with an empty name, the clipboard's picture) and joins it onto the
    // active document window, or onto a new one while that window's direction is new window.
    void LoadAndJoin(const QString& fileName);

    // Who answers the custom placement; a stand-in until the placement wizard is set.
    void SetPlacementRequest(TPlacementRequest* request);
    // Switches the plug-in host's preview decoding on while the open dialog runs.
    std::function<void(bool on)> GraphicPreviewSwitch;

    TForm2* ActiveForm2() const;
    QList<TForm2*> Forms2() const;
    QString StatusText() const;
    // The room the document windows fit themselves into.
    TMainGeometry MainGeometry() const;

    // The save dialog and its option panel Panel2, which the export commands use.
    TPanelSaveDialog& SaveDialog() const;
    TExportPanel& ExportPanel() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // --- building (MainActions.cpp, MainPanel.cpp) ---
    void CreateActions();
    void BuildMenus();
    void BuildToolPanel();
    // 608 x 446 with the window manager's frame, centred on the desktop.
    void PlaceOnDesktop();

    // --- document windows ---
    TForm2* CreateForm2(const QString& fileName);
    void SubWindowActivated();
    // How files and the open dialog's preview become rasters, from the モード menu's check items.
    TRasterOptions RasterOptions() const;
    // The one place where the actions and the zoom box take a document window's settings.
    void ShowWindowState(const TForm2& form);
    void SetStatusText(const QString& text);
    void ShowZoom(int zoom);
    // The main window's focused control becomes none (the zoom box stops taking keys).
    void DropToolFocus();

    // --- commands ---
    void SBNormalClick(TJoinDir dir);
    void SBNormalDblClick(TJoinDir dir);
    void SBpLeftClick(TJoinPos pos);
    void SBchgUBClick();
    void SBautoFitClick();
    void SeeThrough1Click();
    void openpictureClick();
    void savejpegClick();
    void savepngClick();
    void Paste1Click();
    void Copy1Click();
    void Undo1Click();
    void zoombox1Click(); // an entry chosen from the list
    void zoombox1Enter(); // Enter pressed in the box
    void ApplyZoomBox(int maxZoom);
    void About1Click();
    // Loads the first dropped file unless its name has no extension (or "." alone).
    void DropDst1FileDrop(const QStringList& files);

    // --- actions: one per command and setting ---
    QAction *openpicture = nullptr, *savejpeg = nullptr, *savepng = nullptr, *Exit1 = nullptr;
    QAction *SBundo = nullptr, *SBcopy = nullptr, *SBpaste = nullptr, *About1 = nullptr;
    QActionGroup* directions_ = nullptr; // SBNormal .. SBRight and the hidden corners; data: TJoinDir
    QActionGroup* positions_ = nullptr;  // SBpLeft, SBpCenter, SBpRight, SpeedButton1; data: TJoinPos
    QAction *SBchgLR = nullptr, *SBchgUB = nullptr, *SBautoFit = nullptr, *SpeedButton1 = nullptr;
    QAction* SeeThrough1 = nullptr; // a document window setting shown only in the モード menu
    QAction* AutoOrient1 = nullptr; // photos turned upright; a program-wide check item without a button

    // --- components ---
    QMdiArea* MDIArea = nullptr;
    QWidget* Panel1 = nullptr;
    QLabel* StatusBar1 = nullptr; // the one text field of the status line
    QComboBox* zoombox1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    TOpenPictureDialog* OpenPictureDialog1 = nullptr;
    // The export dialog and its option panel (owned here; lent to the dialog while it shows).
    TPanelSaveDialog* SavePictureDialog1 = nullptr;
    QPointer<TExportPanel> Panel2;
    // Files dropped anywhere on the window arrive here.
    TDropDst* DropDst1 = nullptr;
    // The plug-in host SPIs1: searched at creation, its formats registered until destruction.
    std::unique_ptr<TSPIs> SPIs1;

    std::unique_ptr<TPlacementRequest> standInPlacement_;
    TPlacementRequest* placement_ = nullptr;
    std::optional<QMargins> placedFrame_; // the frame the window was last placed for
};

} // namespace gz::ui
