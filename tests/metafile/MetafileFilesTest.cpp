// The public test metafiles: every one loads with the size its header gives and plays to a
// picture; those with reference renderings come close to them.

#include "MetafileBuilder.h"
#include "ReferencePng.h"

#include "support/TestData.h"

#include "platform/Canvas.h"
#include "platform/Exceptions.h"

#include <gtest/gtest.h>

#include <set>

namespace gz::test {
namespace {

struct FileCase {
    const char* path;
    int width, height;
};

// Sizes worked out by hand from each header (bounding box and units per inch, EMF frame, or
// the first window of a plain WMF), at 96 pixels per inch.
constexpr FileCase kFiles[] = {
    {"apache-poi/60677.wmf", 1693, 1143},
    {"apache-poi/63327.emf", 42, 51},
    {"apache-poi/64716_image1.wmf", 61, 41},
    {"apache-poi/64716_image2.wmf", 195, 49},
    {"apache-poi/SimpleEMF_windows.emf", 82, 61},
    {"apache-poi/bad/61294.emf", 224, 200},
    {"apache-poi/bad/61338.wmf", 102, 67},
    {"apache-poi/empty-polygon-close.wmf", 1073, 304},
    {"apache-poi/jack-sign.emf", 272, 106},
    {"apache-poi/nested_wmf.emf", 521, 377},
    {"apache-poi/santa.wmf", 181, 194},
    {"apache-poi/testException2.doc-2.wmf", 443, 182},
    {"apache-poi/vector_image.emf", 706, 578},
    {"apache-poi/wrench.emf", 224, 136},
    {"dotnet-runtime-assets/gdiwmfboundariesbug.wmf", 324, 252},
    {"dotnet-runtime-assets/milkmateya01.emf", 755, 1071},
    {"dotnet-runtime-assets/telescope_01.wmf", 490, 654},
    {"libgdiplus/test.emf", 73, 71},
    {"libgdiplus/test.wmf", 770, 649},
    {"pillow/drawing.emf", 110, 110},
    {"pillow/drawing.wmf", 110, 110},
    {"wmf2svg/fulltest.emf", 1056, 792},
    {"wmf2svg/fulltest.wmf", 1056, 816},
    {"wmf2svg/symbol-font-tables.wmf", 567, 503},
};

// Pictures that show nothing on white: one paints its shapes white by design, the other is
// damaged at its third record, before it draws anything, and its playback ends there.
const std::set<std::string> kBlank = {"apache-poi/empty-polygon-close.wmf", "apache-poi/bad/61294.emf"};

double ShareOfInk(const TBitmap& bitmap)
{
    std::vector<std::uint8_t> row(std::size_t(bitmap.Width()) * 3);
    std::size_t ink = 0;
    for (int y = 0; y < bitmap.Height(); ++y) {
        bitmap.ReadRowBGR(y, row.data());
        for (std::uint8_t v : row)
            ink += v < 200;
    }
    return double(ink) / (3.0 * bitmap.Width() * bitmap.Height());
}

TEST(MetafileFiles, EveryFileLoadsWithItsHeaderSizeAndPlays)
{
    GZ_REQUIRE_TESTDATA(root);
    const auto dir = root / "metafile";
    std::set<std::string> listed, found;
    for (const FileCase& c : kFiles)
        listed.insert(c.path);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        const std::string ext = entry.path().extension().string();
        if (ext == ".wmf" || ext == ".emf")
            found.insert(entry.path().lexically_relative(dir).generic_string());
    }
    EXPECT_EQ(found, listed) << "the table below should name every metafile of the folder";

    for (const FileCase& c : kFiles) {
        SCOPED_TRACE(c.path);
        TMetafile picture;
        try {
            picture.LoadFromFile((dir / c.path).string());
        } catch (const EInvalidGraphic& e) {
            ADD_FAILURE() << "refused: " << e.what();
            continue;
        }
        EXPECT_EQ(picture.Width(), c.width);
        EXPECT_EQ(picture.Height(), c.height);
        const TBitmap raster = RenderOnWhite(picture);
        ASSERT_EQ(raster.Width(), c.width);
        ASSERT_EQ(raster.Height(), c.height);
        if (kBlank.count(c.path))
            EXPECT_EQ(ShareOfInk(raster), 0.0);
        else
            EXPECT_GT(ShareOfInk(raster), 0.001) << "nothing was drawn";
    }
}

TEST(MetafileFiles, RenderingsComeCloseToTheReferences)
{
    GZ_REQUIRE_TESTDATA(root);
    const auto dir = root / "metafile";
    // Anti-aliasing and substituted fonts differ, so most inked 4 x 4 blocks rather than all
    // pixels must agree. fulltest.emf's reference stops after its twelfth panel (this player
    // draws all fifteen), and it shows a masked blit and a shaded triangle drawn here plainly.
    // drawing.wmf is left out: its reference is stretched to the extent of what is drawn, which
    // runs past the file's bounding box, while the bounding box is what places the picture.
    const struct {
        const char* metafile;
        const char* reference;
        double minimumShare;
    } cases[] = {
        {"wmf2svg/fulltest.wmf", "wmf2svg/fulltest.wmf.ref.png", 0.72},
        {"wmf2svg/fulltest.emf", "wmf2svg/fulltest.emf.ref.png", 0.62},
        {"dotnet-runtime-assets/gdiwmfboundariesbug.wmf", "dotnet-runtime-assets/gdiwmfboundariesbug-output.png", 0.78},
        {"pillow/drawing.emf", "pillow/drawing_emf_ref_72_144.png", 0.85},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.metafile);
        TMetafile picture;
        picture.LoadFromFile((dir / c.metafile).string());
        const TBitmap reference = ReadReferencePng(dir / c.reference);
        const TBitmap raster = RenderOnWhite(picture, reference.Width(), reference.Height());
        EXPECT_GE(ShareOfMatchingInk(raster, reference, 4, 40), c.minimumShare);
        // The measure itself must tell an empty picture apart.
        TBitmap blank(reference.Width(), reference.Height(), pf24bit);
        blank.Canvas().FillRect({0, 0, blank.Width(), blank.Height()});
        EXPECT_LT(ShareOfMatchingInk(blank, reference, 4, 40), 0.3);
    }
}

} // namespace
} // namespace gz::test
