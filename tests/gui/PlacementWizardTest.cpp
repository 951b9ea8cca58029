// The placement wizard: its preview and thumbnail, the snapping click, the typed position,
// the ways out of the modal form, and a custom join through the main window.

#include "GuiFixture.h"

#include "support/Rasters.h"
#include "workspace/PlacementWizard.h"
#include "workspace/SpeedButton.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <climits>
#include <functional>
#include <tuple>

namespace gz::test {
namespace {

using ui::PlacementCancelled;
using ui::TForm3;

TColor Red(int, int) { return RGBColor(255, 0, 0); }
TColor Blue(int, int) { return RGBColor(0, 0, 255); }
TColor Black(int, int) { return clBlack; }

class WizardTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        wizard_ = std::make_unique<TForm3>();
        form_->SetPlacementRequest(wizard_.get());
    }
    void TearDown() override
    {
        form_->SetPlacementRequest(nullptr);
        wizard_.reset();
        GuiTest::TearDown();
    }

    // Runs the wizard modally for base and piece; act works on the shown form.
    TPlacement Run(const TBitmap& base, const TBitmap& piece, const std::function<void(TForm3&)>& act)
    {
        TImageDocument document;
        document.workBmp.Assign(base);
        TABitmap placed;
        placed.Assign(piece);
        bool acted = false;
        QTimer::singleShot(0, wizard_.get(), [&] {
            ASSERT_TRUE(QTest::qWaitFor([&] { return wizard_->isVisible(); }));
            acted = true;
            act(*wizard_);
        });
        const TPlacement result = wizard_->RunPlacementWizard(document, placed);
        EXPECT_TRUE(acted);
        EXPECT_FALSE(wizard_->isVisible());
        return result;
    }

    std::unique_ptr<TForm3> wizard_;
};

struct TReduction {
    int baseW, baseH, pieceW, pieceH;
    int divisor;        // base pixels per preview pixel
    int shownW, shownH; // the reduced base in the preview
    int thumbW, thumbH; // the reduced piece in the thumbnail
};

class ReductionTest : public WizardTest, public ::testing::WithParamInterface<TReduction> {};

TEST_P(ReductionTest, ShowsBaseAndPieceReducedOnWhite)
{
    const TReduction r = GetParam();
    wizard_->Prepare(MakeBitmap(r.baseW, r.baseH, Red), MakeBitmap(r.pieceW, r.pieceH, Blue));
    EXPECT_EQ(wizard_->ScaleDivisor, r.divisor);
    EXPECT_EQ(wizard_->Label4->text(), QStringLiteral("サイズ　( %1, %2 )").arg(r.baseW).arg(r.baseH));
    EXPECT_EQ(wizard_->Label1->text(), QStringLiteral("サイズ　( %1, %2 )").arg(r.pieceW).arg(r.pieceH));
    EXPECT_EQ(wizard_->Ex->text(), "0");
    EXPECT_EQ(wizard_->Ey->text(), "0");

    const auto extent = [](const TBitmap& b, TColor c) {
        int w = 0, h = 0;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                if (b.Pixel(x, y) == c)
                    w = std::max(w, x + 1), h = std::max(h, y + 1);
                else
                    EXPECT_EQ(b.Pixel(x, y), clWhite) << x << "," << y;
        return std::pair(w, h);
    };
    ASSERT_EQ(wizard_->PreviewBitmap.Width(), 400);
    EXPECT_EQ(extent(wizard_->PreviewBitmap, RGBColor(255, 0, 0)), std::pair(r.shownW, r.shownH));
    ASSERT_EQ(wizard_->Thumbnail.Width(), 200);
    EXPECT_EQ(extent(wizard_->Thumbnail, RGBColor(0, 0, 255)), std::pair(r.thumbW, r.thumbH));
    EXPECT_EQ(wizard_->Image1->pixmap().size(), QSize(200, 200));
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReductionTest,
                         ::testing::Values(TReduction{300, 100, 100, 80, 1, 300, 100, 100, 80},
                                           TReduction{1000, 500, 150, 150, 3, 333, 166, 150, 150},
                                           TReduction{400, 399, 200, 200, 2, 200, 199, 100, 100},
                                           TReduction{5, 2000, 1, 601, 6, 0, 0, 0, 0}));

struct TClick {
    int baseW, baseH, pieceW, pieceH;
    int x, y;           // in preview pixels
    int placeX, placeY; // in base pixels
};

class ClickTest : public WizardTest, public ::testing::WithParamInterface<TClick> {};

