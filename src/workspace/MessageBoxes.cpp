#include "workspace/MessageBoxes.h"

#include "platform/Exceptions.h"

#include <QApplication>
#include <QMessageBox>

#include <new>

namespace gz::ui {

namespace {

TMessageBoxHook& Hook()
{
    static TMessageBoxHook hook;
    return hook;
}

void Show(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text)
{
    if (Hook()) {
        Hook()(kind, caption, text);
        return;
    }
    QMessageBox box(kind == TMessageKind::Error ? QMessageBox::Critical : QMessageBox::Information, caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Hook() = std::move(hook); }

void ShowErrorBox(QWidget* parent, const QString& message)
{
    Show(parent, TMessageKind::Error, QApplication::applicationDisplayName(), message);
}

void ShowMessageBox(QWidget* parent, const QString& caption, const QString& text)
{
    Show(parent, TMessageKind::Information, caption, text);
}

bool RunCommand(QWidget* parent, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::bad_alloc&) {
        ShowErrorBox(parent, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        ShowErrorBox(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace gz::ui
