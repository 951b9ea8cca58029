// The export commands driven through the real save dialog with its option panel.

#include "GuiFixture.h"

#include "jpeg/JPEGImage.h"
#include "platform/Streams.h"
#include "support/Rasters.h"
#include "workspace/ExportCommands.h"
#include "workspace/PanelDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QSlider>
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
        form_->LoadAndJoin(WriteBmp("src.bmp", MakeBitmap(40, 30, Gradient)));
        ASSERT_NE(Active(), nullptr);
    }

    // Runs command; once the dialog shows, look(dialog) runs and then the dialog takes name
    // (or is cancelled for an empty name). Returns whether the dialog showed.
    bool Drive(void (ui::TForm1::*command)(), const QString& name,
               const std::function<void(ui::TPanelSaveDialog&)>& look = {})
    {
        ui::TPanelSaveDialog* dialog = form_->SavePictureDialog1;
        bool shown = false;
        // Late enough for the folder listing to settle, as for a person typing the name.
        QTimer::singleShot(150, dialog, [&, dialog] {
            if (!dialog->isVisible())
                return;
            shown = true;
            proposed_ = dialog->selectedFiles().value(0);
            if (look)
                look(*dialog);
            if (name.isEmpty()) {
                dialog->reject();
            } else {
                // A typed name replaces whatever the listing has selected.
                for (const char* list : {"listView", "treeView"})
                    if (auto* view = dialog->findChild<QAbstractItemView*>(list))
                        view->clearSelection();
                if (auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit"))
                    edit->setText(name);
                static_cast<QDialog*>(dialog)->accept();
                if (dialog->isVisible()) {
                    ADD_FAILURE() << "the dialog refused " << name.toStdString();
                    dialog->reject();
                }
            }
        });
        (form_.get()->*command)();
        QCoreApplication::processEvents();
        return shown;
    }

    ui::TExportPanel& Panel() { return *form_->Panel2; }
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
    EXPECT_FALSE(Drive(&ui::TForm1::savejpegClick, Path("x.jpg")));
    EXPECT_FALSE(Drive(&ui::TForm1::savepngClick, Path("x.png")));
    EXPECT_FALSE(QFile::exists(Path("x.jpg")));
}

TEST_F(ExportTest, PanelSitsUnderTheStandardControlsAndFollowsTheWidth)
{
    OpenPicture();
    QRect first, second;
    for (QRect* seen : {&first, &second}) {
        ASSERT_TRUE(Drive(&ui::TForm1::savejpegClick, QString(), [&](ui::TPanelSaveDialog& d) {
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
            *seen = host;
            d.resize(d.width() + 120, d.height() + 30);
            EXPECT_EQ(Panel().width(), d.width() - 2 * bx);
            EXPECT_EQ(d.BottomHost()->y() + 65 + by / 2, d.height());
            EXPECT_THROW(d.SetRightControl(&Panel()), Exception);
        }));
        // Cancelled: the panel is back, hidden and without a parent.
        EXPECT_FALSE(Panel().isVisible());
        EXPECT_EQ(Panel().parent(), nullptr);
    }
    EXPECT_EQ(first, second);
}

TEST_F(ExportTest, ExchangingControlsMovesThemBetweenSides)
{
    ui::TPanelOpenDialog dialog;
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
    for (const Case c : {Case{1, false}, Case{100, true}}) {
        Panel().TrackBar1->setValue(c.quality);
        EXPECT_EQ(Panel().Label2->text(), QString::number(c.quality) + " %");
        Panel().CBProgressive->setChecked(c.progressive);
        ASSERT_TRUE(Drive(&ui::TForm1::savejpegClick, Path("photo.bmp")));
        const QByteArray written = ReadAll(Path("photo.jpg"));
        ASSERT_FALSE(written.isEmpty());
        EXPECT_FALSE(QFile::exists(Path("photo.bmp")));

        TJPEGImage expected;
        expected.Assign(Active()->Document().workBmp);
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
    ASSERT_TRUE(Drive(&ui::TForm1::savejpegClick, Path("a")));
    EXPECT_TRUE(QFile::exists(Path("a.jpg")));

    ASSERT_TRUE(Drive(&ui::TForm1::savepngClick, Path("my.photo"), [&](ui::TPanelSaveDialog& d) {
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
    EXPECT_EQ(form_->SavePictureDialog1->FileName(), Path("my.png"));
}

TEST_F(ExportTest, FailedSaveShowsTheMessageAndLeavesNothingBehind)
{
    OpenPicture();
    ASSERT_TRUE(Drive(&ui::TForm1::savejpegClick, Path("missing/photo")));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "ファイル " + Path("missing/photo.jpg") + " を作成できません");

    // The final name is taken by a folder: the rename fails, the folder and its file stay,
    // and no temporary file is left beside it.
    ASSERT_TRUE(QDir(Path("")).mkpath("taken.png"));
    const QString inside = WriteBytes("taken.png/old", "old contents");
    ASSERT_TRUE(Drive(&ui::TForm1::savepngClick, Path("taken.x")));
    EXPECT_EQ(boxes_.size(), 2u);
    EXPECT_EQ(ReadAll(inside), "old contents");
    const QStringList left = QDir(Path("")).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList({"src.bmp"}));
}

} // namespace gz::test
