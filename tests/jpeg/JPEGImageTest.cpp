#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "registry/PictureFormats.h"
#include "support/Rasters.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <jerror.h>

namespace gz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void Load(TJPEGImage& jpeg, const Bytes& bytes)
{
    TMemoryViewStream stream(bytes.data(), bytes.size());
    jpeg.LoadFromStream(stream);
}

Bytes Save(const TJPEGImage& jpeg)
{
    TMemoryStream out;
    jpeg.SaveToStream(out);
    return Bytes(out.Memory(), out.Memory() + out.Size());
}

Bytes Encode(const TBitmap& bmp, int quality, bool progressive = false)
{
    TJPEGImage jpeg;
    jpeg.Assign(bmp);
    jpeg.SetQuality(quality);
    jpeg.SetProgressive(progressive);
    return Save(jpeg);
}

// The segments before the first scan, and the number of scans, of a JPEG file.
struct Markers {
    std::vector<std::pair<std::uint8_t, Bytes>> segments;
    int scans = 0;
};

Markers ParseMarkers(const Bytes& f)
{
    Markers m;
    for (std::size_t i = 2; i + 1 < f.size(); ++i) {
        if (f[i] != 0xFF || f[i + 1] == 0x00 || f[i + 1] == 0xFF || (f[i + 1] >= 0xD0 && f[i + 1] <= 0xD7))
            continue;
        const std::uint8_t marker = f[i + 1];
        if (marker == 0xDA)
            ++m.scans;
        if (marker == 0xD9 || i + 3 >= f.size())
            continue;
        const std::size_t length = std::size_t(f[i + 2] << 8 | f[i + 3]);
        if (m.scans == 0)
            m.segments.emplace_back(marker, Bytes(f.begin() + long(i) + 4, f.begin() + long(std::min(f.size(), i + 2 + length))));
        if (marker != 0xDA)
            i += 1 + length;
    }
    return m;
}

TColor Average(const TBitmap& bmp, int x0, int y0, int size)
{
    int r = 0, g = 0, b = 0;
    for (int y = y0; y < y0 + size; ++y)
        for (int x = x0; x < x0 + size; ++x) {
            const TColor c = bmp.Pixel(x, y);
            r += ColorRed(c), g += ColorGreen(c), b += ColorBlue(c);
        }
    const int n = size * size;
    return RGBColor(std::uint8_t(r / n), std::uint8_t(g / n), std::uint8_t(b / n));
}

// Red, green, blue and yellow quarters: an exchange of red and blue cannot go unnoticed.
TBitmap Quarters(TPixelFormat pf)
{
    TBitmap bmp = test::MakeBitmap(64, 64, [](int x, int y) {
        static const TColor colours[4] = {RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255),
                                          RGBColor(255, 255, 0)};
        return colours[(y / 32) * 2 + x / 32];
    });
    bmp.SetPixelFormat(pf);
    return bmp;
}

class ColourOrder : public ::testing::TestWithParam<TPixelFormat> {};

TEST_P(ColourOrder, EveryPixelFormatRoundTripsWithoutChannelExchange)
{
    const TBitmap source = Quarters(GetParam());
    TJPEGImage back;
    Load(back, Encode(source, 100));
    const TBitmap& decoded = back.Bitmap();
    ASSERT_EQ(decoded.PixelFormat(), pf24bit);
    for (const auto& [x, y] : {std::pair{8, 8}, {40, 8}, {8, 40}, {40, 40}}) {
        const TColor want = source.Pixel(x, y), got = Average(decoded, x, y, 16);
        EXPECT_NEAR(ColorRed(got), ColorRed(want), 8) << x << "," << y;
        EXPECT_NEAR(ColorGreen(got), ColorGreen(want), 8) << x << "," << y;
        EXPECT_NEAR(ColorBlue(got), ColorBlue(want), 8) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ColourOrder, ::testing::Values(pf8bit, pf15bit, pf16bit, pf24bit, pf32bit));

TEST(JPEGImage, DecodesLikeTheReferenceDecoder)
{
    GZ_REQUIRE_TESTDATA(dir);
    TJPEGImage jpeg;
    Load(jpeg, ReadFile(dir / "jpeg" / "testorig.jpg"));
    EXPECT_EQ(jpeg.Width(), 227);
    EXPECT_EQ(jpeg.Height(), 149);
    EXPECT_FALSE(jpeg.Progressive());
    const Bytes ppm = ReadFile(dir / "jpeg" / "testorig.ppm"); // red, green, blue after a 15-byte header
    ASSERT_EQ(ppm.size(), 15u + 227 * 149 * 3);
    const TBitmap& bmp = jpeg.Bitmap();
    ASSERT_EQ(bmp.PixelFormat(), pf24bit);
    int worst = 0;
    for (int y = 0; y < 149; ++y)
        for (int x = 0; x < 227; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(bmp.ScanLine(y)[3 * x + 2 - c]) - ppm[15 + (y * 227 + x) * 3 + c]));
    EXPECT_LE(worst, 4); // another IDCT or upsampler release may round differently
}

