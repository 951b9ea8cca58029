#include "GuiInput.h"

#include <gtest/gtest.h>

#include <memory>

#include <QAction>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>

namespace gz::test {

namespace {

std::string Name(const QWidget* w)
{
    if (!w)
        return "nothing";
    const QString name = w->objectName();
    return (name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name).toStdString();
}

bool IsPopup(const QWidget* window) { return window->windowType() == Qt::Popup || window->windowType() == Qt::ToolTip; }

// Where a person's pointer at pos of widget lands: its window and the point in it. Fails when
// the widget cannot be seen there.
bool Reach(QWidget* widget, QPoint& pos, QWidget*& window, QPoint& inWindow)
{
    if (!widget || !widget->isVisible()) {
        ADD_FAILURE() << Name(widget) << " is not visible";
        return false;
    }
    if (pos.isNull())
        pos = widget->rect().center();
    if (!widget->rect().contains(pos)) {
        ADD_FAILURE() << pos.x() << "," << pos.y() << " lies outside " << Name(widget);
        return false;
    }
    window = widget->window();
    inWindow = widget->mapTo(window, pos);
    QWidget* hit = window->childAt(inWindow);
    if (!hit)
        hit = window;
    if (hit != widget && !widget->isAncestorOf(hit)) {
        ADD_FAILURE() << Name(hit) << " covers " << Name(widget) << " at " << pos.x() << "," << pos.y();
        return false;
    }
    // A click on an inactive window activates it first, unless a modal window blocks it.
    QWidget* modal = QApplication::activeModalWidget();
    if (!IsPopup(window) && !window->isActiveWindow() && (!modal || modal == window)) {
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window, WindowPatience)) {
            ADD_FAILURE() << Name(window) << " could not be activated";
            return false;
        }
    }
    return true;
}

} // namespace

// Reaches pos of widget, then send(window, point in the window).
template <class Send>
bool AtPoint(QWidget* widget, QPoint pos, Send send)
{
    QWidget* window = nullptr;
    QPoint at;
    if (!Reach(widget, pos, window, at))
        return false;
    send(window->windowHandle(), at);
    return true;
}

bool Click(QWidget* widget, QPoint pos, Qt::MouseButton button)
{
    return AtPoint(widget, pos, [&](QWindow* w, QPoint at) { QTest::mouseClick(w, button, Qt::NoModifier, at); });
}

// Two clicks in quick succession, which the window system reports as a double click.
bool DoubleClick(QWidget* widget, QPoint pos)
{
    return AtPoint(widget, pos, [](QWindow* w, QPoint at) { QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, at); });
}

bool MoveMouse(QWidget* widget, QPoint pos)
{
    return AtPoint(widget, pos, [](QWindow* w, QPoint at) { QTest::mouseMove(w, at); });
}

bool Wheel(QWidget* widget, QPoint pos, int notches)
{
    QWidget* window = nullptr;
    QPoint at;
    if (!Reach(widget, pos, window, at))
        return false;
    // The widget under the pointer gets the wheel; what it does not take goes to its parents.
    QWidget* hit = window->childAt(at);
    for (int i = 0; i < std::abs(notches); ++i) {
        for (QWidget* w = hit ? hit : window; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
            const QPointF local = w->mapFrom(window, QPointF(at));
            QWheelEvent wheel(local, w->mapToGlobal(local), {}, QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(w, &wheel);
            if (wheel.isAccepted())
                break;
        }
    }
    return true;
}

bool Type(const QString& text)
{
    if (!QApplication::focusWidget() && !QApplication::activePopupWidget()) {
        ADD_FAILURE() << "nothing has the keyboard focus to type " << text.toStdString();
        return false;
    }
    QTest::keyClicks(static_cast<QWidget*>(nullptr), text);
    return true;
}

bool Press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (!QApplication::focusWidget() && !QApplication::activePopupWidget()) {
        ADD_FAILURE() << "nothing has the keyboard focus to press key " << key;
        return false;
    }
    QTest::keyClick(static_cast<QWidget*>(nullptr), key, modifiers);
    return true;
}

bool TypeOver(const QString& text) { return Press(Qt::Key_A, Qt::ControlModifier) && Type(text); }

bool DragAndDrop(QWidget* target, const QMimeData& data, QPoint pos)
{
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(pos, actions, &data, Qt::NoButton, Qt::NoModifier);
    for (QDropEvent* e : {static_cast<QDropEvent*>(&enter), static_cast<QDropEvent*>(&move), &drop}) {
        QApplication::sendEvent(target, e);
        if (!e->isAccepted())
            return false;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall); // the files are handed over after the drop
    return drop.dropAction() == Qt::CopyAction;
}

bool DropFiles(QWidget* target, const QStringList& paths, QPoint pos)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    return DragAndDrop(target, data, pos);
}

bool ChooseMenu(QMainWindow& window, const QStringList& path)
{
    const auto find = [](const QList<QAction*>& actions, const QString& text) -> QAction* {
        for (QAction* a : actions)
            if (a->text() == text)
                return a;
        ADD_FAILURE() << "no menu item " << text.toStdString();
        return nullptr;
    };
    QMenuBar* bar = window.menuBar();
    QAction* title = find(bar->actions(), path.value(0));
    if (!title || !Click(bar, bar->actionGeometry(title).center()))
        return false;
    QMenu* menu = title->menu();
    for (qsizetype i = 1; i < path.size(); ++i) {
        if (!menu || !QTest::qWaitFor([&] { return menu->isVisible(); }, WindowPatience)) {
            ADD_FAILURE() << "the menu of " << path[i - 1].toStdString() << " did not open";
            return false;
        }
        QAction* item = find(menu->actions(), path[i]);
        if (!item || !Click(menu, menu->actionGeometry(item).center()))
            return false;
        menu = item->menu();
    }
    return true;
}

QWidget* ShownWindow(const char* className)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

void WhenActive(const char* className, std::function<void(QWidget*)> act)
{
    // Looks every few milliseconds, without blocking, so that the caller can go on and open it.
    auto* poll = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(WindowPatience);
    auto nudge = std::make_shared<QDeadlineTimer>(1000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, nudge, className, act = std::move(act)] {
        QWidget* shown = ShownWindow(className);
        // A window manager may keep the focus where the last real input went; this input never
        // reached it, so the person clicks on the new window.
        if (shown && !shown->isActiveWindow() && nudge->hasExpired()) {
            shown->activateWindow();
            *nudge = QDeadlineTimer(1000);
        }
        if (!shown || !shown->isActiveWindow()) {
            if (deadline->hasExpired()) {
                ADD_FAILURE() << className << (shown ? " did not become active" : " did not show") << " (active: " << Name(QApplication::activeWindow()) << ", popup: " << Name(QApplication::activePopupWidget()) << ")";
                if (shown)
                    shown->close();
                poll->deleteLater();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        act(shown);
        QCoreApplication::processEvents();
        if (ShownWindow(className) == shown) {
            ADD_FAILURE() << className << " stayed open";
            shown->close();
        }
    });
    poll->start(10);
}

} // namespace gz::test
