// Every picture of the public PNG test suite against libpng, grouped by colour type, and the
// suite's corrupt files plus libpng's malformed extras.

#include "LibpngDecode.h"
#include "ReaderTestKit.h"

#include "support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

namespace gz::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> PngFiles(const fs::path& dir)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// The first differing pixel of two RGBA images; empty when equal. With lenientClear, a pixel
// that we call transparent while libpng does not is accepted (16-bit tRNS colours are
// matched by their high bytes).
std::string CompareRGBA(const TBytes& ours, const TBytes& theirs, int width, bool lenientClear)
{
    if (ours.size() != theirs.size())
        return "sizes differ";
    for (std::size_t i = 0; i < ours.size(); i += 4) {
        const bool rgbSame = std::equal(&ours[i], &ours[i] + 3, &theirs[i]);
        const bool alphaSame = ours[i + 3] == theirs[i + 3] || (lenientClear && ours[i + 3] == 0);
        if (!rgbSame || !alphaSame) {
            std::ostringstream s;
            const std::size_t p = i / 4;
            s << "pixel (" << p % std::size_t(width) << ", " << p / std::size_t(width) << "): ours " << int(ours[i])
              << "," << int(ours[i + 1]) << "," << int(ours[i + 2]) << "," << int(ours[i + 3]) << " libpng "
              << int(theirs[i]) << "," << int(theirs[i + 1]) << "," << int(theirs[i + 2]) << "," << int(theirs[i + 3]);
            return s.str();
        }
    }
    return {};
}

TPixelFormat ExpectedFormat(int colorType, int depth)
{
    if (colorType == 2 || colorType == 6)
        return pf24bit;
    if (colorType == 4 || depth >= 8)
        return pf8bit;
    return depth == 1 ? pf1bit : pf4bit;
}

bool HasChunk(const TBytes& file, const char* type)
{
    return std::search(file.begin(), file.end(), type, type + 4) != file.end();
}

class PngSuiteByColourType : public ::testing::TestWithParam<int> {};