TEST(JPEGImage, QualityReachesTheEncoderWithBaselineTables)
{
    const TBitmap noise = test::NoiseBitmap(96, 80, 7);
    const Bytes low = Encode(noise, 1), high = Encode(noise, 100);
    EXPECT_LT(low.size() * 3, high.size());
    for (const auto& [file, expectMax] : {std::pair{&low, 255}, {&high, 1}}) {
        int tables = 0, largest = 0;
        for (const auto& [marker, body] : ParseMarkers(*file).segments) {
            if (marker != 0xDB)
                continue;
            for (std::size_t i = 0; i + 65 <= body.size(); i += 65, ++tables) {
                EXPECT_EQ(body[i] >> 4, 0) << "16-bit table: not baseline";
                largest = std::max(largest, int(*std::max_element(body.begin() + long(i) + 1, body.begin() + long(i) + 65)));
            }
        }
        EXPECT_EQ(tables, 2);
        EXPECT_EQ(largest, expectMax);
    }
}

TEST(JPEGImage, ProgressiveOutputHasSeveralScansAndReadsBackAsProgressive)
{
    const TBitmap noise = test::NoiseBitmap(50, 40, 3);
    const Bytes progressive = Encode(noise, 90, true), baseline = Encode(noise, 90, false);
    EXPECT_GT(ParseMarkers(progressive).scans, 1);
    EXPECT_EQ(ParseMarkers(baseline).scans, 1);
    TJPEGImage back;
    Load(back, progressive);
    EXPECT_TRUE(back.Progressive());
    EXPECT_EQ(back.Bitmap().Width(), 50);
    Load(back, baseline);
    EXPECT_FALSE(back.Progressive());
}

TEST(JPEGImage, GreyEncodingWritesOneComponentAndSavesToAFile)
{
    TJPEGImage jpeg;
    jpeg.Assign(Quarters(pf24bit));
    jpeg.SetGrayScale(true);
    const auto path = std::filesystem::temp_directory_path() / "gazorin-jpeg-test.jpg";
    jpeg.SaveToFile(path.string());
    EXPECT_TRUE(jpeg.Data().Gray);

    TJPEGImage back;
    back.LoadFromFile(path.string());
    std::filesystem::remove(path);
    EXPECT_TRUE(back.Data().Gray);
    EXPECT_EQ(back.Bitmap().PixelFormat(), pf8bit);
    EXPECT_EQ(back.Width(), 64);
}

// Files that load and decode, and files the library refuses with its own message code.
struct SampleCase {
    const char* file;
    int width, height;
    TPixelFormat format;
    bool progressive;
    int refusedWith = 0; // libjpeg message code, 0: decodes
};

class Samples : public ::testing::TestWithParam<SampleCase> {};

