// The document window: wheel zoom, edge clicks, status line and painting.

#include "GuiFixture.h"

#include "platform/Canvas.h"
#include "support/Rasters.h"
#include "workspace/ScrollBox.h"
#include "workspace/SpeedButton.h"
#include "workspace/ZoomedRaster.h"

#include <QApplication>
#include <QComboBox>
#include <QPointer>
#include <QWheelEvent>
#include <QMdiArea>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

namespace gz::test {
namespace {

using ui::TForm2;

TEST_F(GuiTest, WheelZoomStepsByTenWithinItsLimits)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(30, 15, [](int, int) { return clBlack; }))));
    TForm2* f = Active();
    struct Step {
        int from, notch, to;
    };
    for (const Step s : {Step{83, +1, 93}, Step{10, -1, 10}, Step{800, +1, 800}, Step{100, -1, 90}}) {
        f->Model().SetZoom(s.from);
        Wheel(f->PaintBox1(), QPoint(5, 5), s.notch);
        EXPECT_EQ(f->Model().Zoom(), s.to) << s.from << " " << s.notch;
        EXPECT_EQ(Named<QComboBox>("zoombox1")->currentText(), QString::number(s.to));
    }
    // The wheel over the picture goes the same way.
    f->Model().SetZoom(50);
    const QSize before = f->ClientSize();
    Wheel(f->PaintBox1(), QPoint(5, 5), -1);
    EXPECT_EQ(f->Model().Zoom(), 40);
    EXPECT_EQ(f->ClientSize(), before); // 12 x 6 zoomed: too small to resize the window
    EXPECT_EQ(f->ScrollBox1()->HorzRange(), 12);
    EXPECT_EQ(f->ScrollBox1()->VertRange(), 6);
}

TEST_F(GuiTest, WheelZoomSizesTheWindowToThePictureWithinTheMainWindow)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(100, 60, [](int, int) { return clBlack; }))));
    TForm2* f = Active();
    Wheel(f->PaintBox1(), QPoint(5, 5), +1); // 110 x 66
    EXPECT_EQ(f->ClientSize(), QSize(115, 71));
    Wheel(f->PaintBox1(), QPoint(5, 5), +20);
    const ui::TMainGeometry m = form_->MainGeometry();
    EXPECT_LE(f->ClientSize().height(), m.panelHeight - f->y() - 40);
    EXPECT_LE(f->ClientSize().width(), m.outerWidth - m.panelWidth - f->x() - 40);
}

TEST_F(GuiTest, RightClickNearAnEdgeChoosesTheDirection)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(300, 200, [](int, int) { return clWhite; }))));
    TForm2* f = Active();
    const QSize visible = f->PaintBox1()->size();
    struct Click {
        QPoint at;
        TJoinDir dir;
    };
    const int mid = visible.width() / 2, middle = visible.height() / 2;
    for (const Click c : {Click{{mid, 10}, jdUp}, Click{{10, 10}, jdLeft}, Click{{10, middle}, jdLeft},
                          Click{{mid, visible.height() - 10}, jdDown}, Click{{visible.width() - 10, 10}, jdRight}}) {
        f->Model().SetJoinDir(jdNew);
        QTest::mouseClick(f->PaintBox1(), Qt::RightButton, {}, c.at);
        EXPECT_EQ(f->Model().JoinDir(), c.dir) << c.at.x() << "," << c.at.y();
    }
    EXPECT_TRUE(Down("SBRight")); // the panel follows the last click

    f->Model().SetJoinDir(jdUp);
    QTest::mouseClick(f->PaintBox1(), Qt::RightButton, {}, QPoint(mid, middle));
    QTest::mouseClick(f->PaintBox1(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(f->Model().JoinDir(), jdUp);
}

TEST_F(GuiTest, EmptyWindowLeavesThePanelAloneButShowsZeroSize)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(10, 10, [](int, int) { return clBlack; }))));
    TForm2* first = Active();
    ASSERT_TRUE(Open(Path("a.bmp")));
    TForm2* f = Active();
    f->move(150, 100);
    Click(Button("SBup"));
    ChooseMenu(*form_, {"編集(&E)", "元に戻す(&U)"}); // back to the empty raster of a new window
    EXPECT_EQ(f->Model().Picture().Width(), 0);
    EXPECT_EQ(form_->StatusText(), "幅 0 , 高さ 0");
    Click(Button("SBLeft"));
    Click(first->PaintBox1(), QPoint(3, 3));
    EXPECT_TRUE(Down("SBNormal"));
    EXPECT_EQ(form_->StatusText(), "幅 10 , 高さ 10");
    Click(f->PaintBox1(), QPoint(3, 3));
    ASSERT_EQ(Active(), f);
    EXPECT_TRUE(Down("SBNormal")); // the empty window does not speak for the panel
    EXPECT_EQ(form_->StatusText(), "幅 0 , 高さ 0");
}

