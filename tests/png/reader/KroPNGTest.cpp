// The PNG picture class: saving and loading through its settings, stored data, assignment,
// the transparent flag, progress forwarding and the registration.

#include "ReaderTestKit.h"

#include "registry/PictureFormats.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace gz::test {
namespace {

TBytes Saved(const TKroPNG& png)
{
    TMemoryStream out;
    png.SaveToStream(out);
    return TBytes(out.Memory(), out.Memory() + out.Size());
}

std::string TypeAt(const TBytes& file, std::size_t offset)
{
    return offset + 8 <= file.size() ? std::string(file.begin() + std::ptrdiff_t(offset + 4), file.begin() + std::ptrdiff_t(offset + 8)) : "";
}

TEST(KroPNGSave, AssignedBitmapGivesTheTypicalFileAndReadsBack)
{
    const TBitmap source = NoiseBitmap(7, 5, 3);
    TKroPNG png;
    png.Assign(source);
    const TBytes file = Saved(png);
    const std::pair<std::size_t, const char*> layout[] = {
        {8, "IHDR"}, {33, "tIME"}, {52, "tEXt"}, {87, "tpNG"}, {107, "gAMA"}, {123, "IDAT"}, {file.size() - 12, "IEND"}};
    for (const auto& [offset, type] : layout)
        EXPECT_EQ(TypeAt(file, offset), type) << "at " << offset;
    EXPECT_EQ(file[8 + 8 + 8 + 1], 2); // colour type

    TKroPNG back;
    LoadBytes(back, file);
    EXPECT_EQ(FirstDifference(back.ImageBitmap(), source), "");
    EXPECT_EQ(back.ImageBitmap().PixelFormat(), pf24bit);
    EXPECT_DOUBLE_EQ(back.Gamma, 0.45455);
    EXPECT_EQ(back.FileBits, 24);
}

TEST(KroPNGSave, SettingsComeFromTheLastLoadAndAreCheckedAtSave)
{
    // A file without gAMA leaves Gamma 0, so saving again writes none.
    TKroPNG png;
    LoadBytes(png, TPngBuilder().Header(2, 1, 8, 0).Data({0, 1, 2}).End().Bytes());
    EXPECT_EQ(png.Gamma, 0.0);
    const TBytes file = Saved(png);
    EXPECT_EQ(std::search(file.begin(), file.end(), "gAMA", "gAMA" + 4), file.end());

    // An IDAT size out of range is refused at save time only, and nothing is written.
    png.IDATSize = 100;
    png.Comment = "kept";
    TMemoryStream out;
    try {
        png.SaveToStream(out);
        ADD_FAILURE() << "saved";
    } catch (const EKroPNG& e) {
        EXPECT_EQ(e.Message(), png::kMsgIDATSize);
    }
    EXPECT_EQ(out.Size(), 0);
    EXPECT_EQ(png.IDATSize, 100);
    EXPECT_EQ(png.Comment, "kept");
}

TEST(KroPNGLoad, AssigningToABitmapKeepsTheDecodedFormat)
{
    TKroPNG png;
    LoadBytes(png, TPngBuilder().Header(3, 1, 2, 0).Data({0, 0b00011011}).End().Bytes());
    TBitmap bmp;
    bmp.Assign(png);
    ASSERT_EQ(bmp.PixelFormat(), pf4bit);
    EXPECT_EQ(bmp.Palette(), GreyPalette(4));
    EXPECT_EQ(bmp.ScanLine(0)[0], 0x01);
    EXPECT_EQ(bmp.Pixel(2, 0), 0xAAAAAA);
    EXPECT_TRUE(png.GrayScale);
}

TEST(KroPNGData, WriteDataAndReadDataCarryACompletePNG)
{
    TKroPNG empty;
    TMemoryStream none;
    empty.WriteData(none);
    EXPECT_EQ(none.Size(), 0);

    TKroPNG png;
    png.Assign(NoiseBitmap(9, 4, 1));
    png.Interlace = 1;     // not used by stored data
    png.FilterMode = 5;
    png.Comment = "stored";
    TMemoryStream stream;
    stream.Write("ab", 2);
    png.WriteData(stream);
    const std::int64_t end = stream.Position();
    stream.Write("cd", 2);
    EXPECT_EQ(stream.Memory()[2 + 8 + 8 + 12], 0); // IHDR interlace byte: the writer's default

    TKroPNG back;
    back.Interlace = 1;
    int changes = 0;
    back.OnChange = [&](TGraphic&) { ++changes; };
    stream.SetPosition(2);
    back.ReadData(stream);
    EXPECT_EQ(stream.Position(), end);
    EXPECT_EQ(FirstDifference(back.ImageBitmap(), png.ImageBitmap()), "");
    EXPECT_EQ(back.Comment, "stored\r\n");
    EXPECT_EQ(back.Interlace, 1); // not copied back by ReadData
    EXPECT_GE(changes, 1);
}

TEST(KroPNGAssign, FromAnotherPNGCopiesPicturesAndSettingsButNotFileFacts)
{
    TKroPNG source;
    source.Assign(NoiseBitmap(4, 4, 2));
    source.Interlace = 1;
    source.Comment = "c";
    source.ModifiedTime = {2001, 2, 3, 4, 5, 6};
    source.HasAlpha = true;
    source.FileBits = 8;
    source.RowKey = "k";
    source.GifExtension = {1, 1, 1};

    TKroPNG dest;
    dest.Assign(source);
    EXPECT_EQ(FirstDifference(dest.ImageBitmap(), source.ImageBitmap()), "");
    EXPECT_EQ(dest.Interlace, 1);
    EXPECT_EQ(dest.Comment, "c");
    EXPECT_EQ(dest.ModifiedTime, source.ModifiedTime);
    // Facts of the last file read and the reader's options stay as they were.
    EXPECT_FALSE(dest.HasAlpha);
    EXPECT_EQ(dest.FileBits, 0);
    EXPECT_EQ(dest.RowKey, "");
    EXPECT_EQ(dest.GifExtension, TKroPNGGifExtension{});
}

TEST(KroPNGAssign, FromABitmapTakesItsFormatAndTransparency)
{
    TBitmap bmp(3, 2, pf8bit);
    bmp.SetTransparentColor(0x00FF00);
    bmp.SetTransparent(true);
    TKroPNG png;
    png.Comment = "unchanged";
    int changes = 0;
    png.OnChange = [&](TGraphic&) { ++changes; };
    png.Assign(bmp);
    EXPECT_EQ(png.ImageBitmap().PixelFormat(), pf8bit);
    EXPECT_EQ(png.ImageBitmap().TransparentColor(), 0x00FF00);
    EXPECT_TRUE(png.Transparent());
    EXPECT_EQ(png.Comment, "unchanged");
    EXPECT_GE(changes, 1);

    // The graphic's flag writes through to the image.
    png.SetTransparent(false);
    EXPECT_FALSE(png.ImageBitmap().Transparent());
}

TEST(KroPNGGraphic, SizeChangesReachBothPictures)
{
    TKroPNG png;
    LoadBytes(png, TPngBuilder().Header(2, 2, 8, 4).Data({0, 1, 2, 3, 4, 0, 5, 6, 7, 8}).End().Bytes());
    ASSERT_TRUE(png.HasAlpha);
    png.SetWidth(5);
    png.SetHeight(3);
    EXPECT_EQ(png.ImageBitmap().Width(), 5);
    EXPECT_EQ(png.AlphaBitmap().Width(), 5);
    EXPECT_EQ(png.AlphaBitmap().Height(), 3);
}

TEST(KroPNGGraphic, BitmapProgressListenerIsRestoredAfterAFailedLoad)
{
    TKroPNG png;
    bool own = false, forwarded = false;
    png.ImageBitmap().OnProgress = [&](TGraphic&, TProgressStage, std::uint8_t, bool, const TRect&, const std::string&) {
        own = true;
    };
    png.OnProgress = [&](TGraphic&, TProgressStage, std::uint8_t, bool, const TRect&, const std::string&) {
        forwarded = true;
    };
    EXPECT_THROW(LoadBytes(png, TPngBuilder().Header(1, 1, 3, 0).Data({0, 0}).Bytes()), EKroPNG);
    EXPECT_TRUE(forwarded);
    EXPECT_FALSE(own);
    ASSERT_TRUE(png.ImageBitmap().OnProgress);
    png.ImageBitmap().Progress(png.ImageBitmap(), psRunning, 1, false, {}, "");
    EXPECT_TRUE(own);
}

TEST(KroPNGRegistry, RegisteredAsPNGFormatAndRemovedAgain)
{
    ResetPictureFormats();
    RegisterKroPNGFormat();
    EXPECT_EQ(FindPictureClass("png"), &KroPNGClass());
    EXPECT_NE(BuildPictureFilter(GraphicBaseClass()).find("PNG Format (*.png)|*.png"), std::string::npos);

    const std::string path = ::testing::TempDir() + "reader_registry_" + std::to_string(::getpid()) + ".PNG";
    {
        TMemoryStream file;
        const TBytes bytes = TPngBuilder().Header(2, 3, 8, 0).Data({0, 1, 2, 0, 3, 4, 0, 5, 6}).End().Bytes();
        file.Write(bytes.data(), bytes.size());
        file.SaveToFile(path);
    }
    const auto picture = LoadPictureByExtension(path);
    ASSERT_NE(dynamic_cast<TKroPNG*>(picture.get()), nullptr);
    EXPECT_EQ(picture->Height(), 3);
    std::remove(path.c_str());

    UnregisterKroPNGFormat();
    EXPECT_EQ(FindPictureClass("png"), nullptr);
    ResetPictureFormats();
}

} // namespace
} // namespace gz::test