TEST_P(Samples, LoadAndDecode)
{
    GZ_REQUIRE_TESTDATA(dir);
    const SampleCase& c = GetParam();
    TJPEGImage jpeg;
    try {
        Load(jpeg, ReadFile(dir / "jpeg" / c.file));
        jpeg.DIBNeeded();
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.MessageCode(), c.refusedWith) << e.what();
        EXPECT_EQ(e.Message(), "JPEG エラー #" + std::to_string(e.MessageCode()));
        return;
    }
    ASSERT_EQ(c.refusedWith, 0) << "decoded a file the library should refuse";
    EXPECT_EQ(jpeg.Bitmap().Width(), c.width);
    EXPECT_EQ(jpeg.Bitmap().Height(), c.height);
    EXPECT_EQ(jpeg.Bitmap().PixelFormat(), c.format);
    EXPECT_EQ(jpeg.Progressive(), c.progressive);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Samples,
    ::testing::Values(SampleCase{"testimgp.jpg", 227, 149, pf24bit, true},
                      SampleCase{"testimgari.jpg", 227, 149, pf24bit, false},
                      SampleCase{"testimgcrop.jpg", 124, 92, pf24bit, false},
                      SampleCase{"testimgfst100.jpg", 227, 149, pf24bit, false},
                      SampleCase{"pillow-extra/truncated_jpeg.jpg", 100, 100, pf24bit, true},
                      SampleCase{"pillow-extra/iptc.jpg", 640, 480, pf24bit, false},
                      SampleCase{"pillow-extra/hopper_16bit_qtables.jpg", 128, 128, pf24bit, false},
                      // four components (Adobe CMYK) become blue-green-red rows
                      SampleCase{"pillow-extra/pil_sample_cmyk.jpg", 100, 100, pf24bit, false},
                      SampleCase{"monkey12.jpg", 0, 0, pf24bit, false, JERR_BAD_PRECISION}));

TEST(JPEGImage, DecodingSettings)
{
    GZ_REQUIRE_TESTDATA(dir);
    TJPEGImage jpeg;
    Load(jpeg, ReadFile(dir / "jpeg" / "testorig.jpg"));
    jpeg.SetScaleShift(1);
    EXPECT_EQ(jpeg.Width(), 114); // before decoding: the scaled header size
    EXPECT_EQ(jpeg.Bitmap().Width(), 114);
    EXPECT_EQ(jpeg.Bitmap().Height(), 75);

    jpeg.SetEightBitOutput(true); // drops the bitmap decoded with the old settings
    ASSERT_EQ(jpeg.Bitmap().PixelFormat(), pf8bit);
    EXPECT_LE(jpeg.Palette().size(), 236u);
    EXPECT_GT(jpeg.Palette().size(), 16u);

    const std::vector<TPaletteEntry> twoColours = {{0, 0, 0}, {255, 255, 255}};
    jpeg.SetPalette(twoColours); // an outside palette becomes the colour map
    EXPECT_EQ(jpeg.Bitmap().Palette(), twoColours);
}

TEST(JPEGImage, GreyFilesDecodeToEightBitsWith236GreyLevels)
{
    GZ_REQUIRE_TESTDATA(dir);
    TJPEGImage jpeg;
    Load(jpeg, ReadFile(dir / "jpeg" / "testimggray.jpg"));
    const TBitmap& bmp = jpeg.Bitmap();
    ASSERT_EQ(bmp.PixelFormat(), pf8bit);
    EXPECT_EQ(bmp.Width(), 227);
    const auto palette = bmp.Palette();
    ASSERT_EQ(palette.size(), 236u);
    EXPECT_EQ(palette.front(), (TPaletteEntry{0, 0, 0}));
    EXPECT_EQ(palette.back(), (TPaletteEntry{255, 255, 255}));
    for (const TPaletteEntry& e : palette)
        EXPECT_TRUE(e.Red == e.Green && e.Green == e.Blue);
}

TEST(JPEGImage, TruncatedFileOpensAndDecodesWithoutError)
{
    GZ_REQUIRE_TESTDATA(dir);
    Bytes bytes = ReadFile(dir / "jpeg" / "testorig.jpg");
    bytes.resize(bytes.size() / 2);
    TJPEGImage jpeg;
    Load(jpeg, bytes);
    TBitmap bmp;
    EXPECT_NO_THROW(bmp.Assign(jpeg));
    EXPECT_EQ(bmp.Width(), 227);
    EXPECT_EQ(bmp.Height(), 149);
}

TEST(JPEGImage, EmptyFileFailsWithTheEmptyInputCodeWhenTheBitmapIsRequested)
{
    TJPEGImage jpeg;
    Load(jpeg, {});
    EXPECT_TRUE(jpeg.Empty());
    TBitmap bmp;
    try {
        bmp.Assign(jpeg);
        FAIL() << "no error";
    } catch (const EJPEG& e) {
        EXPECT_EQ(e.MessageCode(), JERR_INPUT_EMPTY);
        EXPECT_EQ(e.Message(), "JPEG エラー #" + std::to_string(JERR_INPUT_EMPTY));
    }
}

