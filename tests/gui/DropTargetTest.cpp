// Files dropped from the desktop: real drag and drop events sent to the widgets of the main
// window and of plain test windows, as the window system would deliver them.

#include "GuiFixture.h"

#include "shell/DropTarget.h"
#include "workspace/ScrollBox.h"

#include "platform/Exceptions.h"
#include "support/Rasters.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QMdiArea>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QUrl>

#include <memory>

namespace gz::test {
namespace {

using ui::TDropDst;

TColor Red(int, int) { return RGBColor(255, 0, 0); }
TColor Blue(int, int) { return RGBColor(0, 0, 255); }

std::unique_ptr<QMimeData> FileData(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data->setUrls(urls);
    return data;
}

// One drag over target ending in a drop at pos, as the window system sends it. Returns whether
// the drop was taken.
bool DragAndDrop(QWidget* target, QPoint pos, const QMimeData& data)
{
    const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(pos, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(pos, actions, &data, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

bool DropFiles(QWidget* target, const QStringList& paths, QPoint pos = {5, 5})
{
    return DragAndDrop(target, pos, *FileData(paths));
}

struct TDropRecord {
    int count = 0;
    QStringList files;
    QPoint at;
};

// Replaces the handler by one that records what arrives.
void Record(TDropDst& target, TDropRecord& record)
{
    target.OnFileDrop = [&record, &target](TDropDst* sender, const QStringList& files, int x, int y) {
        EXPECT_EQ(sender, &target);
        ++record.count;
        record.files = files;
        record.at = {x, y};
    };
}

// Access to QWidget::destroy and QWidget::create, which destroy and make the native window.
struct TNativeWindow : QWidget {
    static void Recreate(QWidget* widget)
    {
        (widget->*&TNativeWindow::destroy)(true, true);
        (widget->*&TNativeWindow::create)(0, true, true);
    }
};

class DropTest : public GuiTest {
protected:
    // Every part of the main window a user can drop onto, with one document window open.
    QList<QWidget*> DropSpots()
    {
        form_->LoadAndJoin(WriteBmp("base.bmp", MakeBitmap(40, 30, Red)));
        ui::TForm2* doc = Active();
        return {form_.get(), form_->Panel1, form_->MDIArea, form_->MDIArea->viewport(), doc,
                doc->ScrollBox1()->viewport(), doc->PaintBox1(), form_->statusBar()};
    }
};

TEST_F(DropTest, EveryPartOfTheMainWindowHandsItsDropsToDropDst1)
{
    const QList<QWidget*> spots = DropSpots();
    for (QWidget* w : form_->findChildren<QWidget*>()) {
        if (w->window() == form_.get()) {
            EXPECT_FALSE(w->acceptDrops()) << w->metaObject()->className() << " takes drops itself";
        }
    }
    EXPECT_TRUE(form_->acceptDrops());

    TDropRecord record;
    Record(*form_->DropDst1, record);
    const QStringList files{Path("c.bmp"), Path("a.bmp"), Path("b b.bmp")};
    for (QWidget* spot : spots) {
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
    const QString c = WriteBmp("c.bmp", MakeBitmap(5, 4, Blue));
    ASSERT_TRUE(DropFiles(form_->MDIArea->viewport(), {a}));
    ASSERT_EQ(form_->Forms2().size(), 1);
    EXPECT_EQ(Active()->windowTitle(), Caption(1, "a.bmp"));

    // Three files onto the document window, joined below it.
    Active()->Document().joinDir = jdDown;
    ASSERT_TRUE(DropFiles(Active()->ScrollBox1()->viewport(), {c, a, a}));
    ASSERT_EQ(form_->Forms2().size(), 1);
    EXPECT_EQ(Active()->Document().workBmp.Height(), 7);
    EXPECT_EQ(Active()->Document().workBmp.Pixel(0, 6), RGBColor(0, 0, 255));
    EXPECT_TRUE(boxes_.empty());
}

struct TDropCase {
    const char* what;
    const char* name;
    enum { File, Folder } kind;
    const char* boxText; // nullptr: nothing happens
};

class DropFailureTest : public DropTest, public ::testing::WithParamInterface<TDropCase> {};

TEST_P(DropFailureTest, TheWindowKeepsWorking)
{
    const TDropCase& c = GetParam();
    const QString path = c.kind == TDropCase::Folder ? Path(c.name) : WriteBytes(c.name, "not a picture at all");
    if (c.kind == TDropCase::Folder) {
        ASSERT_TRUE(QDir().mkpath(path));
    }

    EXPECT_TRUE(DropFiles(form_.get(), {path}));
    EXPECT_TRUE(form_->Forms2().isEmpty());
    if (c.boxText) {
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].caption, "Gazorin");
        EXPECT_TRUE(boxes_[0].text.contains(QString::fromUtf8(c.boxText))) << boxes_[0].text.toStdString();
    } else {
        EXPECT_TRUE(boxes_.empty());
    }

    ASSERT_TRUE(DropFiles(form_->Panel1, {WriteBmp("good.bmp", MakeBitmap(2, 2, Red))}));
    EXPECT_EQ(form_->Forms2().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Drops, DropFailureTest,
                         ::testing::Values(TDropCase{"NoExtension", "README", TDropCase::File, nullptr},
                                           TDropCase{"DotAlone", "name.", TDropCase::File, nullptr},
                                           TDropCase{"FolderWithoutDot", "pictures", TDropCase::Folder, nullptr},
                                           TDropCase{"FolderWithDot", "pictures.d", TDropCase::Folder,
                                                     "拡張子 .d の画像形式は処理できません"},
                                           TDropCase{"BrokenPng", "broken.png", TDropCase::File, ""}),
                         [](const auto& info) { return std::string(info.param.what); });

TEST_F(DropTest, DropsStillArriveAfterTheNativeWindowWasRecreated)
{
    TDropRecord record;
    Record(*form_->DropDst1, record);
    ASSERT_NE(form_->winId(), 0u);

    TNativeWindow::Recreate(form_.get());
    EXPECT_EQ(form_->DropDst1->HookedWindow(), nullptr) << "detached until the posted rehook";
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->DropDst1->HookedWindow() == form_.get(); }));
    EXPECT_TRUE(form_->acceptDrops());
    ASSERT_TRUE(DropFiles(form_->Panel1, {Path("x.png")}));
    EXPECT_EQ(record.count, 1);

    // Turning the window into a tool window also needs a new native window.
    form_->setWindowFlags(form_->windowFlags() | Qt::Tool);
    EXPECT_EQ(form_->DropDst1->HookedWindow(), nullptr);
    form_->show();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->DropDst1->HookedWindow() == form_.get(); }));
    ASSERT_TRUE(DropFiles(form_->MDIArea->viewport(), {Path("y.png")}));
    EXPECT_EQ(record.count, 2);
    EXPECT_EQ(record.files, QStringList{Path("y.png")});
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(DropTest, UriListsFromFileManagersGiveLocalPathsOnly)
{
    QMimeData data;
    data.setData("text/uri-list", "# dragged from a file manager\r\nfile:///tmp/a%20b.jpg\r\n"
                                  "https://example.org/c.png\r\nfile:///tmp/%E5%86%99%E7%9C%9F.png\r\n");
    EXPECT_EQ(TDropDst::DroppedFiles(&data), (QStringList{"/tmp/a b.jpg", QString::fromUtf8("/tmp/写真.png")}));

    TDropRecord record;
    Record(*form_->DropDst1, record);
    QMimeData web;
    web.setUrls({QUrl("https://example.org/c.png")});
    web.setText("https://example.org/c.png");
    EXPECT_FALSE(DragAndDrop(form_->Panel1, {1, 1}, web));
    EXPECT_EQ(record.count, 0);
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
    Record(target, record);
    EXPECT_EQ(target.HookedWindow(), nullptr) << "htControl without a control hooks nothing";
    target.SetTarget(ui::htForm);
    EXPECT_EQ(target.HookedWindow(), &window);
    // With htControl only the control itself takes drops.
    target.SetTarget(ui::htControl);
    target.SetControl(left);
    EXPECT_EQ(target.HookedWindow(), left);
    EXPECT_TRUE(left->acceptDrops());
    EXPECT_FALSE(DropFiles(right, {Path("a.png")}));

    // A new control is registered for drops as well.
    target.SetControl(right);
    EXPECT_TRUE(DropFiles(inner, {Path("a.png")}, {3, 4}));
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(record.at, QPoint(3, 4));

    target.SetAcceptDrop(false);
    EXPECT_FALSE(right->acceptDrops());
    EXPECT_FALSE(DropFiles(inner, {Path("a.png")}));
    target.SetAcceptDrop(true);

    // A handler that throws: the error box shows, the drop is still taken, the next one arrives.
    target.OnFileDrop = [](TDropDst*, const QStringList&, int, int) { throw EInvalidGraphic("bad picture"); };
    EXPECT_TRUE(DropFiles(right, {Path("a.png")}));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, "bad picture");
    target.OnFileDrop = nullptr;
    EXPECT_TRUE(DropFiles(right, {Path("a.png")}));

    // The control goes away: the hook forgets it.
    delete right;
    EXPECT_EQ(target.Control(), nullptr);
    EXPECT_EQ(target.HookedWindow(), nullptr);
}

TEST_F(DropTest, HtFormWithoutAFormFails)
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

    // With a control inside a window, that window is the form.
    QWidget window;
    auto* child = new QWidget(&window);
    target.SetControl(child);
    EXPECT_EQ(target.HookedWindow(), &window);
}

} // namespace
} // namespace gz::test