TEST_F(GuiTest, TheWindowThatLooksActiveIsTheTarget)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(60, 40, [](int, int) { return clBlack; }))));
    TForm2* first = Active();
    ASSERT_TRUE(Open(Path("a.bmp")));
    TForm2* second = Active();
    ASSERT_NE(second, first);
    first->move(0, 0);
    second->move(200, 150);
    QMdiArea* area = Named<QMdiArea>("MDIArea");

    Click(first->PaintBox1(), QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Active() == first; }));
    EXPECT_EQ(area->activeSubWindow(), first);

    // The empty area behind the windows: the active window stays active, in looks and as target.
    const QPoint empty(area->viewport()->width() - 10, area->viewport()->height() - 10);
    ASSERT_EQ(area->viewport()->childAt(empty), nullptr);
    Click(area->viewport(), empty);
    QCoreApplication::processEvents();
    EXPECT_EQ(area->activeSubWindow(), first);
    EXPECT_EQ(Active(), first);
}

TEST_F(GuiTest, PicturesThatFitGetNoScrollBars)
{
    struct Case {
        int width, height;
        bool horizontal, vertical;
    };
    for (const Case c : {Case{120, 10, false, false}, Case{10, 17, false, false}, Case{10, 20, false, false},
                         Case{121, 21, false, false}, Case{2000, 30, true, true}}) {
        ASSERT_TRUE(Open(WriteBmp("p.bmp", MakeBitmap(c.width, c.height, [](int, int) { return clBlack; }))));
        ui::TScrollBox* box = Active()->ScrollBox1();
        EXPECT_EQ(box->horizontalScrollBar()->isVisible(), c.horizontal) << c.width << " x " << c.height;
        EXPECT_EQ(box->verticalScrollBar()->isVisible(), c.vertical) << c.width << " x " << c.height;
    }
}

TEST_F(GuiTest, ClosingAWindowDiscardsItWithoutAQuestion)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(10, 10, [](int, int) { return clBlack; }))));
    QPointer<TForm2> f = Active();
    f->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return f.isNull(); }));
    EXPECT_TRUE(boxes_.empty());
}

// The view's nearest-neighbour sampling must agree with the platform canvas's stretched draw.
TEST(ZoomedRaster, MatchesTheCanvasStretchAtEveryZoom)
{
    const TBitmap source = NoiseBitmap(201, 101, 3);
    for (int zoom : {10, 33, 83, 100, 141, 800}) {
        const int zw = ZoomedSize(201, zoom), zh = ZoomedSize(101, zoom);
        TBitmap expected(zw, zh, pf24bit);
        expected.Canvas().StretchDrawBitmap({0, 0, zw, zh}, source);
        // A part away from the origin, as a scrolled view asks for it.
        const QRect part(zw / 3, zh / 4, zw / 2 + 1, zh / 2 + 1);
        const QImage image = ui::RenderZoomedPart(source, zw, zh, part);
        ASSERT_EQ(image.size(), part.size()) << zoom;
        for (int y = 0; y < part.height(); ++y)
            for (int x = 0; x < part.width(); ++x) {
                const TColor c = expected.Pixel(part.left() + x, part.top() + y);
                ASSERT_EQ(image.pixel(x, y), qRgb(ColorRed(c), ColorGreen(c), ColorBlue(c)))
                    << "zoom " << zoom << " at " << x << "," << y;
            }
    }
    EXPECT_TRUE(ui::RenderZoomedPart(source, 100, 50, QRect(100, 0, 10, 10)).isNull());
}

TEST_F(GuiTest, PaintsThePictureAtItsZoomAndHatchesTheRest)
{
    const TBitmap quadrants = MakeBitmap(4, 4, [](int x, int y) {
        return x < 2 ? (y < 2 ? RGBColor(255, 0, 0) : RGBColor(0, 255, 0)) : RGBColor(0, 0, 255);
    });
    ASSERT_TRUE(Open(WriteBmp("q.bmp", quadrants)));
    TForm2* f = Active();
    f->ApplyZoom(800); // 32 x 32 on screen
    f->SetClientSize(120, 60);
    const QImage shot = f->PaintBox1()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(15, 15), QColor(255, 0, 0));
    EXPECT_EQ(shot.pixelColor(15, 17), QColor(0, 255, 0));
    EXPECT_EQ(shot.pixelColor(17, 3), QColor(0, 0, 255));
    EXPECT_EQ(shot.pixelColor(31, 31), QColor(0, 0, 255));
    // Beyond the picture only the face colours of the hatch appear.
    const QColor face = f->palette().color(QPalette::Window);
    for (QPoint p : {QPoint(40, 5), QPoint(33, 33), QPoint(5, 40)}) {
        const QColor c = shot.pixelColor(p);
        EXPECT_TRUE(c.rgb() == face.rgb() || c.rgb() == face.darker(112).rgb())
            << p.x() << "," << p.y() << " " << c.name().toStdString() << " face " << face.name().toStdString();
    }
}

} // namespace
} // namespace gz::test