TEST_P(ClickTest, SnapsTheCornerToHalfThePieceSize)
{
    const TClick c = GetParam();
    wizard_->Prepare(MakeBitmap(c.baseW, c.baseH, Red), MakeBitmap(c.pieceW, c.pieceH, Blue));
    // Any button; sent directly, as QTest takes (0, 0) for the widget's centre.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(c.x, c.y), QPointF(c.x, c.y), Qt::RightButton,
                      Qt::RightButton, {});
    QApplication::sendEvent(wizard_->PaintBox1, &press);
    EXPECT_EQ(wizard_->PlaceX, c.placeX);
    EXPECT_EQ(wizard_->PlaceY, c.placeY);
    EXPECT_EQ(wizard_->Ex->text(), QString::number(c.placeX));
    EXPECT_EQ(wizard_->Ey->text(), QString::number(c.placeY));
    const TRect expected{c.placeX, c.placeY, c.placeX + c.pieceW, c.placeY + c.pieceH};
    EXPECT_EQ(wizard_->PlacedRect(), expected);
}

INSTANTIATE_TEST_SUITE_P(Grid, ClickTest,
                         ::testing::Values(TClick{300, 100, 100, 80, 130, 50, 100, 40},
                                           TClick{1000, 500, 100, 80, 0, 0, 0, 0},
                                           TClick{1000, 500, 100, 80, 50, 20, 150, 40},
                                           TClick{1000, 500, 101, 81, 399, 399, 1150, 1160},
                                           // a piece one pixel across: that direction does not snap
                                           TClick{300, 100, 1, 80, 130, 50, 130, 40},
                                           TClick{300, 100, 80, 1, 130, 50, 120, 50}));

TEST_F(WizardTest, PaintsTheBaseEdgesAndTheDottedPieceOutline)
{
    wizard_->Prepare(MakeBitmap(300, 100, Black), MakeBitmap(100, 80, Blue));
    wizard_->PaintBox1MouseDown(130, 50); // piece at (100, 40) .. (200, 120)
    const TBitmap shown = wizard_->PaintBoxImage();

    for (int y = 0; y < 100; ++y)
        EXPECT_EQ(shown.Pixel(300, y), clBlack) << y;
    for (int x = 1; x <= 300; ++x)
        EXPECT_EQ(shown.Pixel(x, 100), clBlack) << x;
    // Black dots on white gaps all round, visible on the black base as well.
    int dots = 0, gaps = 0;
    for (int x = 100; x < 200; ++x) {
        const TColor top = shown.Pixel(x, 40), bottom = shown.Pixel(x, 120);
        ASSERT_TRUE(top == clBlack || top == clWhite) << x;
        EXPECT_NE(bottom, RGBColor(255, 0, 0));
        (top == clBlack ? dots : gaps) += 1;
    }
    EXPECT_EQ(dots, 50);
    EXPECT_EQ(gaps, 50);
    for (int y = 40; y < 120; ++y)
        EXPECT_TRUE(shown.Pixel(200, y) == clBlack || shown.Pixel(200, y) == clWhite) << y;
    EXPECT_EQ(shown.Pixel(150, 60), clBlack); // the base inside the outline is untouched
    EXPECT_EQ(shown.Pixel(250, 110), clWhite);
}

TEST_F(WizardTest, TypedPositionIsTakenAsItIsOrAsZero)
{
    wizard_->Prepare(MakeBitmap(300, 100, Red), MakeBitmap(100, 80, Blue));
    const auto update = [&](const QString& x, const QString& y) {
        wizard_->Ex->setText(x);
        wizard_->Ey->setText(y);
        wizard_->Button3->click();
        return std::pair(wizard_->PlaceX, wizard_->PlaceY);
    };
    EXPECT_EQ(update("-20", "20"), std::pair(-20, 20));
    // The outline runs from x = -20 (off the preview) to 80 over the base.
    const TBitmap shown = wizard_->PaintBoxImage();
    for (int x = 0; x < 80; ++x)
        EXPECT_NE(shown.Pixel(x, 20), RGBColor(255, 0, 0)) << x;
    EXPECT_NE(shown.Pixel(80, 50), RGBColor(255, 0, 0));
    EXPECT_EQ(shown.Pixel(81, 50), RGBColor(255, 0, 0));
    EXPECT_EQ(update("abc", "1.5"), std::pair(0, 0));
    EXPECT_EQ(update("2147483648", " 7"), std::pair(0, 7));
    // Positions far off the base paint at once and keep the rectangle within range.
    EXPECT_EQ(update("2147483647", "-2147483648"), std::pair(INT_MAX, INT_MIN));
    wizard_->PaintBoxImage();
    EXPECT_EQ(wizard_->PlacedRect(), (TRect{INT_MAX, INT_MIN, INT_MAX, INT_MIN + 80}));
}

