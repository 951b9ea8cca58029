// The main window's commands driven through its buttons, menus and zoom box.

#include "GuiFixture.h"

#include "support/Rasters.h"
#include "workspace/ClipboardRaster.h"
#include "join/FileRaster.h"
#include "platform/FileExtension.h"
#include "workspace/OpenPictureDialog.h"
#include "workspace/ScrollBox.h"
#include "workspace/SpeedButton.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QStatusBar>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

namespace gz::test {
namespace {

using ui::TForm2;

TColor Red(int, int) { return RGBColor(255, 0, 0); }
TColor Blue(int, int) { return RGBColor(0, 0, 255); }

TEST_F(GuiTest, StartsWithTheDocumentedPanelAndMenus)
{
    EXPECT_EQ(form_->windowTitle(), "Gazorin");
    EXPECT_EQ(Named("Panel1")->width(), 89);
    EXPECT_EQ(PanelShows(), "SBNormal SBpLeft SBautoFit 100");
    EXPECT_FALSE(Button("SpeedButton1")->isEnabled());
    for (const char* corner : {"SBUpLeft", "SBUpRight", "SBBottomLeft", "SBBottomRight"})
        EXPECT_FALSE(Button(corner)->isVisible());
    QStringList menus;
    for (QAction* a : form_->menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, QStringList({"ファイル(&F)", "編集(&E)", "モード(&M)", "ヘルプ(&H)"}));
    EXPECT_EQ(Action("SBundo")->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(Action("SBpaste")->shortcut(), QKeySequence("Ctrl+V"));
}

TEST_F(GuiTest, NewWindowModeGivesOneWindowPerFile)
{
    const QString a = WriteBmp("a.bmp", MakeBitmap(30, 20, Red));
    QImage png(40, 10, QImage::Format_RGB32);
    png.fill(Qt::blue);
    ASSERT_TRUE(png.save(Path("b.png")));
    const QString c = WriteBmp("c.bmp", MakeBitmap(5, 5, Blue));

    for (const QString& file : {a, Path("b.png"), c})
        ASSERT_TRUE(Open(file));

    const QList<TForm2*> forms = form_->Forms2();
    ASSERT_EQ(forms.size(), 3);
    EXPECT_EQ(forms[0]->windowTitle(), Caption(1, "a.bmp"));
    EXPECT_EQ(forms[1]->windowTitle(), Caption(2, "b.png"));
    EXPECT_EQ(forms[2]->windowTitle(), Caption(3, "c.bmp"));
    EXPECT_EQ(forms[1]->Model().Picture().Width(), 40);
    EXPECT_EQ(forms[1]->Model().Picture().Pixel(3, 3), RGBColor(0, 0, 255));
    EXPECT_EQ(Active(), forms[2]);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, ChosenDirectionJoinsOntoTheActiveWindow)
{
    ASSERT_TRUE(Open(WriteBmp("top.bmp", MakeBitmap(200, 100, Red))));
    TForm2* first = Active();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->ClientSize(), QSize(204, 104)); // fitted to the picture

    Click(Button("SBbottom"));
    EXPECT_EQ(first->Model().JoinDir(), jdDown);
    EXPECT_TRUE(Action("SBbottom")->isChecked());
    ASSERT_TRUE(Open(WriteBmp("bottom.bmp", MakeBitmap(150, 50, Blue))));

    ASSERT_EQ(form_->Forms2().size(), 1);
    const TBitmap& joined = first->Model().Picture();
    EXPECT_EQ(joined.Width(), 200);
    EXPECT_EQ(joined.Height(), 150);
    EXPECT_EQ(joined.Pixel(10, 10), RGBColor(255, 0, 0));
    EXPECT_EQ(joined.Pixel(10, 120), RGBColor(0, 0, 255));
    EXPECT_EQ(joined.Pixel(180, 120), clWhite);
    EXPECT_EQ(form_->StatusText(), "幅 200 , 高さ 150");
    EXPECT_EQ(first->ScrollBox1()->VertRange(), 150);

    Click(Button("SBNormal"));
    ASSERT_TRUE(Open(Path("bottom.bmp")));
    EXPECT_EQ(form_->Forms2().size(), 2);
}

TEST_F(GuiTest, PanelFollowsTheActiveWindow)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(30, 30, Red))));
    TForm2* first = Active();
    ASSERT_TRUE(Open(WriteBmp("b.bmp", MakeBitmap(40, 20, Blue))));
    TForm2* second = Active();
    ASSERT_NE(first, second);

    first->Model().SetJoinDir(jdLeft);
    first->Model().SetJoinPos(jpEnd);
    first->Model().SetFlips(flipLR);
    first->Model().SetKeepSize(smKeep);
    first->Model().SetZoom(50);
    Click(first->PaintBox1(), QPoint(5, 5));
    EXPECT_EQ(PanelShows(), "SBLeft SBpRight SBchgLR 50");
    EXPECT_TRUE(Down("SBLeft")); // the menu item shows it as well
    QCoreApplication::processEvents();
    EXPECT_EQ(form_->StatusText(), "幅 30 , 高さ 30");

    Click(second->PaintBox1(), second->PaintBox1()->rect().bottomRight() - QPoint(3, 3)); // the part not under the first
    EXPECT_EQ(PanelShows(), "SBNormal SBpLeft SBautoFit 100");

    // And a click on the panel writes into the active window only.
    Click(Button("SBchgUB"));
    Click(Button("SBpCenter"));
    EXPECT_EQ(second->Model().Flips(), flipUB);
    EXPECT_EQ(second->Model().JoinPos(), jpCenter);
    EXPECT_TRUE(Down("SBchgUB"));
    EXPECT_EQ(first->Model().Flips(), flipLR);
}

