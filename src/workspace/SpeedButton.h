#pragma once
// TSpeedButton: a flat tool button of the tool panel. It shows one of the main window's
// actions, under the action's name, and adds a double-click signal.

#include <QToolButton>

namespace gz::ui {

class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(QAction* action, QWidget* parent);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

} // namespace gz::ui
