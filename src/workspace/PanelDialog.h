#pragma once
// File dialogs that lend a control of another window to the dialog while it is open: the
// control sits right of or below the dialog's standard controls, follows the dialog's size
// as ControlAlign says, and goes back (hidden, without a parent) when the dialog closes.
// Built over Qt's own file dialog, whose widgets can be measured and extended.

#include <QFileDialog>
#include <QPointer>
#include <QMargins>
#include <QRect>
#include <QSize>

class QFrame;

namespace gz::ui {

enum TPanelDialogControlAlign { pdaNone, pdaBottom, pdaRight, pdaBottomRight, pdaRightBottom };

// The file dialog's own names of its standard controls, from the folder row at the top to the
// name and type fields and the button box at the bottom right: their union is the part the
// attached controls go beside and below.
inline constexpr const char* StandardControlNames[] = {"lookInLabel", "fileNameEdit", "fileTypeCombo", "buttonBox"};

class TPanelOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TPanelOpenDialog(QWidget* parent = nullptr);

    TPanelDialogControlAlign ControlAlign = pdaNone;

    QWidget* RightControl() const { return rightControl_; }
    QWidget* BottomControl() const { return bottomControl_; }
    // Both refuse while the dialog is open; a control given to one side leaves the other.
    void SetRightControl(QWidget* control);
    void SetBottomControl(QWidget* control);

    // Runs the dialog modally; true when the user confirmed a name, then in FileName().
    bool Execute();
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& name) { fileName_ = name; }

    bool Visible() const { return visible_; }
    // Dialog base units in pixels: bx is the average width of the letters A-Z and a-z in the
    // dialog's font, by the font's line height.
    int BaseUnitX() const;
    int BaseUnitY() const;
    // The union of the standard controls (StandardControlNames) in the dialog's coordinates,
    // its bottom at the end of the standard part.
    QRect ControlsRect();

    QFrame* RightHost() const { return rightHost_; }
    QFrame* BottomHost() const { return bottomHost_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    void Attach(QFrame* host, QWidget* control, QPoint at);
    void Detach(QFrame* host, QWidget* control);
    void LayOut();
    int ReservedBottom() const;
    int ReservedRight() const;

    QFrame* rightHost_ = nullptr;
    QFrame* bottomHost_ = nullptr;
    QPointer<QWidget> rightControl_, bottomControl_;
    QRect controlsRect_;
    QString fileName_;
    bool visible_ = false;
    bool reserved_ = false;
    QMargins savedMargins_;
    QRect savedGeometry_; // before the controls were added
    QSize savedMinimum_;
};

// Identical mechanism; saves accept a name that does not exist yet and replace an existing
// file without asking.
class TPanelSaveDialog : public TPanelOpenDialog {
    Q_OBJECT
public:
    explicit TPanelSaveDialog(QWidget* parent = nullptr);
};

} // namespace gz::ui