TEST_F(GuiTest, CanvasModeAndMenuItemsStayInStep)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(10, 10, Red))));
    Click(Button("SBpCenter"));
    Click(Button("SBautoFit")); // released: overlay mode
    EXPECT_EQ(Active()->Model().KeepSize(), smKeep);
    EXPECT_EQ(Active()->Model().JoinPos(), jpStart);
    EXPECT_FALSE(Down("SBautoFit"));
    EXPECT_TRUE(Button("SpeedButton1")->isEnabled());

    ChooseMenu(*form_, {"モード(&M)", "挿入(&I)"}); // back to growing
    EXPECT_TRUE(Down("SBautoFit"));
    EXPECT_EQ(Active()->Model().KeepSize(), smGrow);
    EXPECT_FALSE(Button("SpeedButton1")->isEnabled());

    ChooseMenu(*form_, {"モード(&M)", "左右反転(&H)"});
    EXPECT_TRUE(Down("SBchgLR"));
    EXPECT_EQ(Active()->Model().Flips(), flipLR);
    ChooseMenu(*form_, {"モード(&M)", "連結位置(&P)", "右(&R)"});
    EXPECT_TRUE(Down("SBpRight"));
    EXPECT_EQ(Active()->Model().JoinPos(), jpEnd);
    ChooseMenu(*form_, {"モード(&M)", "連結方向(&A)", "右(&R)"});
    EXPECT_TRUE(Down("SBRight"));
    EXPECT_EQ(Active()->Model().JoinDir(), jdRight);
}

