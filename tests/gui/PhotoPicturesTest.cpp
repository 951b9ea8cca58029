// Photos and transparent pictures in the desktop program: dropped files and the open dialog's
// preview show them upright and with their transparent parts white, or, with the モード menu's
// see-through item, with what lies beneath showing through them.

#include "GuiFixture.h"

#include "support/PhotoFiles.h"
#include "support/Rasters.h"
#include "workspace/OpenPictureDialog.h"

#include <QLabel>

namespace gz::test {
namespace {

QString Write(const QString& path, const Bytes& bytes)
{
    WriteBytes(path.toStdString(), bytes);
    return path;
}

// Magenta under alpha 0 at the left, opaque green at the right.
Bytes TransparentPng()
{
    TPngRecipe s(6, 4, 6, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            s.Pixels.insert(s.Pixels.end(), {std::uint8_t(x < 3 ? 255 : 0), std::uint8_t(x < 3 ? 0 : 160),
                                             std::uint8_t(x < 3 ? 255 : 0), std::uint8_t(x < 3 ? 0 : 255)});
    return PngFile(s);
}

// Magenta under alpha 0 at the left, black at rising opacity above, opaque colours below.
const TStraightPicture kLogo{7, 5, [](int x, int y) {
                                 if (x < 2)
                                     return TStraightPixel{255, 0, 255, 0};
                                 if (y < 2)
                                     return TStraightPixel{0, 0, 0, std::uint8_t(50 * x + 20 * y)};
                                 return TStraightPixel{std::uint8_t(30 * x), 250, std::uint8_t(60 * y), 255};
                             }};

Bytes StraightPng(const TStraightPicture& picture)
{
    TPngRecipe s(picture.width, picture.height, 6, 8);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const TStraightPixel p = picture.pixel(x, y);
            s.Pixels.insert(s.Pixels.end(), {p.r, p.g, p.b, p.a});
        }
    return PngFile(s);
}

TEST_F(GuiTest, KeepTransparencyShowsThePictureBeneathPerWindow)
{
    const TBitmap base = NoiseBitmap(12, 8, 3);
    const QString baseFile = WriteBmp("base.bmp", base);
    const QString logo = Write(Path("logo.png"), StraightPng(kLogo));
    ASSERT_TRUE(DropFiles(form_.get(), {baseFile}));
    ui::TForm2* first = Active();
    Click(Button("SBbottom"));
    Click(Button("SBautoFit")); // keep the size: the logo goes over the bottom-left corner
    EXPECT_FALSE(Down("SeeThrough1")) << "off at start";
    ASSERT_TRUE(DropFiles(form_.get(), {logo}));
    EXPECT_EQ(SeeThroughDifference(first->Model().Picture(), base, kLogo, 0, 3, false), "");

    Click(Button("SBundo"));
    ASSERT_TRUE(ChooseMenu(*form_, {"モード(&M)", "透過部分を重ねる"}));
    EXPECT_TRUE(first->Model().SeeThrough());
    ASSERT_TRUE(DropFiles(form_.get(), {logo}));
    EXPECT_EQ(SeeThroughDifference(first->Model().Picture(), base, kLogo, 0, 3, true), "");

    // A new window takes the item as it stands; each window keeps its own and shows it.
    Click(Button("SBNormal"));
    ASSERT_TRUE(DropFiles(form_.get(), {baseFile}));
    ui::TForm2* second = Active();
    ASSERT_NE(second, first);
    EXPECT_TRUE(second->Model().SeeThrough());
    ASSERT_TRUE(ChooseMenu(*form_, {"モード(&M)", "透過部分を重ねる"}));
    EXPECT_FALSE(second->Model().SeeThrough());
    EXPECT_TRUE(first->Model().SeeThrough());
    Click(first->PaintBox1(), QPoint(5, 5));
    EXPECT_TRUE(Down("SeeThrough1"));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, DroppedPhotosArriveUprightAndTransparentPartsWhite)
{
    const QString phone = Write(Path("phone.jpg"), JpegFile(NoiseBitmap(32, 24, 9), {6}));
    ASSERT_TRUE(DropFiles(form_.get(), {phone}));
    ASSERT_NE(Active(), nullptr);
    EXPECT_EQ(Active()->Model().Picture().Width(), 24);
    EXPECT_EQ(Active()->Model().Picture().Height(), 32);

    const QString logo = Write(Path("logo.png"), TransparentPng());
    ASSERT_TRUE(DropFiles(form_.get(), {logo}));
    const TBitmap& raster = Active()->Model().Picture();
    ASSERT_EQ(raster.Width(), 6);
    EXPECT_EQ(raster.Pixel(0, 0), clWhite);
    EXPECT_EQ(raster.Pixel(5, 3), RGBColor(0, 160, 0));
    EXPECT_TRUE(boxes_.empty());
}

// The モード menu's check item, on at start: photos opened while it is off stay as stored, and
// the open dialog's preview follows it.
TEST_F(GuiTest, AutoRotateItemKeepsPhotosAsStoredWhileOff)
{
    const Bytes file = JpegFile(NoiseBitmap(32, 24, 9), {6});
    const QString phone = Write(Path("phone.jpg"), file);
    int w = 0, h = 0;
    const Bytes samples = JpegSamples(file, false, w, h);
    const TBitmap stored = BitmapFromBgr(w, h, samples);
    auto* dialog = Named<ui::TOpenPictureDialog>("OpenPictureDialog1");
    EXPECT_TRUE(Down("AutoOrient1"));

    ChooseMenu(*form_, {"モード(&M)", "画像の向きを自動補正"});
    EXPECT_FALSE(Down("AutoOrient1"));
    ASSERT_TRUE(Open(phone));
    EXPECT_EQ(FirstDifference(Active()->Model().Picture(), stored), "");
    dialog->ShowPreview(phone);
    EXPECT_EQ(dialog->PreviewSize()->text(), "32 x 24");

    ChooseMenu(*form_, {"モード(&M)", "画像の向きを自動補正"});
    EXPECT_TRUE(Down("AutoOrient1"));
    ASSERT_TRUE(Open(phone));
    EXPECT_EQ(FirstDifference(Active()->Model().Picture(), TurnedByTag(stored, 6)), "");
    dialog->ShowPreview(phone);
    EXPECT_EQ(dialog->PreviewSize()->text(), "24 x 32");
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(GuiTest, OpenDialogPreviewIsUprightAndWhiteWhereTransparent)
{
    ui::TOpenPictureDialog* dialog = Named<ui::TOpenPictureDialog>("OpenPictureDialog1");
    dialog->ShowPreview(Write(Path("phone.jpg"), JpegFile(NoiseBitmap(32, 24, 9), {6})));
    EXPECT_EQ(dialog->PreviewSize()->text(), "24 x 32");
    dialog->ShowPreview(Write(Path("logo.png"), TransparentPng()));
    const QImage preview = dialog->PreviewImage()->pixmap().toImage();
    ASSERT_FALSE(preview.isNull());
    EXPECT_EQ(preview.pixelColor(0, 0), QColor(Qt::white));
    EXPECT_EQ(preview.pixelColor(preview.width() - 1, 0), QColor(0, 160, 0));
}

} // namespace
} // namespace gz::test
