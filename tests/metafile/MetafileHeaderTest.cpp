// Reading a metafile: the picture's size from each kind of header, refusal of what is not
// a usable metafile, and the picture class itself.

#include "MetafileBuilder.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <string>

namespace gz::test {
namespace {

Bytes PlaceableWithBox(int left, int top, int right, int bottom, int unitsPerInch)
{
    Bytes b = WmfBuilder(1, 1, unitsPerInch).Finish();
    const int box[] = {left, top, right, bottom};
    for (int i = 0; i < 4; ++i) {
        b[6 + 2 * i] = std::uint8_t(box[i] & 0xFF);
        b[7 + 2 * i] = std::uint8_t((box[i] >> 8) & 0xFF);
    }
    return b;
}

// A plain WMF: the placeable header dropped, the size given by a window extent.
Bytes PlainWithWindow(int width, int height)
{
    Bytes b = WmfBuilder(1, 1).Record(0x020B, {5, 7}).Record(0x020C, {height, width}).Finish();
    return Bytes(b.begin() + 22, b.end());
}

Bytes EmfWithEmptyFrame(int boundsRight, int boundsBottom)
{
    Bytes b = EmfBuilder(10, 10).Finish();
    Bytes fields;
    for (std::int64_t v : {0, 0, boundsRight, boundsBottom, 0, 0, 0, 0})
        Put32(fields, v);
    std::copy(fields.begin(), fields.end(), b.begin() + 8);
    return b;
}

struct SizeCase {
    const char* name;
    Bytes bytes;
    int width, height;
    bool enhanced;
};

TEST(MetafileHeader, PictureSizeComesFromTheHeader)
{
    const SizeCase cases[] = {
        {"placeable at 1440 units per inch", PlaceableWithBox(0, 0, 2880, 1440, 1440), 192, 96, false},
        {"placeable at 96 units per inch", PlaceableWithBox(0, 0, 50, 70, 96), 50, 70, false},
        {"placeable with a negative box", PlaceableWithBox(-1821, -2387, 64, -365, 1000), 181, 194, false},
        {"plain WMF takes its window extent", PlainWithWindow(300, 200), 300, 200, false},
        {"EMF frame at 96 pixels per inch", EmfBuilder(96, 48).Finish(), 96, 48, true},
        {"EMF without a frame uses its bounds", EmfWithEmptyFrame(49, 29), 50, 30, true},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto picture = LoadMetafile(c.bytes);
        EXPECT_EQ(picture->Width(), c.width);
        EXPECT_EQ(picture->Height(), c.height);
        EXPECT_EQ(picture->Enhanced(), c.enhanced);
        EXPECT_FALSE(picture->Empty());
    }
}

TEST(MetafileHeader, RefusesWhatIsNotAUsableMetafile)
{
    Bytes badWmfHeader = WmfBuilder(10, 10).Finish();
    badWmfHeader[24] = 40; // header words
    Bytes cutEmf = EmfBuilder(10, 10).Finish();
    cutEmf.resize(60);
    const Bytes placeable = PlaceableWithBox(0, 0, 10, 10, 96);
    const Bytes withoutWindow = WmfBuilder(1, 1).Finish();
    const Bytes text{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!', '!', '!', '!', '!'};
    const struct {
        const char* name;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {"empty file", {}, "too short"},
        {"cut placeable header", Bytes(placeable.begin(), placeable.begin() + 12), "truncated"},
        {"no units per inch", PlaceableWithBox(0, 0, 10, 10, 0), "units per inch"},
        {"bad metafile header", badWmfHeader, "not valid"},
        {"cut EMF header", cutEmf, "truncated"},
        {"plain WMF without a window", Bytes(withoutWindow.begin() + 22, withoutWindow.end()), "no size"},
        {"empty box", PlaceableWithBox(5, 5, 5, 40, 96), "empty picture size"},
        {"raster that could not exist", PlaceableWithBox(0, 0, 32767, 32767, 1), "too large"},
        {"text", text, "Not a metafile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            LoadMetafile(c.bytes);
            ADD_FAILURE() << "accepted";
        } catch (const EInvalidGraphic& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(MetafileClass, IsAPictureClassThatSavesWhatItRead)
{
    EXPECT_TRUE(MetafileClass().InheritsFrom(GraphicBaseClass()));
    const auto created = MetafileClass().Create();
    ASSERT_NE(dynamic_cast<TMetafile*>(created.get()), nullptr);
    EXPECT_TRUE(created->Empty());

    const Bytes bytes = EmfBuilder(20, 10).Record(43, {0, 0, 5, 5}).Finish();
    const auto picture = LoadMetafile(bytes);
    TMemoryStream saved;
    picture->SaveToStream(saved);
    EXPECT_EQ(Bytes(saved.Memory(), saved.Memory() + saved.Size()), bytes);

    TMetafile copy;
    copy.Assign(*picture);
    EXPECT_EQ(copy.Width(), 20);
    EXPECT_TRUE(copy.Enhanced());
}

} // namespace
} // namespace gz::test
