#include "workspace/SpeedButton.h"

#include <QAction>
#include <QMouseEvent>

namespace gz::ui {

TSpeedButton::TSpeedButton(QAction* action, QWidget* parent) : QToolButton(parent)
{
    setDefaultAction(action);
    setObjectName(action->objectName());
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
}

void TSpeedButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    QToolButton::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

} // namespace gz::ui
