// Pictures through plug-ins: the decode attempt, TSPIGraphic's geometry and bitmap file image,
// and TSPIBitmap's class order, with the purpose-built test plug-ins.

#include "SusieTestKit.h"

#include "platform/Canvas.h"
#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "registry/PictureFormats.h"
#include "support/Rasters.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"

#include <gtest/gtest.h>

#include <cstring>

namespace gz::test {
namespace {

struct Report {
    TProgressStage stage;
    int percent;
    std::string message;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r)
{
    return os << "(" << int(r.stage) << ", " << r.percent << ", \"" << r.message << "\")";
}

class SPIPictureTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeSusiePictures(); }
    void TearDown() override { FinalizeSusiePictures(); }

    // Loads a copy of the test plug-in under the given name.
    TInSPI& Load(const std::string& plugin, const std::string& asName)
    {
        host.Add(TSPIs::CreateSPI(CopyTestPlugin(plugin, dir, asName)));
        return static_cast<TInSPI&>(host.Items(host.Count() - 1));
    }
    std::string Picture(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        WriteFile(dir / name, bytes);
        return dir / name;
    }
    TProgressEvent Recorder()
    {
        return [this](TGraphic&, TProgressStage stage, std::uint8_t percent, bool redraw, const TRect&,
                      const std::string& msg) {
            EXPECT_EQ(redraw, stage == psEnding);
            reports.push_back({stage, percent, msg});
        };
    }
    void ExpectCouldNotDecode(TGraphic& graphic, const std::string& file)
    {
        try {
            graphic.LoadFromFile(file);
            FAIL() << "decoded " << file;
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), "Susie Plugins could not decode");
        }
    }

    ScratchDir dir;
    TSPIs host;
    std::vector<Report> reports;
};

struct GeometryCase {
    const char* name;
    int width, height, bitCount;
    std::uint32_t clrUsed;
    int colors, infoSize;
};

class SPIGraphicGeometry : public SPIPictureTest, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(SPIGraphicGeometry, WritesTheBitmapFileImageAndRoundTrips)
{
    const GeometryCase& c = GetParam();
    Load("tp_good", "good.spi");
    const auto info = DibInfo(c.width, c.height, c.bitCount, c.clrUsed, c.colors);
    const auto bits = DibBits(c.width, c.height, c.bitCount, c.colors);
    const std::string file = Picture("pic.tst", Tstp(info, bits));

    TSPIGraphic graphic;
    graphic.LoadFromFile(file);
    EXPECT_EQ(graphic.Width(), c.width);
    EXPECT_EQ(graphic.Height(), c.height);
    EXPECT_EQ(graphic.Colors(), c.colors);
    EXPECT_EQ(graphic.InfoSize(), c.infoSize);
    EXPECT_EQ(graphic.ImageSize(), int(bits.size()));
    EXPECT_EQ(graphic.FourBit(), c.bitCount == 4);
    const auto palette = graphic.Palette();
    ASSERT_EQ(int(palette.size()), c.colors);
    if (c.colors > 1) {
        EXPECT_EQ(palette[1], (TPaletteEntry{1, 2, 3}));
    }

    TMemoryStream image;
    graphic.SaveToStream(image);
    std::vector<std::uint8_t> expected = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const std::uint32_t fileSize = 14 + std::uint32_t(c.infoSize + bits.size());
    std::memcpy(&expected[2], &fileSize, 4);
    const std::uint32_t offset = 14 + std::uint32_t(c.infoSize);
    std::memcpy(&expected[10], &offset, 4);
    expected.insert(expected.end(), info.begin(), info.begin() + c.infoSize);
    expected.insert(expected.end(), bits.begin(), bits.end());
    ASSERT_EQ(std::size_t(image.Size()), expected.size());
    EXPECT_EQ(std::memcmp(image.Memory(), expected.data(), expected.size()), 0);

