#pragma once
// A main window per test on the offscreen platform, test pictures in a temporary folder, and
// the message boxes caught instead of shown.

#include "workspace/ImageForm.h"
#include "workspace/MainForm.h"
#include "workspace/MessageBoxes.h"

#include "platform/Bitmap.h"

#include "GuiInput.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>
#include <vector>

// GoogleTest shows Qt's strings (and lists of them) as text.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace gz::test {

struct TCaughtBox {
    ui::TMessageKind kind;
    QString caption, text;
};

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the bitmap as a BMP file in the temporary folder; returns its path.
    QString WriteBmp(const QString& name, const TBitmap& bitmap);
    QString WriteBytes(const QString& name, const QByteArray& bytes);
    QString Path(const QString& name) const { return dir_.filePath(name); }

    ui::TForm2* Active() const { return form_->ActiveForm2(); }
    // A widget, button or action of the main window, found by its name as a person's tools
    // would; fails the test when there is none.
    template <class T = QWidget>
    T* Named(const QString& name) const
    {
        T* found = form_->findChild<T*>(name);
        if (!found)
            ADD_FAILURE() << "the main window has no " << T::staticMetaObject.className() << " named "
                          << name.toStdString();
        return found;
    }
    QToolButton* Button(const char* name) const { return Named<QToolButton>(QString::fromLatin1(name)); }
    QAction* Action(const char* name) const { return Named<QAction>(QString::fromLatin1(name)); }
    // Whether the setting's action is checked: its menu item and its button show it.
    bool Down(const char* name) const { return Action(name)->isChecked(); }
    // What the tool panel shows in one line: the pressed buttons, then the zoom box's text.
    QString PanelShows() const;
    // Clicks into the zoom box, types text over what it holds and presses Enter; returns the
    // active document window's zoom.
    int TypeZoom(const QString& text);
    // Opens the file as a person does: the open button, the full name typed into the dialog's
    // name field, Enter. Returns whether the dialog took the name.
    bool Open(const QString& path);
    // Types name into the name field of the active file dialog and presses Enter (Esc for an
    // empty name).
    static void Answer(QWidget* fileDialog, const QString& name);
    // The caption a window gets when it is the n-th window created in this test.
    QString Caption(int n, const QString& fileName) const;

    std::unique_ptr<ui::TForm1> form_;
    std::vector<TCaughtBox> boxes_;
    int countAtStart_ = 0;

private:
    QTemporaryDir dir_;
};

} // namespace gz::test