TEST_F(GuiTest, ZoomBoxTakesTypedValuesUpTo400AndListChoicesUpTo800)
{
    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(100, 50, Red))));
    TForm2* f = Active();
    QComboBox* box = Named<QComboBox>("zoombox1");
    const auto typed = [&](const QString& text) { return TypeZoom(text); };
    const auto chosen = [&](const QString& text) {
        Click(box, QPoint(box->width() - 6, box->height() / 2)); // the arrow
        QAbstractItemView* list = box->view();
        EXPECT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }));
        const QModelIndex item = box->model()->index(box->findText(text), 0);
        list->scrollTo(item);
        Click(list->viewport(), list->visualRect(item).center());
        return f->Model().Zoom();
    };
    EXPECT_EQ(typed("37"), 37);
    EXPECT_EQ(typed("800"), 400);
    EXPECT_EQ(box->currentText(), "400");
    EXPECT_EQ(chosen("800"), 800);
    EXPECT_EQ(typed("5"), 10);
    EXPECT_EQ(typed("250"), 250);
    EXPECT_EQ(typed("abc"), 250);
    EXPECT_EQ(box->currentText(), "250");
    EXPECT_EQ(chosen(""), 250);
    EXPECT_EQ(box->currentText(), "250");
    EXPECT_EQ(chosen("33"), 33);
    EXPECT_EQ(f->ScrollBox1()->HorzRange(), 33);
    EXPECT_EQ(f->ScrollBox1()->VertRange(), 16);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GuiTest, OpensAtItsOuterSizeCentredWithTheWholePanelShown)
{
    const QRect screen = form_->screen()->availableGeometry();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form_->frameGeometry().size() == QSize(608, 446); }))
        << form_->frameGeometry().width() << " x " << form_->frameGeometry().height();
    const QPoint offCentre = form_->frameGeometry().center() - screen.center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
    for (QGroupBox* group : Named("Panel1")->findChildren<QGroupBox*>()) {
        EXPECT_LE(group->geometry().bottom(), Named("Panel1")->height()) << group->title().toStdString();
        EXPECT_GE(group->height(), group->minimumSizeHint().height()) << group->title().toStdString();
    }
}