    // Through the platform bitmap: same size and pixels, rows in picture order.
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(file);
    const int rows = c.height < 0 ? -c.height : c.height;
    ASSERT_EQ(bitmap.Width(), c.width);
    ASSERT_EQ(bitmap.Height(), rows);
    EXPECT_EQ(BitsPerPixel(bitmap.PixelFormat()), c.bitCount);
    if (c.bitCount <= 8) {
        EXPECT_EQ(bitmap.Palette(), palette);
    }
    const std::size_t stride = bits.size() / std::size_t(rows);
    for (int y = 0; y < rows; ++y) {
        const std::size_t source = std::size_t(c.height < 0 ? y : rows - 1 - y) * stride;
        EXPECT_EQ(std::memcmp(bitmap.ScanLine(y), &bits[source], (std::size_t(c.width) * c.bitCount + 7) / 8), 0)
            << "row " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SPIGraphicGeometry,
    ::testing::Values(GeometryCase{"four_bit", 5, 3, 4, 0, 16, 104}, GeometryCase{"four_bit_few", 7, 2, 4, 5, 5, 60},
                      GeometryCase{"one_bit", 9, 2, 1, 0, 2, 48}, GeometryCase{"eight_bit", 3, 3, 8, 0, 256, 1064},
                      GeometryCase{"true_colour", 3, 2, 24, 0, 0, 40},
                      GeometryCase{"true_colour_with_table", 3, 2, 24, 3, 3, 52},
                      GeometryCase{"top_down", 4, -3, 24, 0, 0, 40}, GeometryCase{"thirty_two", 2, 2, 32, 0, 0, 40}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SPIPictureTest, ReportsProgressAndFallsThroughFailingPlugins)
{
    Load("tp_good", "good.spi");
    Load("tp_fail", "fail.spi"); // claims ".tst" too and came last: tried first
    const std::string file = Picture("pic.tst", Tstp(DibInfo(2, 2, 24, 0, 0), DibBits(2, 2, 24)));
    TSPIGraphic graphic;
    graphic.OnProgress = Recorder();
    graphic.LoadFromFile(file);
    const std::vector<Report> expected = {
        {psStarting, 0, "Loading Graphic by Susie Plugin"},
        {psRunning, 1, "Seeking enabled Susie Plugins"},
        {psRunning, 1, "Loading by [fail.spi]"},
        {psRunning, 1, "Loading by [fail.spi]"},
        {psRunning, 1, "Loading by [good.spi]"},
        {psRunning, 1, ""},  // total 0
        {psRunning, 2, ""},  // 0 of 10
        {psRunning, 31, ""}, // 3 of 10
        {psRunning, 99, ""}, // 10 of 10
        {psEnding, 100, "Loaded Graphic by Susie Plugin"},
    };
    EXPECT_EQ(reports, expected);
    EXPECT_FALSE(graphic.Empty());
}

TEST_F(SPIPictureTest, AListenerAbortStopsThePluginAndOtherFailuresPropagate)
{
    TInSPI& spi = Load("tp_good", "good.spi");
    const std::string file = Picture("pic.tst", Tstp(DibInfo(2, 2, 24, 0, 0), DibBits(2, 2, 24)));
    TSPIGraphic graphic;
    graphic.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                             const std::string& msg) {
        reports.push_back({stage, percent, msg});
        if (percent == 31)
            throw EAbort();
    };
    ExpectCouldNotDecode(graphic, file);
    EXPECT_TRUE(graphic.Empty());
    TDynamicLibrary same;
    ASSERT_TRUE(same.Load(spi.FileName()));
    auto answers = reinterpret_cast<int (*)(int*)>(same.Symbol("TestPluginProgressAnswers"));
    int given[8] = {};
    ASSERT_EQ(answers(given), 3);
    EXPECT_EQ(given[2], 1); // told to stop
    EXPECT_EQ(reports.back(), (Report{psEnding, 100, "Loaded Graphic by Susie Plugin"}));

    reports.clear();
    graphic.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                             const std::string& msg) {
        reports.push_back({stage, percent, msg});
        if (percent == 31)
            throw std::runtime_error("listener broke");
    };
    EXPECT_THROW(graphic.LoadFromFile(file), std::runtime_error);
    EXPECT_TRUE(graphic.Empty());
    EXPECT_EQ(reports.back(), (Report{psEnding, 100, "Loaded Graphic by Susie Plugin"}));
}

TEST_F(SPIPictureTest, MacBinaryHeaderIsSkippedOnlyWhenAllowed)
{
    Load("tp_good", "good.spi");
    std::vector<std::uint8_t> bytes(128, 0xEE);
    const auto picture = Tstp(DibInfo(3, 1, 24, 0, 0), DibBits(3, 1, 24));
    bytes.insert(bytes.end(), picture.begin(), picture.end());
    const std::string file = Picture("mac.tst", bytes);

    TSPIGraphic fromFile;
    fromFile.LoadFromFile(file);
    EXPECT_EQ(fromFile.Width(), 3);
    TSPIGraphic fromMemory;
    TMemoryViewStream view(bytes.data(), bytes.size());
    fromMemory.LoadFromStreamWithName(view, "mac.tst");
    EXPECT_EQ(fromMemory.Width(), 3);
    TSPIGraphic fromOtherStream;
    TFileStream stream(file, fmOpenRead);
    stream.SetPosition(50); // the position plays no part
    fromOtherStream.LoadFromStream(stream);
    EXPECT_EQ(fromOtherStream.Width(), 3);

    host.MacBinary = false;
    TSPIGraphic off;
    ExpectCouldNotDecode(off, file);
}

