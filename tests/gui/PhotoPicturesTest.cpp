// Photos and transparent pictures in the desktop program: dropped files and the open dialog's
// preview show them upright and with their transparent parts white.

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
    TPngSpec s(6, 4, 6, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            s.Pixels.insert(s.Pixels.end(), {std::uint8_t(x < 3 ? 255 : 0), std::uint8_t(x < 3 ? 0 : 160),
                                             std::uint8_t(x < 3 ? 255 : 0), std::uint8_t(x < 3 ? 0 : 255)});
    return PngFile(s);
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
