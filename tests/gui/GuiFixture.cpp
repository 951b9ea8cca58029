#include "GuiFixture.h"

#include "workspace/SpeedButton.h"
#include "workspace/Startup.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace gz::test {

namespace {

// One application for the whole run, on the offscreen platform unless told otherwise.
class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        formats_ = std::make_unique<ui::TPictureFormatsRegistration>();
        app_ = std::make_unique<QApplication>(argc_, argv_);
        QApplication::setApplicationName(QStringLiteral("Gazorin"));
    }
    void TearDown() override
    {
        app_.reset();
        formats_.reset();
    }

private:
    int argc_ = 1;
    char name_[10] = "gui_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<ui::TPictureFormatsRegistration> formats_;
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

} // namespace

void GuiTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    ui::SetMessageBoxHook([this](ui::TMessageKind kind, const QString& caption, const QString& text) {
        boxes_.push_back({kind, caption, text});
    });
    countAtStart_ = ui::ImageCount();
    form_ = std::make_unique<ui::TForm1>();
    form_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get(), WindowPatience));
}

void GuiTest::TearDown()
{
    form_.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui::SetMessageBoxHook({});
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()) << "a window outlived its test";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor was not restored";
}

QString GuiTest::WriteBmp(const QString& name, const TBitmap& bitmap)
{
    const QString path = Path(name);
    bitmap.SaveToFile(path.toStdString());
    return path;
}

QString GuiTest::WriteBytes(const QString& name, const QByteArray& bytes)
{
    const QString path = Path(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

bool GuiTest::Open(const QString& path)
{
    bool answered = false;
    WhenActive("gz::ui::TOpenPictureDialog", [&](QWidget* dialog) {
        Answer(dialog, path);
        answered = !dialog->isVisible();
    });
    Click(Button("openpicture"));
    return answered;
}

void GuiTest::Answer(QWidget* fileDialog, const QString& name)
{
    if (name.isEmpty()) {
        Press(Qt::Key_Escape);
        return;
    }
    Click(fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")));
    TypeOver(name);
    Press(Qt::Key_Return);
}

QString GuiTest::PanelShows() const
{
    QStringList pressed;
    for (const char* name : {"SBNormal", "SBup", "SBbottom", "SBLeft", "SBRight", "SBpLeft", "SBpCenter", "SBpRight",
                             "SpeedButton1", "SBchgLR", "SBchgUB", "SBautoFit"})
        if (Button(name)->isChecked())
            pressed << QString::fromLatin1(name);
    return pressed.join(u' ') + u' ' + Named<QComboBox>(QStringLiteral("zoombox1"))->currentText();
}

int GuiTest::TypeZoom(const QString& text)
{
    Click(Named<QComboBox>(QStringLiteral("zoombox1"))->lineEdit());
    TypeOver(text);
    Press(Qt::Key_Return);
    return Active() ? Active()->Model().Zoom() : 0;
}

QString GuiTest::Caption(int n, const QString& fileName) const
{
    QString caption = QStringLiteral("image-%1").arg(countAtStart_ + n);
    if (!fileName.isEmpty())
        caption += QStringLiteral(" : ") + fileName;
    return caption;
}

} // namespace gz::test

// "--x-session=SCRIPT" runs the same command again inside SCRIPT, which gives it a private X
// server with a window manager (CTest's x11.* cases); everything else is GoogleTest's.
int main(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    static const char option[] = "--x-session=";
    for (auto it = args.begin() + 1; it != args.end(); ++it) {
        if (std::strncmp(*it, option, sizeof option - 1) != 0)
            continue;
        char* script = *it + sizeof option - 1;
        args.erase(it);
        args.insert(args.begin(), script);
        args.push_back(nullptr);
        execv(script, args.data());
        std::perror(script);
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