TEST_F(SPIPictureTest, PluginsSeeAZeroPaddedHeaderOfTheFile)
{
    TInSPI& spi = Load("tp_good", "good.spi");
    const auto picture = Tstp(DibInfo(1, 1, 24, 0, 0), DibBits(1, 1, 24));
    const std::string file = Picture("short.tst", picture);
    TSPIGraphic graphic;
    graphic.LoadFromFile(file);
    TDynamicLibrary same;
    ASSERT_TRUE(same.Load(spi.FileName()));
    auto lastHead = reinterpret_cast<void (*)(unsigned char*)>(same.Symbol("TestPluginLastHead"));
    std::vector<std::uint8_t> head(2048);
    lastHead(head.data());
    std::vector<std::uint8_t> expected = picture;
    expected.resize(2048, 0);
    EXPECT_EQ(head, expected);

    // A file that cannot be read: the plug-ins are still asked, with a zero header.
    TSPIGraphic missing;
    ExpectCouldNotDecode(missing, dir / "missing.tst");
    lastHead(head.data());
    EXPECT_EQ(head, std::vector<std::uint8_t>(2048, 0));
}

TEST_F(SPIPictureTest, PreviewsComeFromPluginsThatHaveThem)
{
    const auto bytes = Tstp(DibInfo(4, 4, 24, 0, 0), DibBits(4, 4, 24), DibInfo(2, 1, 24, 0, 0), DibBits(2, 1, 24));
    const std::string file = Picture("pic.tst", bytes);
    Load("tp_good", "good.spi");
    auto sizeOf = [&] {
        TSPIGraphic g;
        g.LoadFromFile(file);
        return std::pair(g.Width(), g.Height());
    };
    EXPECT_EQ(sizeOf(), std::pair(4, 4));
    {
        TSPIPreviewScope preview(&host);
        EXPECT_TRUE(host.GraphicPreview);
        EXPECT_EQ(sizeOf(), std::pair(2, 1));
        host.Delete(0);
        Load("tp_nopreview", "nopreview.spi");
        EXPECT_EQ(sizeOf(), std::pair(4, 4));
    }
    EXPECT_FALSE(host.GraphicPreview);
}

struct BadCase {
    const char* name;
    std::vector<std::uint8_t> info;
    std::vector<std::uint8_t> bits;
};

std::vector<std::uint8_t> With(std::vector<std::uint8_t> v, std::size_t at, std::uint32_t value)
{
    std::memcpy(&v[at], &value, 4);
    return v;
}

class ImpossibleBitmaps : public SPIPictureTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(ImpossibleBitmaps, AreRefusedAsAFailedAttempt)
{
    Load("tp_good", "good.spi");
    const std::string file = Picture("bad.tst", Tstp(GetParam().info, GetParam().bits));
    TSPIGraphic graphic;
    ExpectCouldNotDecode(graphic, file);
    TSPIBitmap bitmap;
    ExpectCouldNotDecode(bitmap, file);
}

const std::vector<std::uint8_t> kInfo24 = DibInfo(4, 4, 24, 0, 0);
const std::vector<std::uint8_t> kBits24 = DibBits(4, 4, 24);

