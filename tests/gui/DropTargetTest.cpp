// Files dropped from the desktop: real drag and drop events sent to the widgets of the main
// window and of plain test windows, as the window system delivers them.

#include "GuiFixture.h"

#include "shell/DropTarget.h"
#include "support/Rasters.h"
#include "workspace/ScrollBox.h"

#include "platform/Exceptions.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QUrl>

namespace gz::test {
namespace {

using ui::TDropDst;

TColor Red(int, int) { return RGBColor(255, 0, 0); }
TColor Blue(int, int) { return RGBColor(0, 0, 255); }

// What reaches a drop target's handler.
struct TDropRecord {
    int count = 0;
    QStringList files;
    QPoint at;

    void Listen(TDropDst& target)
    {
        target.OnFileDrop = [this, &target](TDropDst* sender, const QStringList& f, int x, int y) {
            EXPECT_EQ(sender, &target);
            ++count, files = f, at = {x, y};
        };
    }
};

// Reaches QWidget::destroy and QWidget::create, which take and give the native window.
struct TNativeWindow : QWidget {
    static void Recreate(QWidget* widget)
    {
        (widget->*&TNativeWindow::destroy)(true, true);
        (widget->*&TNativeWindow::create)(0, true, true);
    }
};

using DropTest = GuiTest;

TEST_F(DropTest, EveryPartOfTheMainWindowHandsItsDropsToDropDst1)
{
    form_->LoadAndJoin(WriteBmp("base.bmp", MakeBitmap(40, 30, Red)));
    ui::TForm2* doc = Active();
    for (QWidget* w : form_->findChildren<QWidget*>()) {
        if (w->window() == form_.get()) {
            EXPECT_FALSE(w->acceptDrops()) << w->metaObject()->className() << " takes drops itself";
        }
    }

    TDropRecord record;
    record.Listen(*Named<ui::TDropDst>("DropDst1"));
    const QStringList files{Path("c.bmp"), Path("a.bmp"), Path("b b.bmp")};
    for (QWidget* spot : {static_cast<QWidget*>(form_.get()), Named("Panel1"), Named<QMdiArea>("MDIArea")->viewport(),
                          static_cast<QWidget*>(doc), doc->ScrollBox1()->viewport(), doc->PaintBox1(),
                          static_cast<QWidget*>(form_->statusBar())}) {
        SCOPED_TRACE(spot->metaObject()->className());
        record = {};
        ASSERT_TRUE(DropFiles(spot, files, {7, 9}));
        EXPECT_EQ(record.count, 1);
        EXPECT_EQ(record.files, files); // the drop's order, not sorted
        EXPECT_EQ(record.at, spot->mapTo(form_.get(), QPoint(7, 9)));
    }
}

TEST_F(DropTest, OnlyTheFirstDroppedFileIsJoined)
{
    const QString a = WriteBmp("a.bmp", MakeBitmap(3, 3, Red));
    ASSERT_TRUE(DropFiles(form_.get(), {a}));
    ASSERT_EQ(form_->Forms2().size(), 1);
    EXPECT_EQ(Active()->windowTitle(), Caption(1, "a.bmp"));

    Active()->Model().SetJoinDir(jdDown);
    ASSERT_TRUE(DropFiles(Active()->ScrollBox1()->viewport(), {WriteBmp("c.bmp", MakeBitmap(5, 4, Blue)), a, a}));
    ASSERT_EQ(form_->Forms2().size(), 1);
    EXPECT_EQ(Active()->Model().Picture().Height(), 7);
    EXPECT_EQ(Active()->Model().Picture().Pixel(0, 6), RGBColor(0, 0, 255));
    EXPECT_TRUE(boxes_.empty());
}

struct TDropCase {
    const char* what;
    const char* name;
    bool folder;
    const char* boxText; // nullptr: nothing happens
};

class DropFailureTest : public GuiTest, public ::testing::WithParamInterface<TDropCase> {};

TEST_P(DropFailureTest, TheWindowKeepsWorking)
{
    const TDropCase& c = GetParam();
    const QString path = c.folder ? Path(c.name) : WriteBytes(c.name, "not a picture at all");
    if (c.folder) {
        ASSERT_TRUE(QDir().mkpath(path));
    }
    EXPECT_TRUE(DropFiles(form_.get(), {path}));
    EXPECT_TRUE(form_->Forms2().isEmpty());
    ASSERT_EQ(boxes_.size(), c.boxText ? 1u : 0u);
    if (c.boxText) {
        EXPECT_EQ(boxes_[0].caption, "Gazorin");
        EXPECT_TRUE(boxes_[0].text.contains(QString::fromUtf8(c.boxText))) << boxes_[0].text.toStdString();
    }
    ASSERT_TRUE(DropFiles(Named("Panel1"), {WriteBmp("good.bmp", MakeBitmap(2, 2, Red))}));
    EXPECT_EQ(form_->Forms2().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Drops, DropFailureTest,
                         ::testing::Values(TDropCase{"NoExtension", "README", false, nullptr},
                                           TDropCase{"DotAlone", "name.", false, nullptr},
                                           TDropCase{"FolderWithoutDot", "pictures", true, nullptr},
                                           TDropCase{"FolderWithDot", "pictures.d", true,
                                                     "拡張子 .d の画像形式は処理できません"},
                                           TDropCase{"BrokenPng", "broken.png", false, ""}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(DropTest, DropsStillArriveAfterTheNativeWindowWasRecreated)
{
    TDropRecord record;
    record.Listen(*Named<ui::TDropDst>("DropDst1"));
    ASSERT_NE(form_->winId(), 0u);
    const auto rehooked = [&] { return Named<ui::TDropDst>("DropDst1")->HookedWindow() == form_.get(); };

    TNativeWindow::Recreate(form_.get());
    EXPECT_FALSE(rehooked()) << "detached until the posted rehook";
    EXPECT_TRUE(QTest::qWaitFor(rehooked));
    ASSERT_TRUE(DropFiles(Named("Panel1"), {Path("x.png")}));

    // Turning the window into a tool window needs a new native window as well.
    form_->setWindowFlags(form_->windowFlags() | Qt::Tool);
    EXPECT_FALSE(rehooked());
    form_->show();
    EXPECT_TRUE(QTest::qWaitFor(rehooked));
    EXPECT_TRUE(form_->acceptDrops());
    ASSERT_TRUE(DropFiles(Named<QMdiArea>("MDIArea")->viewport(), {Path("y.png")}));
    EXPECT_EQ(record.count, 2);
    EXPECT_EQ(record.files, QStringList{Path("y.png")});
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DropTest, UriListsFromFileManagersGiveLocalPathsOnly)
{
    QMimeData data;
    data.setData("text/uri-list", "# from a file manager\r\nfile:///tmp/a%20b.jpg\r\n"
                                  "https://example.org/c.png\r\nfile:///tmp/%E5%86%99%E7%9C%9F.png\r\n");
    EXPECT_EQ(TDropDst::DroppedFiles(&data), (QStringList{"/tmp/a b.jpg", QString::fromUtf8("/tmp/写真.png")}));

    QMimeData web;
    web.setUrls({QUrl("https://example.org/c.png")});
    web.setText("https://example.org/c.png");
    EXPECT_FALSE(DragAndDrop(Named("Panel1"), web));
    EXPECT_TRUE(form_->Forms2().isEmpty());
}

TEST_F(DropTest, HookOnAPlainControl)
{
    QWidget window;
    auto* left = new QWidget(&window);
    auto* right = new QWidget(&window);
    auto* inner = new QWidget(right);
    right->move(50, 0);
    window.show();

    TDropDst target(&window);
    TDropRecord record;
    record.Listen(target);
    target.SetControl(left);
    EXPECT_TRUE(left->acceptDrops());
    EXPECT_FALSE(DropFiles(right, {Path("a.png")})) << "only the control takes drops";

    target.SetControl(right); // a new control is registered for drops as well
    EXPECT_TRUE(DropFiles(inner, {Path("a.png")}, {3, 4}));
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(record.at, QPoint(3, 4));

    target.SetAcceptDrop(false);
    EXPECT_FALSE(right->acceptDrops());
    EXPECT_FALSE(DropFiles(inner, {Path("a.png")}));
    target.SetAcceptDrop(true);

    // A throwing handler: the error box shows, the drop is still taken, the next one arrives.
    target.OnFileDrop = [](TDropDst*, const QStringList&, int, int) { throw EInvalidGraphic("bad picture"); };
    EXPECT_TRUE(DropFiles(right, {Path("a.png")}));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "bad picture");
    target.OnFileDrop = nullptr;
    EXPECT_TRUE(DropFiles(right, {Path("a.png")}));

    delete right;
    EXPECT_EQ(target.Control(), nullptr);
    EXPECT_EQ(target.HookedWindow(), nullptr);
}

TEST_F(DropTest, HtFormNeedsAFormInTheOwnerChain)
{
    QObject owner;
    TDropDst target(&owner);
    try {
        target.SetTarget(ui::htForm);
        FAIL() << "no exception";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "フック先を特定できません。");
    }
    EXPECT_EQ(target.HookedWindow(), nullptr);

    // A control's window is its form; when that window is closed for good, nothing is left to
    // re-attach to and nothing is reported.
    auto* window = new QWidget;
    target.SetControl(new QWidget(window));
    EXPECT_EQ(target.HookedWindow(), window);
    window->show();
    delete window;
    QCoreApplication::processEvents();
    EXPECT_EQ(target.HookedWindow(), nullptr);
    EXPECT_TRUE(boxes_.empty());
}

// A whole drag through the X window system's drag and drop protocol, from a source window of
// this program onto the main window's document area.
TEST_F(DropTest, DragThroughTheWindowSystem)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs an X server (QT_QPA_PLATFORM=xcb)";
    QWidget source;
    source.setGeometry(0, 0, 60, 60);
    source.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&source));

    TDropRecord record;
    record.Listen(*Named<ui::TDropDst>("DropDst1"));
    QWidget* spot = Named<QMdiArea>("MDIArea")->viewport();
    const QPoint over = spot->mapTo(form_.get(), QPoint(20, 30));
    QTimer::singleShot(0, [&] {
        QWindow* target = form_->windowHandle();
        for (int i = 0; i < 5; ++i)
            QTest::mouseMove(target, over + QPoint(i, 0));
        QTest::mouseRelease(target, Qt::LeftButton, {}, over + QPoint(4, 0));
    });
    auto* drag = new QDrag(&source); // deleted by the drag and drop machinery when done
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(Path("one.png")), QUrl::fromLocalFile(Path("two.png"))});
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    EXPECT_EQ(action, Qt::CopyAction);
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(record.files, (QStringList{Path("one.png"), Path("two.png")}));
    EXPECT_EQ(record.at, over + QPoint(4, 0));
}

} // namespace
} // namespace gz::test
