#pragma once
// TSpeedButton: a flat tool button of the tool panel with a Tag (the setting it stands for)
// and a double-click signal.

#include <QToolButton>

namespace gz::ui {

enum class TButtonKind { Push, Group, Toggle };

class TSpeedButton : public QToolButton {
    Q_OBJECT
public:
    TSpeedButton(const QString& name, int tag, const QString& hint, TButtonKind kind, QWidget* parent);

    int Tag() const { return tag_; }
    TButtonKind Kind() const { return kind_; }
    // Pressed state of a group button or toggle.
    bool Down() const { return isChecked(); }
    // Sets the pressed state without running the button's command.
    void SetDown(bool down);

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int tag_;
    TButtonKind kind_;
};

} // namespace gz::ui
