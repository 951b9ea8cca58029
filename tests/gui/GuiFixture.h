#pragma once
// A main window per test on the offscreen platform, test pictures in a temporary folder, and
// the message boxes caught instead of shown.

#include "workspace/ImageForm.h"
#include "workspace/MainForm.h"
#include "workspace/MessageBoxes.h"

#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <vector>

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
    // The caption a window gets when it is the n-th window created in this test.
    QString Caption(int n, const QString& fileName) const;

    std::unique_ptr<ui::TForm1> form_;
    std::vector<TCaughtBox> boxes_;
    int countAtStart_ = 0;

private:
    QTemporaryDir dir_;
};

} // namespace gz::test
