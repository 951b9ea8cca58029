#pragma once
// Input as a person gives it: mouse buttons and the wheel at points inside visible windows,
// delivered through the window as the window system delivers them (so whatever lies on top at
// that point gets them), keys to the window that has the keyboard focus, menus opened and
// items chosen by clicking. Each returns false (and fails the test) when a person could not do
// it: the widget is hidden, covered at that point, or nothing has the focus.

#include <QPoint>
#include <QString>
#include <QStringList>

#include <functional>

class QMainWindow;
class QMimeData;
class QWidget;

namespace gz::test {

// How long a wait for a window may take on a busy machine before the test gives up.
constexpr int WindowPatience = 20000;

// pos in the widget's coordinates; a null pos is the widget's centre. The widget's window is
// activated first, as a click on it would do under a window manager.
bool Click(QWidget* widget, QPoint pos = {}, Qt::MouseButton button = Qt::LeftButton);
bool DoubleClick(QWidget* widget, QPoint pos = {});
bool MoveMouse(QWidget* widget, QPoint pos);
// Wheel notches over pos: positive away from the user, negative toward.
bool Wheel(QWidget* widget, QPoint pos, int notches);

// Keys to the focused widget of the active window (or the open popup).
bool Type(const QString& text);
bool Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// Selects everything in the focused text field and types text over it.
bool TypeOver(const QString& text);

// A drag from the desktop over target ending in a drop at pos, as the window system delivers
// it. Returns whether the drop was taken as a copy; the files are handed over by then.
bool DragAndDrop(QWidget* target, const QMimeData& data, QPoint pos = {5, 5});
// The same with local files.
bool DropFiles(QWidget* target, const QStringList& paths, QPoint pos = {5, 5});

// Clicks the menu bar's menu path[0], then the items along the rest of the path.
bool ChooseMenu(QMainWindow& window, const QStringList& path);

// Runs act once a visible top-level widget of class className is the active window; meanwhile
// the caller goes on (typically into the command that opens it modally). act must close it.
void WhenActive(const char* className, std::function<void(QWidget*)> act);
// The visible top-level widget of class className, or none.
QWidget* ShownWindow(const char* className);

} // namespace gz::test
