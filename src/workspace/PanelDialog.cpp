#include "workspace/PanelDialog.h"

#include "platform/Exceptions.h"
#include "workspace/OpenPictureDialog.h"

#include <QFrame>
#include <QLayout>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>

namespace gz::ui {

namespace {

int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

QFrame* MakeHost(QWidget* dialog)
{
    auto* host = new QFrame(dialog);
    host->setFrameStyle(QFrame::NoFrame);
    host->hide();
    return host;
}

} // namespace

TPanelOpenDialog::TPanelOpenDialog(QWidget* parent) : QFileDialog(parent)
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, false);
    setFileMode(QFileDialog::AnyFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setSizeGripEnabled(true);
    rightHost_ = MakeHost(this);
    bottomHost_ = MakeHost(this);
    FitFileListColumns(*this);
}

void TPanelOpenDialog::SetRightControl(QWidget* control)
{
    if (visible_)
        throw Exception("Can't exchange controls when the dialog is visible.");
    if (control && control == bottomControl_)
        bottomControl_ = nullptr;
    rightControl_ = control;
    if (control)
        control->hide();
}

void TPanelOpenDialog::SetBottomControl(QWidget* control)
{
    if (visible_)
        throw Exception("Can't exchange controls when the dialog is visible.");
    if (control && control == rightControl_)
        rightControl_ = nullptr;
    bottomControl_ = control;
    if (control)
        control->hide();
}

int TPanelOpenDialog::BaseUnitX() const
{
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = fontMetrics().horizontalAdvance(letters);
    return std::max(1, (width / 26 + 1) / 2);
}

int TPanelOpenDialog::BaseUnitY() const { return std::max(1, fontMetrics().height()); }

bool TPanelOpenDialog::Execute()
{
    if (!fileName_.isEmpty())
        selectFile(fileName_);
    if (exec() != QDialog::Accepted)
        return false;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty())
        return false;
    fileName_ = chosen.first();
    return true;
}

QRect TPanelOpenDialog::ControlsRect()
{
    for (const char* name : StandardControlNames) {
        const QWidget* w = findChild<QWidget*>(QString::fromLatin1(name));
        if (w && w->isVisibleTo(this))
            controlsRect_ = controlsRect_.united(QRect(w->mapTo(this, QPoint(0, 0)), w->size()));
    }
    // The standard part ends where the room kept for the attached controls begins.
    controlsRect_.setBottom(height() - ReservedBottom() - 1);
    return controlsRect_;
}

int TPanelOpenDialog::ReservedBottom() const { return reserved_ && bottomControl_ ? bottomHost_->height() + BaseUnitY() / 2 : 0; }

int TPanelOpenDialog::ReservedRight() const
{
    return reserved_ && rightControl_ ? rightHost_->width() + 2 * BaseUnitX() : 0;
}

void TPanelOpenDialog::Attach(QFrame* host, QWidget* control, QPoint at)
{
    host->setGeometry(QRect(at, control->size()));
    host->raise();
    control->setParent(host);
    control->move(0, 0);
    control->show();
    host->show();
}

void TPanelOpenDialog::Detach(QFrame* host, QWidget* control)
{
    control->hide();
    control->setParent(nullptr);
    host->hide();
}

