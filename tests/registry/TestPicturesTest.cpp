// Every public test picture of the bitmap and icon readers either reads to the pixels of its
// reference rendering or is refused with a message; the tables below say which.
#include "PngReference.h"
#include "platform/Exceptions.h"
#include "platform/Icon.h"
#include "png/KroPNG.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace gz;
using namespace gz::test;
namespace fs = std::filesystem;

namespace {

// What a file must give: the reference it matches, or a piece of the refusal message.
struct Expectation {
    std::string file;
    std::string reference; // empty: the file is refused
    std::string refusal;   // part of the message when refused
    int tolerance = 1;
};

Expectation Reads(std::string file, std::string reference, int tolerance = 1)
{
    return {std::move(file), std::move(reference), {}, tolerance};
}
Expectation Refused(std::string file, std::string refusal) { return {std::move(file), {}, std::move(refusal)}; }

void CheckBitmapFiles(const fs::path& folder, const fs::path& references, const std::vector<Expectation>& table)
{
    for (const Expectation& e : table) {
        SCOPED_TRACE(e.file);
        TBitmap bitmap;
        if (e.reference.empty()) {
            try {
                bitmap.LoadFromFile(folder / e.file);
                ADD_FAILURE() << "read although it should be refused";
            } catch (const EInvalidGraphic& ex) {
                EXPECT_NE(std::string(ex.what()).find(e.refusal), std::string::npos) << ex.what();
            }
            continue;
        }
        try {
            bitmap.LoadFromFile(folder / e.file);
        } catch (const Exception& ex) {
            ADD_FAILURE() << "refused: " << ex.what();
            continue;
        }
        EXPECT_EQ(CompareWithReference(bitmap, ReadPngReference(references / e.reference), e.tolerance), "");
    }
}

// Every file of the folder (with the extension) must be named in the table.
void CheckTableCoversFolder(const fs::path& folder, const std::string& extension,
                            const std::vector<Expectation>& table, std::set<std::string> named = {})
{
    for (const auto& e : table)
        named.insert(fs::path(e.file).filename().string());
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == extension) {
            EXPECT_TRUE(named.count(entry.path().filename().string())) << entry.path() << " is not in the table";
        }
    }
}

} // namespace

TEST(TestPictures, BmpSuiteGoodFilesMatchTheirReferences)
{
    GZ_REQUIRE_TESTDATA(dir);
    const fs::path suite = dir / "bmp/bmpsuite";
    const std::vector<Expectation> table = {
        Reads("pal1.bmp", "pal1.png"),           Reads("pal1wb.bmp", "pal1.png"),
        Reads("pal1bg.bmp", "pal1bg.png"),       Reads("pal4.bmp", "pal4.png"),
        Reads("pal4gs.bmp", "pal4gs.png"),       Reads("pal4rle.bmp", "pal4.png"),
        Reads("pal8.bmp", "pal8.png"),           Reads("pal8-0.bmp", "pal8.png"),
        Reads("pal8gs.bmp", "pal8gs.png"),       Reads("pal8rle.bmp", "pal8.png"),
        Reads("pal8w126.bmp", "pal8w126.png"),   Reads("pal8w125.bmp", "pal8w125.png"),
        Reads("pal8w124.bmp", "pal8w124.png"),   Reads("pal8topdown.bmp", "pal8.png"),
        Reads("pal8nonsquare.bmp", "pal8nonsquare-e.png"),
        Reads("pal8os2.bmp", "pal8.png"),        Reads("pal8v4.bmp", "pal8.png"),
        Reads("pal8v5.bmp", "pal8.png"),         Reads("rgb16.bmp", "rgb16.png"),
        Reads("rgb16bfdef.bmp", "rgb16.png"),    Reads("rgb16-565.bmp", "rgb16-565.png"),
        Reads("rgb16-565pal.bmp", "rgb16-565.png"),
        Reads("rgb24.bmp", "rgb24.png"),         Reads("rgb24pal.bmp", "rgb24.png"),
        Reads("rgb32.bmp", "rgb24.png"),         Reads("rgb32bfdef.bmp", "rgb24.png"),
        Reads("rgb32bf.bmp", "rgb24.png"),
    };
    CheckTableCoversFolder(suite / "g", ".bmp", table);
    CheckBitmapFiles(suite / "g", suite / "html", table);
}

