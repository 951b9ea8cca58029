#pragma once
// The application's standard message boxes: the error box (caption "Gazorin", the message,
// one OK button) and plain information boxes such as the about box. A hook can take their
// place, so that tests run without anyone clicking OK.

#include <QString>

#include <functional>

class QWidget;

namespace gz::ui {

enum class TMessageKind { Error, Information };

// What a hook receives: the box it would have shown.
using TMessageBoxHook = std::function<void(TMessageKind kind, const QString& caption, const QString& text)>;

// Replaces the real boxes by hook; an empty hook brings the real boxes back.
void SetMessageBoxHook(TMessageBoxHook hook);

// Shows message in the error box; the core's Japanese messages appear in the user interface's
// language (ErrorBoxText).
void ShowErrorBox(QWidget* parent, const QString& message);
QString ErrorBoxText(const QString& message);
void ShowMessageBox(QWidget* parent, const QString& caption, const QString& text);

// Runs command; an exception that leaves it ends the command and is shown in the error box.
// EAbort ends it silently. Returns false when the command ended by an exception.
bool RunCommand(QWidget* parent, const std::function<void()>& command);

} // namespace gz::ui
