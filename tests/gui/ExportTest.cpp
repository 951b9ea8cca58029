// The export commands driven through the real save dialog with its option panel.

#include "GuiFixture.h"

#include "jpeg/JPEGImage.h"
#include "platform/Streams.h"
#include "support/Rasters.h"
#include "workspace/ExportCommands.h"
#include "workspace/PanelDialog.h"
#include "workspace/SpeedButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QScreen>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>

namespace gz::test {

namespace {

TColor Gradient(int x, int y) { return static_cast<TColor>((x * 7) | (y * 5) << 8 | ((x + y) * 3) << 16); }

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ExportTest : public GuiTest {
protected:
    void OpenPicture()
    {
        ASSERT_TRUE(Open(WriteBmp("src.bmp", MakeBitmap(40, 30, Gradient))));
        ASSERT_NE(Active(), nullptr);
    }

    // Clicks button; once the save dialog is active, look(dialog) runs and then name is typed
    // into it and Enter pressed (Esc for an empty name). Returns whether the dialog showed.
    bool Drive(QWidget* button, const QString& name, const std::function<void(ui::TPanelSaveDialog&)>& look = {})
    {
        bool shown = false;
        WhenActive("gz::ui::TPanelSaveDialog", [&](QWidget* w) {
            auto* dialog = static_cast<ui::TPanelSaveDialog*>(w);
            shown = true;
            proposed_ = dialog->selectedFiles().value(0);
            if (look)
                look(*dialog);
            Answer(dialog, name);
        });
        Click(button);
        QCoreApplication::processEvents();
        // Nothing of the dialog stays behind: no completion list, no second window.
        EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_TRUE(w == form_.get() || !w->isVisible()) << w->metaObject()->className() << " left on screen";
        return shown;
    }

    // Clicks button and expects no dialog.
    void ClickWithoutDialog(QWidget* button)
    {
        QTimer::singleShot(0, [] {
            if (QWidget* dialog = ShownWindow("QFileDialog")) {
                ADD_FAILURE() << "a file dialog opened";
                dialog->close();
            }
        });
        Click(button);
    }

    ui::TExportPanel& Panel() { return form_->ExportPanel(); }
    QString proposed_;
};

} // namespace

TEST_F(ExportTest, ExtensionIsReplacedFromTheLastDotOfTheName)
{
    EXPECT_EQ(ui::ReplaceExtension("/a/photo.bmp", ".jpg"), "/a/photo.jpg");
    EXPECT_EQ(ui::ReplaceExtension("/a/my.photo", ".png"), "/a/my.png");
    EXPECT_EQ(ui::ReplaceExtension("/a.b/name", ".png"), "/a.b/name.png");
    EXPECT_EQ(ui::ReplaceExtension("/a/x.y.z", ".jpg"), "/a/x.y.jpg");
}

TEST_F(ExportTest, NoDialogWithoutDocumentWindow)
{
    ClickWithoutDialog(Button("savejpeg"));
    ClickWithoutDialog(Button("savepng"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ExportTest, AnEmptyDocumentIsRefusedAndNothingIsWritten)
{
    OpenPicture();
    Click(Button("SBundo")); // back to the empty raster the window started with
    ASSERT_EQ(Active()->Model().Picture().Width(), 0);
    const QString old = WriteBytes("src.jpg", "old contents");
    form_->SaveDialog().SetFileName(old);
    ClickWithoutDialog(Button("savejpeg"));
    ClickWithoutDialog(Button("savepng"));
    ASSERT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(boxes_[0].text, "保存する画像がありません");
    EXPECT_EQ(ReadAll(old), "old contents");
    EXPECT_EQ(QDir(Path("")).entryList(QDir::Files | QDir::Hidden), QStringList({"src.bmp", "src.jpg"}));
}

TEST_F(ExportTest, PanelSitsUnderTheStandardControlsAndFollowsTheWidth)
{
    OpenPicture();
    QRect hosts[3], frames[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Drive(Button("savejpeg"), QString(), [&](ui::TPanelSaveDialog& d) {
            const int bx = d.BaseUnitX(), by = d.BaseUnitY();
            EXPECT_EQ(d.windowTitle(), "JPEG形式で保存");
            EXPECT_TRUE(Panel().isVisible());
            EXPECT_TRUE(Panel().TrackBar1->isVisible());
            EXPECT_EQ(Panel().parentWidget(), d.BottomHost());
            const QRect host = d.BottomHost()->geometry();
            EXPECT_EQ(host.x(), bx);
            EXPECT_EQ(host.y() + host.height() + by / 2, d.height());
            EXPECT_EQ(host.width(), d.width() - 2 * bx);
            EXPECT_GE(host.y(), d.ControlsRect().bottom());
            hosts[i] = host;
            frames[i] = d.geometry();
            EXPECT_TRUE(d.screen()->availableGeometry().contains(frames[i]));
            d.resize(d.width() + 120, d.height() + 30);
            EXPECT_EQ(Panel().width(), d.width() - 2 * bx);
            EXPECT_EQ(d.BottomHost()->y() + 65 + by / 2, d.height());
            EXPECT_THROW(d.SetRightControl(&Panel()), Exception);
            // Never so small that the panel's controls are cut off.
            d.resize(1, 1);
            const QRect box(Panel().CBProgressive->mapTo(&d, QPoint(0, 0)), Panel().CBProgressive->size());
            EXPECT_TRUE(d.rect().contains(box)) << d.width() << " x " << d.height();
            EXPECT_TRUE(Panel().rect().contains(Panel().CBProgressive->geometry()));
        }));
        // Cancelled: the panel is back, hidden and without a parent.
        EXPECT_FALSE(Panel().isVisible());
        EXPECT_EQ(Panel().parent(), nullptr);
    }
    // The same place every time. A window manager may put a window it maps again a frame's
    // width off where it asked; it does not move on with every opening.
    EXPECT_EQ(hosts[0], hosts[2]);
    const int slack = QGuiApplication::platformName() == "xcb" ? 25 : 0;
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(frames[i].size(), frames[0].size());
        EXPECT_LE((frames[i].topLeft() - frames[0].topLeft()).manhattanLength(), slack) << "opening " << i + 1;
    }
}

TEST_F(ExportTest, ExchangingControlsMovesThemBetweenSides)
{
    ui::TPanelOpenDialog dialog;
    // The controls the panel is placed by are found by the file dialog's own names.
    for (const char* name : ui::StandardControlNames)
        EXPECT_NE(dialog.findChild<QWidget*>(name), nullptr) << name;
    QLabel control;
    dialog.SetRightControl(&control);
    dialog.SetBottomControl(&control);
    EXPECT_EQ(dialog.RightControl(), nullptr);
    EXPECT_EQ(dialog.BottomControl(), &control);
}

TEST_F(ExportTest, JpegQualityAndProgressiveReachTheEncoder)
{
    OpenPicture();
    struct Case {
        int quality;
        bool progressive;
    };
    // The second time over the file the first one wrote.
    for (const Case c : {Case{1, false}, Case{100, true}}) {
        Panel().TrackBar1->setValue(c.quality);
        EXPECT_EQ(Panel().Label2->text(), QString::number(c.quality) + " %");
        Panel().CBProgressive->setChecked(c.progressive);
        ASSERT_TRUE(Drive(Button("savejpeg"), Path(c.progressive ? "photo.jpg" : "photo.bmp")));
        const QByteArray written = ReadAll(Path("photo.jpg"));
        ASSERT_FALSE(written.isEmpty());
        EXPECT_FALSE(QFile::exists(Path("photo.bmp")));

        TJPEGImage expected;
        expected.Assign(Active()->Model().Picture());
        expected.SetQuality(c.quality);
        expected.SetProgressive(c.progressive);
        TMemoryStream bytes;
        expected.SaveToStream(bytes);
        EXPECT_EQ(written, QByteArray(reinterpret_cast<const char*>(bytes.Memory()), bytes.Size()))
            << "quality " << c.quality;
        EXPECT_EQ(written.contains("\xFF\xC2"), c.progressive);
    }
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ExportTest, PngSharesTheLastNameAndTheInterlaceBox)
{
    OpenPicture();
    Panel().CBProgressive->setChecked(true);
    ASSERT_TRUE(Drive(Button("savejpeg"), Path("a")));
    EXPECT_TRUE(QFile::exists(Path("a.jpg")));

    ASSERT_TRUE(Drive(Button("savepng"), Path("my.photo"), [&](ui::TPanelSaveDialog& d) {
        EXPECT_EQ(d.windowTitle(), "PNG形式で保存");
        EXPECT_FALSE(Panel().TrackBar1->isVisible());
        EXPECT_TRUE(Panel().CBProgressive->isVisible());
        EXPECT_FALSE(Panel().CBGrayS->isVisible());
    }));
    EXPECT_EQ(QFileInfo(proposed_).fileName(), "a.jpg");
    const QByteArray png = ReadAll(Path("my.png"));
    for (const TCaughtBox& box : boxes_)
        ADD_FAILURE() << box.text.toStdString();
    ASSERT_GT(png.size(), 29);
    EXPECT_TRUE(png.startsWith("\x89PNG"));
    EXPECT_EQ(png[28], 1) << "interlace method";
    EXPECT_EQ(form_->SaveDialog().FileName(), Path("my.png"));
}

TEST_F(ExportTest, FailedSaveShowsTheMessageAndLeavesNothingBehind)
{
    OpenPicture();
    ASSERT_TRUE(Drive(Button("savejpeg"), Path("missing/photo")));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "ファイル " + Path("missing/photo.jpg") + " を作成できません");

    // The final name is taken by a folder: the rename fails, the folder and its file stay,
    // and no temporary file is left beside it.
    ASSERT_TRUE(QDir(Path("")).mkpath("taken.png"));
    const QString inside = WriteBytes("taken.png/old", "old contents");
    ASSERT_TRUE(Drive(Button("savepng"), Path("taken.x")));
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(ReadAll(inside), "old contents");
    const QStringList left = QDir(Path("")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList({"src.bmp"}));
}

} // namespace gz::test