TEST_F(GuiTest, PasteWithoutAPictureDoesNothing)
{
    QGuiApplication::clipboard()->clear();
    ChooseMenu(*form_, {"編集(&E)", "貼り付け(&P)"});
    QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
    ChooseMenu(*form_, {"編集(&E)", "貼り付け(&P)"});
    EXPECT_TRUE(form_->Forms2().isEmpty());
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, PastedImagesWithTransparencyLandOnWhite)
{
    QImage image(4, 3, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(1, 1, qRgba(0, 128, 0, 255));
    QGuiApplication::clipboard()->setImage(image);
    ChooseMenu(*form_, {"編集(&E)", "貼り付け(&P)"});
    ASSERT_NE(Active(), nullptr);
    const TBitmap& raster = Active()->Model().Picture();
    EXPECT_EQ(raster.Pixel(0, 0), clWhite);
    EXPECT_EQ(raster.Pixel(1, 1), RGBColor(0, 128, 0));
}

// What the user sees when loading fails: (file, contents, error box expected, message part).
struct LoadFailure {
    const char* name;
    const char* bytes;
    bool boxShown;
    const char* messagePart;
};

class LoadFailureTest : public GuiTest, public ::testing::WithParamInterface<LoadFailure> {};

TEST_P(LoadFailureTest, CreatesNoWindowAndShowsTheErrorWhereOneIsDue)
{
    const LoadFailure& c = GetParam();
    form_->LoadAndJoin(WriteBytes(c.name, QByteArray(c.bytes)));
    EXPECT_TRUE(form_->Forms2().isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_EQ(boxes_.size(), c.boxShown ? 1u : 0u);
    if (c.boxShown) {
        EXPECT_EQ(boxes_[0].kind, ui::TMessageKind::Error);
        EXPECT_EQ(boxes_[0].caption, "Gazorin");
        EXPECT_TRUE(boxes_[0].text.contains(QString::fromUtf8(c.messagePart))) << boxes_[0].text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, LoadFailureTest,
                         ::testing::Values(LoadFailure{"broken.png", "this is no PNG file", true, ""},
                                           LoadFailure{"broken.jpg", "\xff\xd8\xff garbage", true, ""},
                                           LoadFailure{"broken.ico", "not an icon", true, ""},
                                           LoadFailure{"picture.xyz", "whatever", true,
                                                       "拡張子 .xyz の画像形式は処理できません"},
                                           LoadFailure{"broken.bmp", "BM garbage", true, ""},
                                           LoadFailure{"broken.wmf", "not a metafile", true, ""}));

TEST_F(GuiTest, AboutBoxAndBlankJoin)
{
    ChooseMenu(*form_, {"ヘルプ(&H)", "バージョン情報(&A)..."});
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, "バージョン情報");
    EXPECT_EQ(boxes_[0].text, "Gazorin　Ver. 2.3");

    ASSERT_TRUE(Open(WriteBmp("a.bmp", MakeBitmap(8, 6, Red))));
    DoubleClick(Button("SBbottom"));
    const TBitmap& raster = Active()->Model().Picture();
    EXPECT_EQ(raster.Height(), 12);
    EXPECT_EQ(raster.Pixel(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(raster.Pixel(0, 11), clWhite);
}

TEST_F(GuiTest, OpenDialogTakesATypedNameAndShowsThePreviewAgainWhenReopened)
{
    const QString a = WriteBmp("apple.bmp", MakeBitmap(12, 8, Red));
    WriteBmp("apricot.bmp", MakeBitmap(3, 3, Blue));
    std::vector<bool> switched;
    form_->GraphicPreviewSwitch = [&](bool on) { switched.push_back(on); };

    WhenActive("gz::ui::TOpenPictureDialog", [&](QWidget* dialog) { Answer(dialog, QString()); });
    Click(Button("openpicture"));
    EXPECT_TRUE(form_->Forms2().isEmpty());
    // The name typed in full: the completion list that typing opens goes with the dialog.
    ASSERT_TRUE(Open(a));
    EXPECT_EQ(switched, std::vector<bool>({true, false, true, false}));
    ASSERT_EQ(form_->Forms2().size(), 1);
    EXPECT_EQ(form_->Forms2()[0]->windowTitle(), Caption(1, "apple.bmp"));
    EXPECT_FALSE(Named<ui::TOpenPictureDialog>("OpenPictureDialog1")->nameFilters().isEmpty());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_TRUE(w == form_.get() || !w->isVisible()) << w->metaObject()->className() << " left on screen";

    // Reopened with the last file still chosen, the preview shows it.
    WhenActive("gz::ui::TOpenPictureDialog", [&](QWidget*) {
        ui::TOpenPictureDialog* dialog = Named<ui::TOpenPictureDialog>("OpenPictureDialog1");
        EXPECT_EQ(dialog->selectedFiles(), QStringList{a});
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->PreviewSize()->text() == "12 x 8"; }))
            << dialog->PreviewSize()->text().toStdString();
        Press(Qt::Key_Escape);
    });
    Click(Button("openpicture"));
    EXPECT_EQ(form_->Forms2().size(), 1);
}

TEST(OpenPictureDialogFilter, TurnsRegistryFiltersIntoNameFilters)
{
    EXPECT_EQ(ui::NameFiltersFromPictureFilter("すべて (*.png;*.bmp)|*.png;*.bmp|PNG (*.png)|*.png"),
              QStringList({"すべて (*.png *.PNG *.bmp *.BMP)", "PNG (*.png *.PNG)"}));
    EXPECT_TRUE(ui::NameFiltersFromPictureFilter("").isEmpty());
}

TEST_F(GuiTest, OpenDialogPreviewShowsDecodablePicturesOnly)
{
    ui::TOpenPictureDialog* dialog = Named<ui::TOpenPictureDialog>("OpenPictureDialog1");
    dialog->ShowPreview(WriteBmp("a.bmp", MakeBitmap(30, 20, Red)));
    EXPECT_EQ(dialog->PreviewSize()->text(), "30 x 20");
    EXPECT_FALSE(dialog->PreviewImage()->pixmap().isNull());
    dialog->ShowPreview(WriteBytes("b.png", "broken"));
    EXPECT_TRUE(dialog->PreviewSize()->text().isEmpty());
    EXPECT_TRUE(dialog->PreviewImage()->pixmap().isNull());
    EXPECT_TRUE(boxes_.empty());
}

} // namespace
} // namespace gz::test

namespace gz::test {
namespace {

TEST(FileExtension, IsTakenFromTheFileNameOnlyAndUpperCased)
{
    const std::pair<const char*, const char*> cases[] = {
        {"PHOTO.jpg", ".JPG"}, {"photo.jpeg", ".JPEG"}, {"/a/b.c/photo", ""}, {"x.tar.gz", ".GZ"}, {"dot.", "."}};
    for (const auto& [name, ext] : cases)
        EXPECT_EQ(UpperFileExtension(name), ext) << name;
}

} // namespace
} // namespace gz::test