TEST(TestPictures, BmpSuiteQuestionableFilesReadOrAreRefusedWithAReason)
{
    GZ_REQUIRE_TESTDATA(dir);
    const fs::path suite = dir / "bmp/bmpsuite";
    // Pixels an RLE file skips keep colour 0, as in the "-0" renderings.
    const std::vector<Expectation> table = {
        Reads("pal1p1.bmp", "pal1p1.png"),
        Reads("pal2.bmp", "pal2.png"),
        Reads("pal2color.bmp", "pal2color.png"),
        Reads("pal4rletrns.bmp", "pal4rletrns-0.png"),
        Reads("pal4rlecut.bmp", "pal4rlecut-0.png"),
        Reads("pal8rletrns.bmp", "pal8rletrns-0.png"),
        Reads("pal8rlecut.bmp", "pal8rlecut-0.png"),
        Reads("pal8offs.bmp", "pal8.png"),
        Reads("pal8oversizepal.bmp", "pal8.png"),
        Reads("pal8os2-sz.bmp", "pal8.png"),
        Reads("pal8os2-hs.bmp", "pal8.png"),
        Reads("pal8os2sp.bmp", "pal8.png"),
        Reads("pal8os2v2.bmp", "pal8.png"),
        Reads("pal8os2v2-16.bmp", "pal8.png"),
        Reads("pal8os2v2-sz.bmp", "pal8.png"),
        Reads("pal8os2v2-40sz.bmp", "pal8.png"),
        Refused("rgb24rle24.bmp", "RLE24"),
        Refused("pal1huffmsb.bmp", "Huffman"),
        Reads("rgb16faketrns.bmp", "rgb16.png"),
        Reads("rgb16-231.bmp", "rgb16-231.png"),
        Reads("rgb16-3103.bmp", "rgb16-3103.png"),
        Reads("rgba16-4444.bmp", "rgba16-4444.png"),
        Reads("rgba16-5551.bmp", "rgba16-5551.png"),
        Reads("rgba16-1924.bmp", "rgba16-1924.png"),
        Reads("rgb24largepal.bmp", "rgb24.png"),
        Reads("rgb24prof.bmp", "rgb24.png"),
        Reads("rgb24lprof.bmp", "rgb24.png"),
        Refused("rgb24jpeg.bmp", "JPEG"),
        Refused("rgb24png.bmp", "PNG"),
        Reads("rgb32h52.bmp", "rgb24.png"),
        Reads("rgb32-xbgr.bmp", "rgb24.png"),
        Reads("rgb32fakealpha.bmp", "rgb24.png"),
        Reads("rgb32-111110.bmp", "rgb24.png"),
        Reads("rgb32-7187.bmp", "rgb32-7187.png"),
        Reads("rgba32-1.bmp", "rgba32.png"),
        Reads("rgba32-2.bmp", "rgba32.png"),
        Reads("rgba32-1010102.bmp", "rgba32-1010102.png"),
        Reads("rgba32-81284.bmp", "rgba32-81284.png"),
        Reads("rgba32-61754.bmp", "rgba32-61754.png"),
        Reads("rgba32abf.bmp", "rgba32.png"),
        Reads("rgba32h56.bmp", "rgba32.png"),
        Refused("rgba64.bmp", "64-bit"),
    };
    CheckTableCoversFolder(suite / "q", ".bmp", table, {"rgb24prof2.bmp"});
    CheckBitmapFiles(suite / "q", suite / "html", table);

    // Colour profiles are not applied: the one that would swap red and green back is ignored.
    TBitmap swapped;
    swapped.LoadFromFile(suite / "q/rgb24prof2.bmp");
    const RgbaImage reference = ReadPngReference(suite / "html/rgb24.png");
    EXPECT_EQ(swapped.Pixel(0, 0), RGBColor(reference.rgba[1], reference.rgba[0], reference.rgba[2]));

    CheckBitmapFiles(suite / "x", suite / "html", {Reads("ba-bm.bmp", "pal8.png")});
}