TEST(JPEGImage, CopiesShareDataAndKeepItWhenTheOriginalChanges)
{
    TJPEGImage original;
    Load(original, Encode(test::NoiseBitmap(20, 10, 1), 80));
    TJPEGImage copy;
    copy.Assign(original);
    EXPECT_TRUE(copy.SharesDataWith(original));
    EXPECT_TRUE(copy.Equals(original));
    const Bytes before = Save(copy);

    original.Assign(test::NoiseBitmap(30, 30, 2));
    EXPECT_FALSE(copy.SharesDataWith(original));
    EXPECT_EQ(Save(copy), before);
    EXPECT_EQ(copy.Width(), 20);
    EXPECT_EQ(original.Width(), 30);
    EXPECT_FALSE(copy.Equals(original));
}

TEST(JPEGImage, RefusesResizingAndEncodesNothingForAnEmptyBitmap)
{
    TJPEGImage jpeg;
    jpeg.Assign(TBitmap());
    EXPECT_TRUE(Save(jpeg).empty());
    try {
        jpeg.SetWidth(10);
        FAIL() << "no error";
    } catch (const EInvalidGraphicOperation& e) {
        EXPECT_STREQ(e.what(), "JPEG イメージのサイズは変更できません");
    }
    EXPECT_THROW(jpeg.SetHeight(10), EInvalidGraphicOperation);
}

// Accepts a number of bytes, then stores nothing more.
class FullStream : public TMemoryStream {
public:
    explicit FullStream(std::size_t room) : room_(room) {}
    std::size_t Write(const void* buffer, std::size_t count) override
    {
        const std::size_t n = std::min(count, room_);
        room_ -= n;
        return n == 0 ? 0 : TMemoryStream::Write(buffer, n);
    }

private:
    std::size_t room_;
};

TEST(JPEGImage, AShortWriteRaisesTheLibraryWriteError)
{
    const TBitmap noise = test::NoiseBitmap(200, 200, 5);
    for (const std::size_t room : {std::size_t(0), std::size_t(5000)}) { // a full block, the final partial block
        FullStream out(room);
        try {
            EncodeJPEG(noise, out, {});
            FAIL() << "no error";
        } catch (const EJPEG& e) {
            EXPECT_EQ(e.MessageCode(), JERR_FILE_WRITE);
        }
    }
    // A stream that raises its own error keeps it: it passes through the library unchanged.
    struct FailingStream : TMemoryStream {
        std::size_t Write(const void*, std::size_t) override { throw EWriteError("disk full"); }
    } failing;
    EXPECT_THROW(EncodeJPEG(noise, failing, {}), EWriteError);
}

TEST(JPEGImage, EmbeddedDataRoundTripsAndRejectsBadLengths)
{
    TJPEGImage jpeg;
    jpeg.Assign(test::NoiseBitmap(16, 16, 9));
    TMemoryStream embedded;
    jpeg.WriteEmbeddedData(embedded);
    embedded.SetPosition(0);
    TJPEGImage back;
    back.ReadEmbeddedData(embedded);
    EXPECT_TRUE(back.Equals(jpeg));
    EXPECT_EQ(back.Width(), 16);

    const std::uint8_t tooLong[] = {0x10, 0, 0, 0, 0xFF, 0xD8};
    TMemoryViewStream bad(tooLong, sizeof tooLong);
    EXPECT_THROW(back.ReadEmbeddedData(bad), EReadError);
}

TEST(JPEGImage, AnAbortFromTheProgressListenerEndsQuietly)
{
    TJPEGImage jpeg;
    jpeg.Assign(test::NoiseBitmap(16, 16, 4));
    jpeg.OnProgress = [](TGraphic&, TProgressStage stage, std::uint8_t, bool, const TRect&, const std::string&) {
        if (stage == psStarting)
            throw EAbort();
    };
    EXPECT_TRUE(Save(jpeg).empty());
}

TEST(JPEGImage, RegistersJpegThenJpg)
{
    RegisterJPEGFormats();
    EXPECT_EQ(FindPictureClass("JPG"), &JPEGImageClass());
    EXPECT_EQ(FindPictureClass("jpeg"), &JPEGImageClass());
    EXPECT_NE(BuildPictureFilter(GraphicBaseClass()).find("JPEG イメージファイル (*.jpg)|*.jpg|JPEG イメージファイル (*.jpeg)"),
              std::string::npos);
    UnregisterJPEGFormats();
    EXPECT_EQ(FindPictureClass("jpg"), nullptr);
}

} // namespace
} // namespace gz