namespace gz::test {

TEST_F(GuiTest, PlugInFormatsOpenAndJoinThroughTheMainWindow)
{
    // A 2 x 1 binary PNM (red, blue) and a 1 x 2 uncompressed true-colour TGA (green over white).
    QByteArray ppm("P6\n2 1\n255\n");
    ppm.append("\xff\x00\x00\x00\x00\xff", 6);
    QByteArray tga(18, '\0');
    tga[2] = 2;       // uncompressed true colour
    tga[12] = 1;      // width 1
    tga[14] = 2;      // height 2
    tga[16] = 24;     // bits per pixel
    tga[17] = 0x20;   // top row first
    tga.append("\x00\xff\x00\xff\xff\xff", 6); // blue, green, red per pixel
    form_->LoadAndJoin(WriteBytes("two.ppm", ppm));
    ASSERT_EQ(form_->Forms2().size(), 1) << (boxes_.empty() ? QString() : boxes_.front().text).toStdString();
    const TBitmap& first = Active()->Model().Picture();
    EXPECT_EQ(first.Pixel(0, 0), RGBColor(255, 0, 0));
    EXPECT_EQ(first.Pixel(1, 0), RGBColor(0, 0, 255));

    Active()->Model().SetJoinDir(jdRight);
    form_->LoadAndJoin(WriteBytes("tall.tga", tga));
    ASSERT_TRUE(boxes_.empty()) << boxes_.front().text.toStdString();
    const TBitmap& joined = Active()->Model().Picture();
    EXPECT_EQ(joined.Width(), 3);
    EXPECT_EQ(joined.Height(), 2);
    EXPECT_EQ(joined.Pixel(2, 0), RGBColor(0, 255, 0));
    EXPECT_EQ(joined.Pixel(2, 1), clWhite);
}

TEST_F(GuiTest, BitmapsAndPlugInFormatsFallBackOnlyThroughThePlugInPictureClass)
{
    QByteArray ppm("P6\n2 1\n255\n");
    ppm.append("\xff\x00\x00\x00\x00\xff", 6);

    // ".BMP" is the bitmap reader's alone: bytes that only a plug-in reads are not handed on,
    // and the bitmap reader's refusal is shown.
    form_->LoadAndJoin(WriteBytes("only-a-plugin-reads-this.bmp", ppm));
    EXPECT_TRUE(form_->Forms2().isEmpty());
    ASSERT_EQ(boxes_.size(), 1u);
    boxes_.clear();

    // A plug-in extension goes through the plug-in picture class, which reads a plain bitmap
    // with the bitmap reader once the plug-ins have refused it.
    form_->LoadAndJoin(WriteBmp("really-a-bitmap.ppm", MakeBitmap(2, 1, [](int x, int) {
                                    return x == 0 ? RGBColor(0, 128, 0) : RGBColor(255, 255, 0);
                                })));
    ASSERT_EQ(form_->Forms2().size(), 1) << (boxes_.empty() ? QString() : boxes_.front().text).toStdString();
    const TBitmap& raster = Active()->Model().Picture();
    EXPECT_EQ(raster.Width(), 2);
    EXPECT_EQ(raster.Pixel(0, 0), RGBColor(0, 128, 0));
    EXPECT_EQ(raster.Pixel(1, 0), RGBColor(255, 255, 0));

    // The same PNM bytes under their own extension are the plug-in's.
    Active()->Model().SetJoinDir(jdDown);
    form_->LoadAndJoin(WriteBytes("two.ppm", ppm));
    ASSERT_TRUE(boxes_.empty()) << boxes_.front().text.toStdString();
    EXPECT_EQ(Active()->Model().Picture().Height(), 2);
    EXPECT_EQ(Active()->Model().Picture().Pixel(1, 1), RGBColor(0, 0, 255));
}

} // namespace gz::test