void TPanelOpenDialog::showEvent(QShowEvent* event)
{
    SetNameCompletion(*this, true);
    QFileDialog::showEvent(event);
    if (visible_)
        return;
    visible_ = true;
    if (layout())
        layout()->activate();
    const int bx = BaseUnitX(), by = BaseUnitY();
    const QRect r = ControlsRect();
    QRect used = r;
    if (rightControl_) {
        Attach(rightHost_, rightControl_, QPoint(RightOf(r) + bx, r.y()));
        used = used.united(rightHost_->geometry());
    }
    if (bottomControl_) {
        Attach(bottomHost_, bottomControl_, QPoint(bx, BottomOf(r)));
        used = used.united(bottomHost_->geometry());
    }
    const QSize oldSize = size();
    // Never narrower than the standard part needs.
    const int newWidth = RightOf(used) + bx;
    const QSize newSize(rightControl_ ? newWidth : std::max(newWidth, width()), BottomOf(used) + by / 2);
    // The layout of the standard controls keeps their part; the rest is room for the hosts.
    if (layout()) {
        const QMargins m = layout()->contentsMargins();
        savedMargins_ = m;
        const int keepRight = rightControl_ ? std::max(0, newSize.width() - oldSize.width()) : 0;
        const int keepBottom = bottomControl_ ? std::max(0, newSize.height() - oldSize.height()) : 0;
        layout()->setContentsMargins(m.left(), m.top(), m.right() + keepRight, m.bottom() + keepBottom);
    }
    reserved_ = true;
    savedGeometry_ = geometry();
    savedMinimum_ = minimumSize();
    // No smaller than the standard part with the room kept for the hosts, nor than the
    // attached controls' own minimum.
    QSize least = layout() ? layout()->totalMinimumSize() : minimumSize();
    if (bottomControl_)
        least.setWidth(std::max(least.width(), bx + bottomControl_->minimumWidth() + bx));
    if (rightControl_)
        least.setHeight(std::max(least.height(), rightHost_->y() + rightControl_->minimumHeight() + by / 2));
    setMinimumSize(least);
    // Grown about its centre, which is the centre of the window it belongs to; worked out from
    // that window each time, so that every showing opens at the same place.
    QRect placed(QPoint(0, 0), newSize.expandedTo(least));
    placed.moveCenter(parentWidget() ? parentWidget()->window()->geometry().center() : savedGeometry_.center());
    if (const QScreen* desktop = screen()) {
        const QRect room = desktop->availableGeometry();
        placed.moveLeft(std::max(room.left(), std::min(placed.left(), room.right() - placed.width())));
        placed.moveTop(std::max(room.top(), std::min(placed.top(), room.bottom() - placed.height())));
    }
    setGeometry(placed);
    LayOut();
}

void TPanelOpenDialog::resizeEvent(QResizeEvent* event)
{
    QFileDialog::resizeEvent(event);
    if (!visible_)
        return;
    if (rightControl_)
        rightHost_->raise();
    if (bottomControl_)
        bottomHost_->raise();
    LayOut();
}

void TPanelOpenDialog::LayOut()
{
    const int bx = BaseUnitX(), by = BaseUnitY();
    // The hosts stay beside and under the standard part as the dialog grows or shrinks.
    if (rightControl_)
        rightHost_->move(width() - ReservedRight() + bx, rightHost_->y());
    if (bottomControl_)
        bottomHost_->move(bottomHost_->x(), height() - ReservedBottom());
    const int right = width() - bx;
    const int bottom = height() - by / 2;
    auto widenBottom = [&](int width) {
        if (!bottomControl_)
            return;
        bottomHost_->resize(width, bottomHost_->height());
        bottomControl_->resize(width, bottomControl_->height());
    };
    auto heightenRight = [&](int height) {
        if (!rightControl_)
            return;
        rightHost_->resize(rightHost_->width(), height);
        rightControl_->resize(rightControl_->width(), height);
    };
    switch (ControlAlign) {
    case pdaNone:
        break;
    case pdaBottom:
        widenBottom(right - bottomHost_->x());
        break;
    case pdaRight:
        heightenRight(bottom - rightHost_->y());
        break;
    case pdaBottomRight:
        widenBottom(right - bottomHost_->x());
        heightenRight(bottomHost_->y() - rightHost_->y() - by / 2);
        break;
    case pdaRightBottom:
        heightenRight(bottom - rightHost_->y());
        widenBottom(rightHost_->x() - bottomHost_->x() - bx);
        break;
    }
}

void TPanelOpenDialog::done(int result)
{
    SetNameCompletion(*this, false);
    if (visible_) {
        if (rightControl_)
            Detach(rightHost_, rightControl_);
        if (bottomControl_)
            Detach(bottomHost_, bottomControl_);
        if (layout() && reserved_)
            layout()->setContentsMargins(savedMargins_);
        reserved_ = false;
        // Back to the size and place before the controls were added, so the next showing lays
        // out alike and opens where this one did.
        setMinimumSize(savedMinimum_);
        resize(savedGeometry_.size());
        visible_ = false;
    }
    QFileDialog::done(result);
}

TPanelSaveDialog::TPanelSaveDialog(QWidget* parent) : TPanelOpenDialog(parent)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setOption(QFileDialog::DontConfirmOverwrite, true);
}

} // namespace gz::ui