TEST_F(WizardTest, PointerPositionIsShownInPreviewPixels)
{
    wizard_->Prepare(MakeBitmap(1000, 500, Red), MakeBitmap(10, 10, Blue));
    QMouseEvent move(QEvent::MouseMove, QPointF(37, 12), QPointF(37, 12), Qt::NoButton, {}, {});
    QApplication::sendEvent(wizard_->PaintBox1, &move);
    EXPECT_EQ(wizard_->Label5->text(), "37 , 12");
}

TEST_F(WizardTest, WaysOutOfTheForm)
{
    const TBitmap base = MakeBitmap(300, 100, Red), piece = MakeBitmap(100, 80, Blue);
    const auto clickThenType = [](TForm3& w) {
        QTest::mouseClick(w.PaintBox1, Qt::LeftButton, {}, QPoint(130, 50));
        w.Ex->setText("7");
        w.Ey->setText("9");
        w.Ex->setFocus();
    };

    // Enter presses 配置, which reads the edits.
    TPlacement p = Run(base, piece, [&](TForm3& w) {
        clickThenType(w);
        QTest::keyClick(w.Ex, Qt::Key_Return);
    });
    EXPECT_EQ(p.Rect, (TRect{7, 9, 107, 89}));
    EXPECT_EQ(p.Opacity, 255);

    // Esc cancels whatever the edits hold.
    p = Run(base, piece, [&](TForm3& w) {
        clickThenType(w);
        QTest::keyClick(w.Ex, Qt::Key_Escape);
    });
    EXPECT_EQ(p.Rect.Left, PlacementCancelled);
    EXPECT_EQ(wizard_->Ex->text(), "-32768");

    // The close box keeps the last click; text typed since is ignored.
    p = Run(base, piece, [&](TForm3& w) {
        clickThenType(w);
        w.close();
    });
    EXPECT_EQ(p.Rect, (TRect{100, 40, 200, 120}));

    // A fresh run starts again from 0, 0; a second request while the form is open is cancelled
    // and leaves the first one as it was.
    p = Run(base, piece, [&](TForm3& w) {
        TImageDocument other;
        other.workBmp.Assign(MakeBitmap(50, 50, Blue));
        TABitmap small;
        small.Assign(MakeBitmap(10, 10, Red));
        EXPECT_EQ(w.RunPlacementWizard(other, small).Rect.Left, PlacementCancelled);
        EXPECT_EQ(w.BaseWidth, 300);
        Click(w.Button1);
    });
    EXPECT_EQ(p.Rect, (TRect{0, 0, 100, 80}));
}

TEST_F(WizardTest, CustomJoinThroughTheMainWindow)
{
    form_->LoadAndJoin(WriteBmp("base.bmp", MakeBitmap(300, 100, Red)));
    ui::TForm2* window = Active();
    ASSERT_NE(window, nullptr);
    Click(Button("SBRight"));
    Click(Button("SBautoFit")); // keep the canvas size
    Click(Button("SpeedButton1"));
    ASSERT_EQ(window->Model().JoinPos(), jpCustom);

    const QString piece = WriteBmp("piece.bmp", MakeBitmap(100, 80, Blue));
    QTimer::singleShot(0, wizard_.get(), [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return wizard_->isVisible(); }));
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::ArrowCursor); // not the join's hourglass
        QTest::mouseClick(wizard_->PaintBox1, Qt::LeftButton, {}, QPoint(130, 50));
        Click(wizard_->Button1);
    });
    form_->LoadAndJoin(piece);

    const TABitmap& joined = window->Model().Picture();
    ASSERT_EQ(joined.Width(), 300);
    ASSERT_EQ(joined.Height(), 100);
    // Drawn at opacity 255: a bright byte over a darker one loses one level.
    const TColor placed = RGBColor(0, 0, 254);
    for (const auto& [x, y, c] : {std::tuple{99, 40, RGBColor(255, 0, 0)}, {100, 40, placed},
                                  {199, 99, placed}, {200, 99, RGBColor(255, 0, 0)},
                                  {150, 39, RGBColor(255, 0, 0)}})
        EXPECT_EQ(joined.Pixel(x, y), c) << x << "," << y;

    // Cancelling leaves the picture as it was.
    QTimer::singleShot(0, wizard_.get(), [&] {
        ASSERT_TRUE(QTest::qWaitFor([&] { return wizard_->isVisible(); }));
        Click(wizard_->Button2);
    });
    form_->LoadAndJoin(WriteBmp("other.bmp", MakeBitmap(10, 10, Black)));
    EXPECT_EQ(window->Model().Picture().Pixel(0, 0), RGBColor(255, 0, 0));
    EXPECT_TRUE(boxes_.empty());
}

} // namespace
} // namespace gz::test
