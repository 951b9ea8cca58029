#include "workspace/SpeedButton.h"

#include <QMouseEvent>
#include <QSignalBlocker>

namespace gz::ui {

TSpeedButton::TSpeedButton(const QString& name, int tag, const QString& hint, TButtonKind kind, QWidget* parent)
    : QToolButton(parent), tag_(tag), kind_(kind)
{
    setObjectName(name);
    setProperty("Tag", tag);
    setToolTip(hint);
    setAutoRaise(true);
    setCheckable(kind != TButtonKind::Push);
    setFocusPolicy(Qt::NoFocus);
}

void TSpeedButton::SetDown(bool down)
{
    const QSignalBlocker quiet(this);
    setChecked(down);
}

void TSpeedButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    QToolButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

} // namespace gz::ui