TEST(TestPictures, BmpSuiteBadFilesAreRefusedOrReadHarmlessly)
{
    GZ_REQUIRE_TESTDATA(dir);
    const fs::path suite = dir / "bmp/bmpsuite";
    // Wrong sizes, densities and colour counts that the reader does not rely on are
    // harmless; the pixels of those files are the ordinary ones.
    const std::vector<Expectation> table = {
        Refused("badbitcount.bmp", "bit count"),
        Reads("badbitssize.bmp", "pal1.png"),
        Reads("baddens1.bmp", "pal1.png"),
        Reads("baddens2.bmp", "pal1.png"),
        Reads("badfilesize.bmp", "pal1.png"),
        Refused("badheadersize.bmp", "header size"),
        Reads("badpalettesize.bmp", "pal8.png"),
        Refused("badplanes.bmp", "planes"),
        Refused("badrle.bmp", "past the end of a row"),
        Refused("badrlebis.bmp", "leaves the image"),
        Refused("badrleter.bmp", "leaves the image"),
        Refused("badrle4.bmp", "past the end of a row"),
        Refused("badrle4bis.bmp", "leaves the image"),
        Refused("badrle4ter.bmp", "leaves the image"),
        Refused("badwidth.bmp", "width"),
        Refused("reallybig.bmp", "cut off"), // claims more rows than the file holds
        Reads("rgb16-880.bmp", "rgb16-880.png"),
        Refused("rletopdown.bmp", "top row first"),
        Refused("shortfile.bmp", "cut off"),
    };
    CheckTableCoversFolder(suite / "b", ".bmp", table, {"pal8badindex.bmp"});
    CheckBitmapFiles(suite / "b", suite / "html", table);

    // Indexes past the colour table show black rather than reading outside it.
    TBitmap bitmap;
    bitmap.LoadFromFile(suite / "b/pal8badindex.bmp");
    EXPECT_EQ(bitmap.PixelFormat(), pf8bit);
    EXPECT_LT(bitmap.Palette().size(), 256u);
}

TEST(TestPictures, SmallBitmapsOfEveryHeaderKindMatchTheirReferences)
{
    GZ_REQUIRE_TESTDATA(dir);
    const fs::path folder = dir / "bmp/image-rs";
    std::vector<Expectation> table;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".bmp")
            table.push_back(Reads(entry.path().filename().string(), entry.path().filename().string() + ".png"));
    EXPECT_EQ(table.size(), 29u);
    CheckBitmapFiles(folder, folder / "reference", table);
    CheckBitmapFiles(folder / "bad", folder, {
        Refused("rle_overflow.bmp", "past the end of a row"),
        Refused("imagemagick_invalid_run_length_issue_2321.bmp", "past the end of a row"),
    });
    // An alpha mask given with uncompressed pixels is not used, so a strange one is harmless.
    TBitmap bitmap;
    EXPECT_NO_THROW(bitmap.LoadFromFile(folder / "bad/V5_A8_R8_G8_B8_Rgb_BadMask.bmp"));
}