INSTANTIATE_TEST_SUITE_P(
    Headers, ImpossibleBitmaps,
    ::testing::Values(
        BadCase{"short_header", std::vector<std::uint8_t>(kInfo24.begin(), kInfo24.begin() + 39), kBits24},
        BadCase{"no_header", {}, kBits24},
        BadCase{"header_size_12", With(kInfo24, 0, 12), kBits24},
        BadCase{"zero_width", With(kInfo24, 4, 0), kBits24},
        BadCase{"negative_width", With(kInfo24, 4, 0xFFFFFFFF), kBits24},
        BadCase{"zero_height", With(kInfo24, 8, 0), kBits24},
        BadCase{"huge_height", With(kInfo24, 8, 0x7FFFFFFF), kBits24},
        BadCase{"lowest_height", With(kInfo24, 8, 0x80000000), kBits24},
        BadCase{"huge_width", With(kInfo24, 4, 0x7FFFFFFF), kBits24},
        BadCase{"bit_count_7", With(kInfo24, 14, 7), kBits24},
        BadCase{"compressed", With(kInfo24, 16, 1), kBits24},
        BadCase{"too_many_colours", With(kInfo24, 32, 257), std::vector<std::uint8_t>(2000)},
        BadCase{"table_missing", DibInfo(4, 4, 8, 0, 10), DibBits(4, 4, 8)},
        BadCase{"rows_missing", kInfo24, std::vector<std::uint8_t>(kBits24.begin(), kBits24.end() - 1)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SPIPictureTest, AnImpossibleBitmapGivesWayToTheNextOffset)
{
    Load("tp_good", "good.spi");
    std::vector<std::uint8_t> bytes = Tstp(With(kInfo24, 4, 100), kBits24); // rows cannot fit
    bytes.resize(128, 0);
    const auto sound = Tstp(kInfo24, kBits24);
    bytes.insert(bytes.end(), sound.begin(), sound.end());
    TSPIGraphic graphic;
    graphic.OnProgress = Recorder();
    graphic.LoadFromFile(Picture("two.tst", bytes));
    EXPECT_EQ(graphic.Width(), 4);
    EXPECT_EQ(std::count(reports.begin(), reports.end(), Report{psRunning, 1, "Loading by [good.spi]"}), 2);
}

TEST_F(SPIPictureTest, SPIBitmapTriesThePlatformBitmapInExtensionOrder)
{
    Load("tp_good", "good.spi");
    TBitmap plain(3, 2);
    plain.Canvas().Brush.Color = RGBColor(10, 20, 30);
    plain.Canvas().FillRect({0, 0, 3, 2});
    plain.SaveToFile(dir / "plain.bmp");
    const auto bmpBytes = ReadFile(dir / "plain.bmp");
    const auto tstBytes = Tstp(DibInfo(5, 1, 24, 0, 0), DibBits(5, 1, 24));

    struct Case {
        const char* name;
        const std::vector<std::uint8_t>* bytes;
        int width;
        bool pluginsAsked;
    } cases[] = {
        {"a.bmp", &bmpBytes, 3, false}, {"b.BmP", &tstBytes, 5, true},
        {"c.tst", &bmpBytes, 3, true},  {"d.tst", &tstBytes, 5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = Picture(c.name, *c.bytes);
        TSPIBitmap bitmap;
        reports.clear();
        bitmap.OnProgress = Recorder();
        bitmap.LoadFromFile(file);
        EXPECT_EQ(bitmap.Width(), c.width);
        ASSERT_FALSE(reports.empty());
        EXPECT_EQ(reports.back(), (Report{psEnding, 100, "Loaded Graphic"}));
        EXPECT_EQ(std::count_if(reports.begin(), reports.end(), [](auto& r) { return r.stage == psEnding; }), 1);
        EXPECT_EQ(reports.front().message == "Loading Graphic by Susie Plugin", c.pluginsAsked);

        TMemoryViewStream stream(c.bytes->data(), c.bytes->size());
        TSPIBitmap fromStream;
        fromStream.LoadFromStreamWithName(stream, c.name);
        EXPECT_EQ(fromStream.Width(), c.width);
    }

    // Neither reads it: the message, and the bitmap keeps what it had.
    TSPIBitmap bitmap;
    bitmap.LoadFromFile(Picture("keep.tst", tstBytes));
    ExpectCouldNotDecode(bitmap, Picture("junk.tst", {1, 2, 3}));
    EXPECT_EQ(bitmap.Width(), 5);
    try {
        bitmap.AssignGraphicAndFree(nullptr);
        FAIL();
    } catch (const EInvalidGraphic& e) {
        EXPECT_STREQ(e.what(), "Susie Plugins could not decode");
    }
}

TEST_F(SPIPictureTest, RegisteredExtensionsLoadThroughTheRegistry)
{
    Load("tp_good", "good.spi");
    const auto info = DibInfo(6, 2, 4, 0, 16);
    const std::string file = Picture("pic.TST", Tstp(info, DibBits(6, 2, 4)));
    const auto picture = LoadPictureByExtension(file);
    ASSERT_EQ(picture->ClassName(), "TSPIBitmap");
    EXPECT_EQ(picture->Width(), 6);
    EXPECT_EQ(picture->Palette().size(), 16u);

    // Assigning a plug-in graphic to a bitmap goes through the same bitmap file image.
    TSPIGraphic graphic;
    graphic.LoadFromFile(file);
    TSPIBitmap viaAssign;
    viaAssign.Assign(graphic);
    TBitmap plain;
    plain.Assign(graphic);
    EXPECT_EQ(FirstDifference(viaAssign, static_cast<TBitmap&>(*picture)), "");
    EXPECT_EQ(FirstDifference(plain, viaAssign), "");
    EXPECT_FALSE(graphic.Empty()); // assigning does not clear the source

    // Drawing stretches without blending.
    TBitmap canvas(12, 4);
    canvas.Canvas().StretchDraw({0, 0, 12, 4}, graphic);
    EXPECT_EQ(canvas.Pixel(1, 1), viaAssign.Pixel(0, 0));
    EXPECT_EQ(canvas.Pixel(11, 3), viaAssign.Pixel(5, 1));
}

} // namespace
} // namespace gz::test