TEST_P(PngSuiteByColourType, DecodesTheSamePixelsAsLibpng)
{
    GZ_REQUIRE_TESTDATA(data);
    int checked = 0;
    for (const fs::path& file : PngFiles(data / "pngsuite")) {
        if (file.filename().string()[0] == 'x')
            continue; // the corrupt files, below
        const TBytes bytes = ReadFileBytes(file);
        if (bytes.size() < 26 || bytes[25] != GetParam())
            continue;
        SCOPED_TRACE(file.filename().string());
        TOracleImage oracle;
        ASSERT_TRUE(DecodeWithLibpng(bytes, oracle)) << oracle.Error;

        TKroPNG png;
        ASSERT_NO_THROW(png.LoadFromFile(file.string()));
        ASSERT_EQ(png.Width(), oracle.Width);
        ASSERT_EQ(png.Height(), oracle.Height);
        EXPECT_EQ(png.ImageBitmap().PixelFormat(), ExpectedFormat(oracle.ColorType, oracle.BitDepth));
        EXPECT_EQ(png.GrayScale, oracle.ColorType == 0 || oracle.ColorType == 4);
        EXPECT_EQ(png.FileBits, (oracle.ColorType & 2) && oracle.ColorType != 3 ? 3 * oracle.BitDepth : oracle.BitDepth);
        EXPECT_EQ(png.Interlace, oracle.Interlaced ? 1 : 0);
        EXPECT_EQ(png.Gamma == 0, !HasChunk(bytes, "gAMA"));
        const bool lenient = oracle.BitDepth == 16 && HasChunk(bytes, "tRNS");
        EXPECT_EQ(CompareRGBA(FlattenRGBA(png), oracle.Rgba, oracle.Width, lenient), "");
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

std::string ColourTypeName(const ::testing::TestParamInfo<int>& info)
{
    switch (info.param) {
    case 0: return "Grey";
    case 2: return "Colour";
    case 3: return "Palette";
    case 4: return "GreyAlpha";
    default: return "ColourAlpha";
    }
}

INSTANTIATE_TEST_SUITE_P(Suite, PngSuiteByColourType, ::testing::Values(0, 2, 3, 4, 6), ColourTypeName);

// The suite's corrupt files: the refusals our reader knows, and the damage it does not look
// for (CRCs).
TEST(PngSuiteCorrupt, RefusedWithTheReadersMessagesOrReadLikeLibpng)
{
    GZ_REQUIRE_TESTDATA(data);
    const std::map<std::string, std::string> refusals = {
        {"xs1n0g01.png", png::kMsgNotPNG},    {"xs2n0g01.png", png::kMsgNotPNG},
        {"xs4n0g01.png", png::kMsgNotPNG},    {"xs7n0g01.png", png::kMsgNotPNG},
        {"xcrn0g04.png", png::kMsgNotPNG},    {"xlfn0g04.png", png::kMsgNotPNG},
        {"xc1n0g08.png", png::kMsgColorType}, {"xc9n2c08.png", png::kMsgColorType},
        {"xd0n2c08.png", png::kMsgBitDepth},  {"xd3n2c08.png", png::kMsgBitDepth},
        {"xd9n2c08.png", png::kMsgBitDepth},  {"xdtn0g01.png", png::kMsgNoImage},
    };
    const std::set<std::string> crcOnly = {"xhdn0g08.png", "xcsn0g01.png"};
    int seen = 0;
    for (const fs::path& file : PngFiles(data / "pngsuite")) {
        const std::string name = file.filename().string();
        if (name[0] != 'x')
            continue;
        SCOPED_TRACE(name);
        ++seen;
        TKroPNG png;
        if (auto it = refusals.find(name); it != refusals.end()) {
            try {
                png.LoadFromFile(file.string());
                ADD_FAILURE() << "loaded";
            } catch (const EKroPNG& e) {
                EXPECT_EQ(e.Message(), it->second);
            }
        } else {
            ASSERT_TRUE(crcOnly.count(name));
            TOracleImage oracle;
            ASSERT_TRUE(DecodeWithLibpng(ReadFileBytes(file), oracle)) << oracle.Error;
            ASSERT_NO_THROW(png.LoadFromFile(file.string()));
            EXPECT_EQ(CompareRGBA(FlattenRGBA(png), oracle.Rgba, oracle.Width, false), "");
        }
    }
    EXPECT_EQ(seen, 14);
}

// libpng's malformed extras: huge chunk lengths, bad checksums, short palettes. Each is read
// or refused with one of the codec's messages; whatever is read matches libpng.
TEST(PngSuiteCorrupt, MalformedExtrasFailCleanly)
{
    GZ_REQUIRE_TESTDATA(data);
    const std::set<std::string> messages = {png::kMsgNotPNG,       png::kMsgTwoIHDR,    png::kMsgColorType,
                                            png::kMsgCompression,  png::kMsgFilter,     png::kMsgInterlace,
                                            png::kMsgGreyBitdepth, png::kMsgGreyAlpha,  png::kMsgBitDepth,
                                            png::kMsgReadError,   png::kMsgNoHeader,   png::kMsgNoImage};
    int seen = 0;
    for (const char* folder : {"crashers", "badpal"}) {
        for (const fs::path& file : PngFiles(data / "pngsuite" / "libpng-extra" / folder)) {
            SCOPED_TRACE(file.filename().string());
            ++seen;
            const TBytes bytes = ReadFileBytes(file);
            TKroPNG png;
            try {
                LoadBytes(png, bytes);
            } catch (const EKroPNG& e) {
                EXPECT_TRUE(messages.count(e.Message())) << e.Message();
                continue;
            }
            TOracleImage oracle;
            if (!png.Empty() && DecodeWithLibpng(bytes, oracle)) {
                EXPECT_EQ(CompareRGBA(FlattenRGBA(png), oracle.Rgba, oracle.Width, false), "");
            }
        }
    }
    EXPECT_EQ(seen, 32);
}

} // namespace
} // namespace gz::test