TEST(TestPictures, IconsReadToTheirReferencesOrAreRefused)
{
    GZ_REQUIRE_TESTDATA(dir);
    const fs::path icons = dir / "bmp/ico";
    // Registering the PNG format is what lets icons read their PNG-compressed images.
    struct PngRegistration {
        PngRegistration() { RegisterKroPNGFormat(); }
        ~PngRegistration() { UnregisterKroPNGFormat(); }
    } png;
    struct IconCase {
        std::string file;
        std::string reference{}; // image-rs rendering, or empty
        int width = 0;           // expected size when read without a reference
        std::string refusal{};   // part of the message when refused
    };
    const std::vector<IconCase> table = {
        {"image-rs/bmp-24bpp-mask.ico", "bmp-24bpp-mask.ico.png"},
        {"image-rs/bmp-32bpp-alpha.ico", "bmp-32bpp-alpha.ico.png"},
        {"image-rs/multiple_entries_with_different_bit_depth.ico", "multiple_entries_with_different_bit_depth.ico.png"},
        {"image-rs/smile.ico", "smile.ico.png"},
        {"image-rs/two-entry-order-test.ico", "two-entry-order-test.ico.png"},
        {"image-rs/bmp-32bpp-conflicting-and-mask.ico", "", 16},
        {"image-rs/bmp_v5_with_icc.ico", "", 127},
        {"image-rs/truncated_mask_32bpp.ico", "", 64},
        {"image-rs/png-32bpp-alpha.ico", "png-32bpp-alpha.ico.png"},
        {"image-rs/png_l8.ico", "png_l8.ico.png"},
        {"image-rs/png_rgb8.ico", "png_rgb8.ico.png"},
        {"image-rs/lenient-bpp.ico", "lenient-bpp.ico.png"},
        {"image-rs/bad/Bad_smile-incorrect-image-length.ico", "", 0, "cut off"},
        {"image-rs/bad/crash-981fee302fe0fc543ee48292cc3d6ace7e97e633.ico", "", 0, "inside the file"},
        {"image-rs/bad/oom-0d0085eb7f66ea55d9119206235cd29e089b9140.ico", "", 0, "too large"},
        {"image-rs/bad/oom-ff076e7064c13ec1f8e2c5bbbfb7a77a08db2361.ico", "", 0, "inside the file"},
        {"dotnet-runtime-assets/10x16_one_entry_32bit.ico", "", 11}, // the larger of its two images
        {"dotnet-runtime-assets/16x16_one_entry_4bit.ico", "", 16},
        {"dotnet-runtime-assets/32x32_one_entry_4bit.ico", "", 32},
        {"dotnet-runtime-assets/48x48_one_entry_1bit.ico", "", 48},
        {"dotnet-runtime-assets/48x48_multiple_entries_4bit.ico", "", 48},
        {"dotnet-runtime-assets/48x48_multiple_entries_32bit.ico", "", 48},
        {"dotnet-runtime-assets/64x64_one_entry_8bit.ico", "", 64},
        {"dotnet-runtime-assets/96x96_one_entry_8bit.ico", "", 96},
        {"dotnet-runtime-assets/256x256_two_entries_multiple_bits.ico", "", 256},
        {"dotnet-runtime-assets/VisualPng.ico", "", 32},
        {"dotnet-runtime-assets/256x256_one_entry_32bit.ico", "", 256},
        {"dotnet-runtime-assets/256x256_seven_entries_multiple_bits.ico", "", 256},
        // The largest image of these two is a PNG whose image data is broken.
        {"dotnet-runtime-assets/pngwithheight_icon.ico", "", 0, "the PNG image: Read Image (PNG): Read Error"},
        {"dotnet-runtime-assets/overflowicon.ico", "", 0, "the PNG image: Read Header(PNG): not found IHDR"},
        {"dotnet-runtime-assets/invalid.ico", "", 0, "empty"},
        {"libgdiplus/test3.ico", "", 32},
        {"pillow/black_and_white.ico", "", 16},
        {"pillow/hopper.ico", "", 16},
        {"pillow/hopper_mask.ico", "", 16},
        {"pillow/python.ico", "", 48},
        {"pillow/pillow.ico", "", 256},
        {"pillow/hopper_draw.ico", "", 16},
    };
    std::set<std::string> named;
    for (const auto& c : table)
        named.insert(c.file);
    for (const auto& entry : fs::recursive_directory_iterator(icons)) {
        if (entry.path().extension() == ".ico") {
            EXPECT_TRUE(named.count(entry.path().lexically_relative(icons).string())) << entry.path();
        }
    }

    for (const IconCase& c : table) {
        SCOPED_TRACE(c.file);
        TIcon icon;
        if (!c.refusal.empty()) {
            try {
                icon.LoadFromFile(icons / c.file);
                ADD_FAILURE() << "read although it should be refused";
            } catch (const EInvalidGraphic& ex) {
                EXPECT_NE(std::string(ex.what()).find(c.refusal), std::string::npos) << ex.what();
            }
            continue;
        }
        try {
            icon.LoadFromFile(icons / c.file);
        } catch (const Exception& ex) {
            ADD_FAILURE() << "refused: " << ex.what();
            continue;
        }
        if (!c.reference.empty())
            EXPECT_EQ(CompareBGRAWithReference(icon.Image(), ReadPngReference(icons / "image-rs/reference" / c.reference), 0), "");
        else
            EXPECT_EQ(icon.Width(), c.width);
    }
}
