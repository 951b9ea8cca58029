// What a person does from start to end, each flow through the program's own windows: files
// opened by typing their names, settings chosen on the panel and in the menus, the zoom typed
// and wheeled, undo, copy and paste with the keys, and exports through the save dialog whose
// files are opened again.

#include "GuiFixture.h"

#include "join/JoinEngine.h"
#include "support/Rasters.h"
#include "workspace/ExportCommands.h"
#include "workspace/PanelDialog.h"
#include "workspace/ScrollBox.h"
#include "workspace/SpeedButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>

#include <cstdlib>

namespace gz::test {
namespace {

using ui::TForm2;

// What the document should hold: the same joins made directly on a document of its own.
struct TExpected {
    TImageDocument document;
    void Join(const TBitmap& picture, TJoinDir dir, TJoinPos pos, int flips)
    {
        document.joinDir = dir, document.joinPos = pos, document.flips = flips;
        ASSERT_TRUE(JoinPicture(document, picture, nullptr));
    }
};

TEST_F(GuiTest, OpenThreeFilesAndJoinThemWithDirectionsPositionsAndFlips)
{
    const TBitmap a = NoiseBitmap(40, 30, 1), b = NoiseBitmap(25, 12, 2), c = NoiseBitmap(18, 50, 3);
    ASSERT_TRUE(Open(WriteBmp("a.bmp", a)));
    TForm2* f = Active();
    ASSERT_NE(f, nullptr);

    // Below, centred, mirrored left-right: the panel's buttons.
    Click(Button("SBbottom"));
    Click(Button("SBpCenter"));
    Click(Button("SBchgLR"));
    ASSERT_TRUE(Open(WriteBmp("b.bmp", b)));
    // Right, at the end, upside-down only: the menus.
    ChooseMenu(*form_, {"モード(&M)", "連結方向(&A)", "右(&R)"});
    ChooseMenu(*form_, {"モード(&M)", "連結位置(&P)", "右(&R)"});
    ChooseMenu(*form_, {"モード(&M)", "左右反転(&H)"});
    ChooseMenu(*form_, {"モード(&M)", "上下反転(&V)"});
    ASSERT_TRUE(Open(WriteBmp("c.bmp", c)));

    EXPECT_TRUE(Down("SBRight"));
    EXPECT_TRUE(Down("SBpRight"));
    EXPECT_FALSE(Down("SBchgLR"));
    EXPECT_TRUE(Down("SBchgUB"));
    ASSERT_EQ(form_->Forms2().size(), 1);
    TExpected expected;
    expected.Join(a, jdNew, jpStart, 0);
    expected.Join(b, jdDown, jpCenter, flipLR);
    expected.Join(c, jdRight, jpEnd, flipUB);
    EXPECT_EQ(FirstDifference(f->Model().Picture(), expected.document.workBmp), "");
    EXPECT_EQ(form_->StatusText(), "幅 58 , 高さ 50");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, ZoomByTypingAndWheelThenUndoCopyAndPaste)
{
    const TBitmap a = NoiseBitmap(100, 60, 4), b = NoiseBitmap(30, 60, 5);
    ASSERT_TRUE(Open(WriteBmp("a.bmp", a)));
    TForm2* f = Active();
    Click(Button("SBRight"));
    ASSERT_TRUE(Open(WriteBmp("b.bmp", b)));
    const TBitmap joined = f->Model().Picture();
    ASSERT_EQ(joined.Width(), 130);

    QComboBox* box = Named<QComboBox>("zoombox1");
    const auto typed = [&](const QString& text) { return TypeZoom(text); };
    EXPECT_EQ(typed("50"), 50);
    EXPECT_EQ(f->ScrollBox1()->HorzRange(), 65);
    EXPECT_EQ(typed("900"), 400);
    EXPECT_EQ(typed("zoom"), 400);
    EXPECT_EQ(box->currentText(), "400");
    // Two notches toward the person over the picture, one away.
    Wheel(f->PaintBox1(), QPoint(5, 5), -2);
    EXPECT_EQ(f->Model().Zoom(), 380);
    Wheel(f->PaintBox1(), QPoint(5, 5), +1);
    EXPECT_EQ(f->Model().Zoom(), 390);
    EXPECT_EQ(box->currentText(), "390");
    EXPECT_EQ(f->ScrollBox1()->VertRange(), 234);
    // The wheel gives the keys back to the document: typing now edits nothing in the box.
    EXPECT_FALSE(box->hasFocus());

    // Undo twice: both times the picture before the join.
    Click(f->PaintBox1(), QPoint(5, 5));
    for (int i = 0; i < 2; ++i) {
        Press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(FirstDifference(f->Model().Picture(), a), "") << "undo " << i + 1;
        EXPECT_EQ(form_->StatusText(), "幅 100 , 高さ 60");
    }

    Press(Qt::Key_C, Qt::ControlModifier);
    Click(Button("SBNormal")); // the next picture opens a window of its own
    Press(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(form_->Forms2().size(), 2);
    EXPECT_EQ(Active()->windowTitle(), Caption(2, QString()));
    EXPECT_EQ(FirstDifference(Active()->Model().Picture(), a), "");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, ExportJpegAndPngTwiceEachAndOpenTheFilesAgain)
{
    const TBitmap picture = MakeBitmap(64, 48, [](int x, int y) { return RGBColor(x * 4, y * 5, (x + y) * 2); });
    ASSERT_TRUE(Open(WriteBmp("photo.bmp", picture)));
    TForm2* f = Active();
    ui::TExportPanel& panel = form_->ExportPanel();

    struct Save {
        QWidget* button;
        QString typed, written;
        bool quality;
    };
    const Save saves[] = {{Button("savejpeg"), "one.bmp", "one.jpg", true},
                          {Button("savepng"), "two", "two.png", false},
                          {Button("savejpeg"), "three.jpg", "three.jpg", true},
                          {Button("savepng"), "four.x.y", "four.x.png", false}};
    QRect firstPlace;
    for (const Save& save : saves) {
        SCOPED_TRACE(save.written.toStdString());
        bool asked = false;
        WhenActive("gz::ui::TPanelSaveDialog", [&](QWidget* w) {
            auto* dialog = static_cast<ui::TPanelSaveDialog*>(w);
            asked = true;
            if (firstPlace.isNull())
                firstPlace = dialog->geometry();
            const int slack = QGuiApplication::platformName() == "xcb" ? 25 : 0;
            EXPECT_LE((dialog->geometry().topLeft() - firstPlace.topLeft()).manhattanLength(), slack);
            EXPECT_EQ(panel.parentWidget(), dialog->BottomHost());
            EXPECT_EQ(panel.TrackBar1->isVisible(), save.quality);
            EXPECT_TRUE(panel.CBProgressive->isVisible());
            EXPECT_TRUE(dialog->rect().contains(QRect(panel.CBProgressive->mapTo(dialog, QPoint(0, 0)),
                                                      panel.CBProgressive->size())));
            if (save.quality) {
                // Quality 100 by the keyboard: the slider's End key.
                Click(panel.TrackBar1);
                Press(Qt::Key_End);
                EXPECT_EQ(panel.Label2->text(), "100 %");
            }
            Answer(dialog, Path(save.typed));
        });
        Click(save.button);
        EXPECT_TRUE(asked);
        EXPECT_TRUE(QFile::exists(Path(save.written)));
    }
    ASSERT_TRUE(boxes_.empty()) << boxes_.front().text.toStdString();

    // Each file opened again in a window of its own: PNG exactly, JPEG at quality 100 close.
    Click(Button("SBNormal"));
    for (const Save& save : saves) {
        SCOPED_TRACE(save.written.toStdString());
        ASSERT_TRUE(Open(Path(save.written)));
        ASSERT_NE(Active(), f);
        const TBitmap& reopened = Active()->Model().Picture();
        if (!save.quality) {
            EXPECT_EQ(FirstDifference(reopened, picture), "");
            continue;
        }
        ASSERT_EQ(reopened.Width(), 64);
        ASSERT_EQ(reopened.Height(), 48);
        long total = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                const TColor p = reopened.Pixel(x, y), q = picture.Pixel(x, y);
                total += std::abs(ColorRed(p) - ColorRed(q)) + std::abs(ColorGreen(p) - ColorGreen(q)) +
                         std::abs(ColorBlue(p) - ColorBlue(q));
            }
        EXPECT_LT(total / (64.0 * 48 * 3), 2.0);
    }
}

} // namespace
} // namespace gz::test
