#include "GuiFixture.h"

#include "workspace/Startup.h"

#include <QApplication>
#include <QFile>
#include <QTest>

#include <cstdlib>

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
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form_.get()));
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

QString GuiTest::Caption(int n, const QString& fileName) const
{
    QString caption = QStringLiteral("image-%1").arg(countAtStart_ + n);
    if (!fileName.isEmpty())
        caption += QStringLiteral(" : ") + fileName;
    return caption;
}

} // namespace gz::test
