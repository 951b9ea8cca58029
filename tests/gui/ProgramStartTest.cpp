// What the desktop program sets up at start: the files of its command line, and one window
// icon for all its windows.

#include "GuiFixture.h"

#include "support/Rasters.h"
#include "workspace/CommandLine.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPixmap>

namespace gz::test {
namespace {

using ui::ParseProgramArguments;

TEST(ProgramArguments, HelpAndVersionAreFoundAmongOtherArguments)
{
    EXPECT_TRUE(ParseProgramArguments({"-platform", "offscreen", "a.png", "--help"}).help);
    EXPECT_TRUE(ParseProgramArguments({"--bogus", "--version"}).version);
    EXPECT_FALSE(ParseProgramArguments({"--", "--help"}).help);
    const auto plain = ParseProgramArguments({"a.png"});
    EXPECT_FALSE(plain.help || plain.version);
    EXPECT_EQ(plain.error, "");
}

TEST(ProgramArguments, FilesBecomeAbsolutePathsInTheirOrder)
{
    const auto parsed = ParseProgramArguments({"b.png", "/tmp/x/../a.jpg", "file:///tmp/c%20d.gif", "--", "-e.bmp"});
    EXPECT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.files, QStringList({QDir::current().absoluteFilePath("b.png"), "/tmp/a.jpg", "/tmp/c d.gif",
                                         QDir::current().absoluteFilePath("-e.bmp")}));
}

TEST(ProgramArguments, AnUnknownOptionIsAUsageError)
{
    EXPECT_EQ(ParseProgramArguments({"a.png", "--zoom=200"}).error, "unknown option --zoom=200");
}

TColor Red(int, int) { return RGBColor(255, 0, 0); }

TEST_F(GuiTest, CommandLineFilesOpenInOrderEachInItsOwnWindow)
{
    const QString a = WriteBmp("a.bmp", MakeBitmap(30, 20, Red));
    const QString b = WriteBmp("b.bmp", MakeBitmap(10, 40, Red));
    QDir(Path("")).mkdir("folder.png");
    ui::OpenCommandLineFiles(*form_, {a, Path("missing.png"), Path("folder.png"), b});

    QStringList captions;
    for (ui::TForm2* form : form_->Forms2())
        captions << form->windowTitle();
    captions.sort();
    EXPECT_EQ(captions, QStringList({Caption(1, "a.bmp"), Caption(2, "b.bmp")}));
    EXPECT_EQ(Active()->windowTitle(), Caption(2, "b.bmp"));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].kind, ui::TMessageKind::Error);
    EXPECT_EQ(boxes_[0].caption, "Gazorin");
    EXPECT_TRUE(boxes_[0].text.contains("missing.png")) << boxes_[0].text.toStdString();
    EXPECT_TRUE(boxes_[1].text.contains("folder.png")) << boxes_[1].text.toStdString();
}

TEST_F(GuiTest, CommandLineFilesStopOnceTheMainWindowIsClosed)
{
    const QString a = WriteBmp("a.bmp", MakeBitmap(30, 20, Red));
    ui::SetMessageBoxHook([this](ui::TMessageKind, const QString&, const QString&) { form_->close(); });
    ui::OpenCommandLineFiles(*form_, {Path("missing.png"), a});
    EXPECT_TRUE(form_->Forms2().isEmpty());
}

// The program sets its icon once, on the application; no window may put another in its place.
TEST_F(GuiTest, EveryWindowShowsTheApplicationIcon)
{
    QPixmap mark(16, 16);
    mark.fill(Qt::magenta);
    const QIcon previous = QApplication::windowIcon();
    QApplication::setWindowIcon(QIcon(mark));
    ui::OpenCommandLineFiles(*form_, {WriteBmp("a.bmp", MakeBitmap(30, 20, Red))});
    ASSERT_NE(Active(), nullptr);
    for (QWidget* window : {static_cast<QWidget*>(form_.get()), static_cast<QWidget*>(Active())})
        EXPECT_EQ(window->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey()) << window->objectName().toStdString();
    QApplication::setWindowIcon(previous);
}

} // namespace
} // namespace gz::test
