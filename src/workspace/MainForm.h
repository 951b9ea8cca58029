#pragma once
// TForm1: the main window. A multiple-document area for the document windows, the tool
// panel Panel1 with every command and join setting, the menus and the status line. It owns
// no picture: the tool panel mirrors the settings of the active document window, and a click
// on a panel control writes its setting into that window at once.

#include "shell/DropTarget.h"
#include "susie/SPIs.h"
#include "join/JoinEngine.h"

#include <QMainWindow>
#include <QMargins>
#include <QPointer>

#include <functional>
#include <optional>
#include <memory>

class QAction;
class QButtonGroup;
class QComboBox;
class QLabel;
class QListWidget;
class QMdiArea;

namespace gz::ui {

class TForm2;
class TSpeedButton;
class TOpenPictureDialog;
class TPanelSaveDialog;
class TExportPanel;

// The sizes of the main window that document windows fit themselves into.
struct TMainGeometry {
    int panelWidth = 0, panelHeight = 0;   // Panel1
    int outerWidth = 0, outerHeight = 0;   // the window with its frame
    int clientWidth = 0, clientHeight = 0; // without frame and menu bar
};

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

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
    // Files dropped anywhere on the window arrive here (DropDst1FileDrop).
    TDropDst* DropDst1 = nullptr;

    TSpeedButton *openpicture = nullptr, *savejpeg = nullptr, *savepng = nullptr;
    TSpeedButton *SBundo = nullptr, *SBcopy = nullptr, *SBpaste = nullptr;
    TSpeedButton *SBNormal = nullptr, *SBup = nullptr, *SBbottom = nullptr, *SBLeft = nullptr, *SBRight = nullptr;
    TSpeedButton *SBUpLeft = nullptr, *SBUpRight = nullptr, *SBBottomLeft = nullptr, *SBBottomRight = nullptr;
    TSpeedButton *SBpLeft = nullptr, *SBpCenter = nullptr, *SBpRight = nullptr, *SpeedButton1 = nullptr;
    TSpeedButton *SBchgLR = nullptr, *SBchgUB = nullptr, *SBautoFit = nullptr;
    QButtonGroup* DirectionGroup = nullptr;
    QButtonGroup* PositionGroup = nullptr;

    QAction *Open1 = nullptr, *SaveJpeg1 = nullptr, *SavePng1 = nullptr, *Exit1 = nullptr;
    QAction *Undo1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr;
    QAction* DirectionItems[5] = {};  // "新規(&N)" .. "右(&R)", by Tag
    QAction* PositionItems[4] = {};   // "左(&L)" .. "Custom(&C)", by Tag
    QAction *H1 = nullptr, *V1 = nullptr, *Insert1 = nullptr, *About1 = nullptr;

    // --- hooks for the parts that arrive later ---
    // Switches the plug-in host's preview decoding on while the open dialog runs.
    std::function<void(bool on)> GraphicPreviewSwitch;
    // Who answers the custom placement; a stand-in until the placement wizard is set.
    void SetPlacementRequest(TPlacementRequest* request);
    TPlacementRequest* PlacementRequest() const { return placement_; }

    // --- state shown to and taken from the document windows ---
    TForm2* ActiveForm2() const;
    QList<TForm2*> Forms2() const;
    void ShowWindowState(int dir, int pos, int keepSize, int zoom, int flips);
    void SetStatusText(const QString& text);
    QString StatusText() const;
    void ShowZoom(int zoom);
    // The main window's focused control becomes none (the zoom box stops taking keys).
    void DropToolFocus();
    TMainGeometry MainGeometry() const;

    // --- commands ---
    // Loads the file (or, with an empty name, the clipboard's picture) and joins it onto the
    // active window, or onto a new one while the active window's direction is new window.
    void LoadAndJoin(const QString& fileName);
    // Loads the first dropped file unless its name has no extension (or "." alone).
    void DropDst1FileDrop(TDropDst* sender, const QStringList& files, int x, int y);

    void SBNormalClick(TSpeedButton* button);
    void SBNormalDblClick(TSpeedButton* button);
    void N7Click(QAction* item);
    void SBpLeftClick(TSpeedButton* button);
    void L2Click(QAction* item);
    void SBchgUBClick();
    void H1Click(bool checked);
    void V1Click(bool checked);
    void SBautoFitClick();
    void Insert1Click(bool checked);
    void openpictureClick();
    void savejpegClick();
    void savepngClick();
    void Paste1Click();
    void Copy1Click();
    void Undo1Click();
    void zoombox1Click();   // an entry chosen from the list
    void zoombox1Enter();   // Enter pressed in the box
    void About1Click();
    void Exit1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // 608 x 446 with the window manager's frame, centred on the desktop.
    void PlaceOnDesktop();
    void BuildToolPanel();
    void BuildMenus();
    TForm2* CreateForm2(const QString& fileName);
    void ApplyZoomBox(int maxZoom);
    void SubWindowActivated();

    std::unique_ptr<TPlacementRequest> standInPlacement_;
    // The plug-in host SPIs1: searched at creation, its formats registered until destruction.
    std::unique_ptr<TSPIs> SPIs1;
    TPlacementRequest* placement_ = nullptr;
    std::optional<QMargins> placedFrame_; // the frame the window was last placed for
};

} // namespace gz::ui
