#include "platform/Canvas.h"
#include "support/Rasters.h"
#include "join/JoinEngine.h"

#include <gtest/gtest.h>

#include <random>

using namespace gz;
using gz::test::FirstDifference;
using gz::test::MakeBitmap;
using gz::test::NoiseBitmap;

namespace {

TABitmap Raster(const TBitmap& bmp)
{
    TABitmap r;
    r.Assign(bmp);
    return r;
}

TABitmap Solid(int w, int h, TColor c)
{
    return Raster(MakeBitmap(w, h, [c](int, int) { return c; }));
}

TImageDocument Document(const TBitmap& picture, TJoinDir dir, TJoinPos pos = jpStart, TSizeMode keep = smGrow,
                        int flips = 0)
{
    TImageDocument doc;
    doc.workBmp.Assign(picture);
    doc.joinDir = dir;
    doc.joinPos = pos;
    doc.keepSize = keep;
    doc.flips = flips;
    return doc;
}

// An independent model of the join, worked out one axis at a time instead of one direction at
// a time: along the joined axis the pictures are stacked (or, keeping the size, the new one is
// laid at the near or far edge), across it the old picture sits at the start and the new one
// where the position says. Each canvas pixel is then looked up on its own.
struct TSpan {
    int canvas, oldAt, newAt;
};

TSpan Stacked(int oldLen, int newLen, bool newFirst, bool keep)
{
    if (keep)
        return {oldLen, 0, newFirst ? 0 : oldLen - newLen};
    return newFirst ? TSpan{oldLen + newLen, newLen, 0} : TSpan{oldLen + newLen, 0, oldLen};
}

TSpan Across(int oldLen, int newLen, TJoinPos pos, bool keep)
{
    const int canvas = keep ? oldLen : std::max(oldLen, newLen);
    const int at = pos == jpCenter ? canvas / 2 - newLen / 2 : pos == jpEnd ? canvas - newLen : 0;
    return {canvas, 0, at};
}

TABitmap ModelJoin(const TImageDocument& doc, const TBitmap& picture)
{
    const TABitmap& o = doc.workBmp;
    const int ow = o.Width(), oh = o.Height(), nw = picture.Width(), nh = picture.Height();
    const bool keep = doc.keepSize == smKeep;
    const bool vertical = doc.joinDir == jdUp || doc.joinDir == jdDown;
    const bool newFirst = doc.joinDir == jdUp || doc.joinDir == jdLeft;
    TSpan xs{keep ? ow : nw, 0, 0}, ys{keep ? oh : nh, 0, 0};
    if (doc.joinDir != jdNew) {
        xs = vertical ? Across(ow, nw, doc.joinPos, keep) : Stacked(ow, nw, newFirst, keep);
        ys = vertical ? Stacked(oh, nh, newFirst, keep) : Across(oh, nh, doc.joinPos, keep);
    }
    TABitmap result(xs.canvas, ys.canvas);
    for (int y = 0; y < ys.canvas; ++y)
        for (int x = 0; x < xs.canvas; ++x) {
            TColor under = clWhite;
            const int ox = x - xs.oldAt, oy = y - ys.oldAt;
            if (doc.joinDir != jdNew && ox < ow && oy < oh && ox >= 0 && oy >= 0)
                under = o.Pixel(ox, oy);
            TColor c = under;
            const int px = x - xs.newAt, py = y - ys.newAt;
            if (px >= 0 && py >= 0 && px < nw && py < nh) {
                const TColor n = picture.Pixel((doc.flips & flipLR) ? nw - 1 - px : px,
                                               (doc.flips & flipUB) ? nh - 1 - py : py);
                c = 0;
                for (int shift : {0, 8, 16}) // each channel: (255 * new + under) / 256
                    c |= TColor(((255 * ((n >> shift) & 0xFF) + ((under >> shift) & 0xFF)) >> 8) << shift);
            }
            result.SetPixel(x, y, c);
        }
    return result;
}

class FixedPlacement : public TPlacementRequest {
public:
    explicit FixedPlacement(std::optional<TPlacement> answer) : answer_(answer) {}
    std::optional<TPlacement> AskPlacement(const TImageDocument& doc, const TABitmap& placed) override
    {
        ++calls;
        seenBase = doc.workBmp;
        seenPlaced = placed;
        return answer_;
    }
    int calls = 0;
    TABitmap seenBase, seenPlaced;

private:
    std::optional<TPlacement> answer_;
};

} // namespace

TEST(JoinEngine, MatchesAnIndependentModelForEverySetting)
{
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> size(1, 23);
    int cases = 0;
    for (TJoinDir dir : {jdNew, jdUp, jdDown, jdLeft, jdRight})
        for (TSizeMode keep : {smGrow, smKeep})
            for (TJoinPos pos : {jpStart, jpCenter, jpEnd})
                for (int flips = 0; flips <= 3; ++flips)
                    for (int round = 0; round < 4; ++round) {
                        const TBitmap old = NoiseBitmap(size(rng), size(rng), std::uint32_t(rng()));
                        const TBitmap pic = NoiseBitmap(size(rng), size(rng), std::uint32_t(rng()));
                        TImageDocument doc = Document(old, dir, pos, keep, flips);
                        const TABitmap want = ModelJoin(doc, pic);
                        ASSERT_TRUE(JoinPicture(doc, pic, nullptr));
                        ASSERT_EQ(FirstDifference(doc.workBmp, want), "")
                            << "dir " << int(dir) << " keep " << int(keep) << " pos " << int(pos) << " flips " << flips << " old "
                            << old.Width() << "x" << old.Height() << " new " << pic.Width() << "x" << pic.Height();
                        ASSERT_EQ(FirstDifference(doc.undoBmp, old), "");
                        ++cases;
                    }
    EXPECT_EQ(cases, 5 * 2 * 3 * 4 * 4);
}

TEST(JoinEngine, GrowingJoinsPlaceBothPicturesAndFillTheRestWhite)
{
    // Down, start: old 100 x 40 at the top, new 60 x 30 below it at the left.
    TImageDocument doc = Document(Solid(100, 40, clBlack), jdDown);
    ASSERT_TRUE(JoinPicture(doc, Solid(60, 30, RGBColor(10, 20, 30)), nullptr));
    ASSERT_EQ(doc.workBmp.Width(), 100);
    ASSERT_EQ(doc.workBmp.Height(), 70);
    EXPECT_EQ(doc.workBmp.Pixel(99, 39), clBlack);
    EXPECT_EQ(doc.workBmp.Pixel(0, 40), RGBColor(10, 20, 30)) << "over white a picture arrives unchanged";
    EXPECT_EQ(doc.workBmp.Pixel(59, 69), RGBColor(10, 20, 30));
    EXPECT_EQ(doc.workBmp.Pixel(60, 40), clWhite);
    EXPECT_EQ(doc.workBmp.Pixel(99, 69), clWhite);

    // Right, end: new picture at (80, 20).
    doc = Document(Solid(80, 50, clBlack), jdRight, jpEnd);
    JoinPicture(doc, Solid(20, 30, RGBColor(1, 2, 3)), nullptr);
    EXPECT_EQ(doc.workBmp.Width(), 100);
    EXPECT_EQ(doc.workBmp.Pixel(80, 19), clWhite);
    EXPECT_EQ(doc.workBmp.Pixel(80, 20), RGBColor(1, 2, 3));

    // Centre: the old picture is never centred, only the new one.
    doc = Document(Solid(50, 40, clBlack), jdDown, jpCenter);
    JoinPicture(doc, Solid(100, 30, RGBColor(1, 2, 3)), nullptr);
    EXPECT_EQ(doc.workBmp.Pixel(0, 0), clBlack);
    EXPECT_EQ(doc.workBmp.Pixel(50, 0), clWhite);
    EXPECT_EQ(doc.workBmp.Pixel(0, 40), RGBColor(1, 2, 3));
}

TEST(JoinEngine, PlacesBothPicturesWhereWorkedOutByHand)
{
    // A grey 10 x 6 picture, then a black 4 x 3 one (black lands unchanged on anything).
    struct Case {
        TJoinDir dir;
        TJoinPos pos;
        TSizeMode keep;
        int canvasW, canvasH, oldX, oldY, newX, newY; // oldX < 0: the old picture is dropped
    };
    const Case cases[] = {
        {jdUp, jpStart, smGrow, 10, 9, 0, 3, 0, 0},   {jdDown, jpEnd, smGrow, 10, 9, 0, 0, 6, 6},
        {jdLeft, jpCenter, smGrow, 14, 6, 4, 0, 0, 2}, {jdRight, jpEnd, smGrow, 14, 6, 0, 0, 10, 3},
        {jdRight, jpStart, smKeep, 10, 6, 0, 0, 6, 0}, {jdDown, jpCenter, smKeep, 10, 6, 0, 0, 3, 3},
        {jdLeft, jpEnd, smKeep, 10, 6, 0, 0, 0, 3},    {jdUp, jpEnd, smKeep, 10, 6, 0, 0, 6, 0},
        {jdNew, jpEnd, smGrow, 4, 3, -1, 0, 0, 0},     {jdNew, jpCenter, smKeep, 10, 6, -1, 0, 0, 0},
    };
    const TColor grey = RGBColor(200, 200, 200);
    for (const Case& c : cases) {
        TImageDocument doc = Document(Solid(10, 6, grey), c.dir, c.pos, c.keep);
        ASSERT_TRUE(JoinPicture(doc, Solid(4, 3, clBlack), nullptr));
        const auto inside = [](int x, int y, int left, int top, int w, int h) {
            return x >= left && y >= top && x < left + w && y < top + h;
        };
        const TBitmap want = MakeBitmap(c.canvasW, c.canvasH, [&](int x, int y) {
            if (inside(x, y, c.newX, c.newY, 4, 3))
                return clBlack;
            return c.oldX >= 0 && inside(x, y, c.oldX, c.oldY, 10, 6) ? grey : clWhite;
        });
        EXPECT_EQ(FirstDifference(doc.workBmp, want), "") << "dir " << int(c.dir) << " pos " << int(c.pos) << " keep " << int(c.keep);
    }
}

TEST(JoinEngine, CentreRoundsEachHalfDown)
{
    for (auto [canvasW, newW] : {std::pair{101, 50}, std::pair{100, 51}}) {
        TImageDocument doc = Document(Solid(canvasW, 4, clBlack), jdDown, jpCenter);
        JoinPicture(doc, Solid(newW, 2, RGBColor(9, 9, 9)), nullptr);
        EXPECT_EQ(doc.workBmp.Pixel(24, 4), clWhite);
        EXPECT_EQ(doc.workBmp.Pixel(25, 4), RGBColor(9, 9, 9));
    }
}

TEST(JoinEngine, KeepSizeLaysTheNewPictureOverTheOld)
{
    TImageDocument doc = Document(Solid(40, 30, clBlack), jdRight, jpStart, smKeep);
    JoinPicture(doc, Solid(60, 10, RGBColor(255, 128, 0)), nullptr);
    EXPECT_EQ(doc.workBmp.Width(), 40);
    EXPECT_EQ(doc.workBmp.Height(), 30);
    EXPECT_EQ(doc.workBmp.Pixel(0, 0), RGBColor(254, 127, 0)) << "brighter channels lose one level over black";
    EXPECT_EQ(doc.workBmp.Pixel(39, 9), RGBColor(254, 127, 0));
    EXPECT_EQ(doc.workBmp.Pixel(0, 10), clBlack);

    doc = Document(Solid(40, 30, clWhite), jdUp, jpStart, smKeep);
    JoinPicture(doc, Solid(10, 5, RGBColor(7, 200, 255)), nullptr);
    EXPECT_EQ(doc.workBmp.Pixel(9, 4), RGBColor(7, 200, 255)) << "over white every value stays exact";
    EXPECT_EQ(doc.workBmp.Pixel(10, 4), clWhite);
}

TEST(JoinEngine, BothFlipsTurnThePictureHalfway)
{
    const TBitmap abcd = MakeBitmap(2, 2, [](int x, int y) { return RGBColor(1 + x + 2 * y, 0, 0); });
    TImageDocument doc = Document(TBitmap(), jdNew, jpStart, smGrow, flipLR | flipUB);
    JoinPicture(doc, abcd, nullptr);
    EXPECT_EQ(doc.workBmp.Pixel(0, 0), RGBColor(4, 0, 0));
    EXPECT_EQ(doc.workBmp.Pixel(1, 0), RGBColor(3, 0, 0));
    EXPECT_EQ(doc.workBmp.Pixel(0, 1), RGBColor(2, 0, 0));
    EXPECT_EQ(abcd.Pixel(0, 0), RGBColor(1, 0, 0)) << "the caller's picture is not mirrored";
}

TEST(JoinEngine, NewWindowJoinTakesAnyFormatAs24Bits)
{
    TBitmap pal(3, 2, pf4bit);
    pal.SetPixel(1, 1, RGBColor(255, 0, 0));
    TImageDocument doc;
    ASSERT_TRUE(JoinPicture(doc, pal, nullptr));
    EXPECT_EQ(doc.workBmp.PixelFormat(), pf24bit);
    EXPECT_EQ(FirstDifference(doc.workBmp, pal), "");
    EXPECT_TRUE(doc.undoBmp.Empty());
    doc.Undo();
    EXPECT_TRUE(doc.workBmp.Empty()) << "undo after the first picture empties the window";
}

TEST(JoinEngine, CustomPlacementUsesTheWizardsCornerAndOpacity)
{
    TImageDocument doc = Document(Solid(20, 10, clBlack), jdRight, jpCustom, smGrow, flipLR);
    const TBitmap pic = MakeBitmap(4, 4, [](int x, int) { return RGBColor(x == 0 ? 200 : 100, 0, 0); });
    FixedPlacement wizard(TPlacement{{-2, 3, 2, 7}, 128});
    ASSERT_TRUE(JoinPicture(doc, pic, &wizard));
    EXPECT_EQ(wizard.calls, 1);
    EXPECT_EQ(wizard.seenPlaced.Pixel(3, 0), RGBColor(200, 0, 0)) << "the wizard sees the mirrored picture";
    EXPECT_EQ(FirstDifference(wizard.seenBase, Solid(20, 10, clBlack)), "");
    EXPECT_EQ(doc.workBmp.Width(), 24) << "the grown canvas stays";
    EXPECT_EQ(doc.workBmp.Pixel(0, 3), RGBColor(50, 0, 0)) << "(128 * 100 + 128 * 0) >> 8";
    EXPECT_EQ(doc.workBmp.Pixel(1, 3), RGBColor(100, 0, 0));
    EXPECT_EQ(doc.workBmp.Pixel(2, 3), clBlack);
    EXPECT_EQ(doc.workBmp.Pixel(0, 2), clBlack);
}

TEST(JoinEngine, CancelledPlacementKeepsThePictureButTakesTheSnapshot)
{
    const TBitmap before = NoiseBitmap(5, 5, 7);
    TImageDocument doc = Document(NoiseBitmap(3, 3, 1), jdLeft, jpCustom);
    doc.workBmp.Assign(before);
    FixedPlacement wizard(std::nullopt);
    EXPECT_FALSE(JoinPicture(doc, NoiseBitmap(2, 2, 9), &wizard));
    EXPECT_EQ(FirstDifference(doc.workBmp, before), "");
    EXPECT_EQ(FirstDifference(doc.undoBmp, before), "");
}

TEST(JoinEngine, FailedJoinKeepsThePictureAndTheUndoStep)
{
    // A join that fails midway (here the placement request runs out of memory) leaves both
    // rasters as they were, so that undo still goes back to before the last successful join.
    struct FailingPlacement : TPlacementRequest {
        std::optional<TPlacement> AskPlacement(const TImageDocument&, const TABitmap&) override
        {
            throw std::bad_alloc();
        }
    } wizard;
    TImageDocument doc = Document(NoiseBitmap(4, 3, 1), jdRight, jpCustom);
    doc.undoBmp.Assign(NoiseBitmap(2, 2, 2));
    const TBitmap work = doc.workBmp, undo = doc.undoBmp;
    EXPECT_THROW(JoinPicture(doc, NoiseBitmap(2, 2, 9), &wizard), std::bad_alloc);
    EXPECT_EQ(FirstDifference(doc.workBmp, work), "");
    EXPECT_EQ(FirstDifference(doc.undoBmp, undo), "");
}

TEST(JoinEngine, CornerDirectionsDrawNothing)
{
    for (TJoinDir dir : {jdUpLeft, jdUpRight, jdDownLeft, jdDownRight}) {
        const TBitmap before = NoiseBitmap(6, 4, std::uint32_t(dir));
        TImageDocument doc = Document(before, dir);
        EXPECT_FALSE(JoinPicture(doc, NoiseBitmap(3, 3, 1), nullptr));
        EXPECT_EQ(FirstDifference(doc.workBmp, before), "");
    }
}

TEST(JoinEngine, BlankJoinDoublesWithWhiteAndUndoRestores)
{
    const TBitmap pic = NoiseBitmap(7, 5, 3);
    TImageDocument doc = Document(pic, jdUp, jpStart, smGrow, flipLR);
    ASSERT_TRUE(JoinBlank(&doc, nullptr));
    EXPECT_EQ(doc.workBmp.Width(), 7);
    EXPECT_EQ(doc.workBmp.Height(), 10);
    EXPECT_EQ(doc.workBmp.Pixel(6, 4), clWhite);
    EXPECT_EQ(doc.workBmp.Pixel(6, 9), pic.Pixel(6, 4));

    doc.joinDir = jdNew;
    ASSERT_TRUE(JoinBlank(&doc, nullptr));
    EXPECT_EQ(FirstDifference(doc.workBmp, Solid(7, 10, clWhite)), "");
    doc.Undo();
    doc.Undo();
    EXPECT_EQ(doc.workBmp.Height(), 10) << "undo twice shows the same picture";
    EXPECT_EQ(doc.workBmp.Pixel(6, 9), pic.Pixel(6, 4));

    TImageDocument empty;
    EXPECT_FALSE(JoinBlank(&empty, nullptr));
    EXPECT_FALSE(JoinBlank(nullptr, nullptr));
}

TEST(JoinEngine, ZoomedSizesTruncate)
{
    EXPECT_EQ(ZoomedSize(101, 33), 33);
    EXPECT_EQ(ZoomedSize(640, 800), 5120);
    EXPECT_EQ(ZoomedSize(7, 10), 0);
}

TEST(JoinEngine, RasterChangedWhileTheWizardAsksDoesNotUnsettleTheJoin)
{
    // The wizard's modal wait lets other work run; here the document gets a larger raster
    // meanwhile. The join still composes from the raster its geometry was taken from.
    class Meddling : public TPlacementRequest {
    public:
        explicit Meddling(TImageDocument& doc) : doc_(doc) {}
        std::optional<TPlacement> AskPlacement(const TImageDocument&, const TABitmap& placed) override
        {
            doc_.workBmp = Solid(400, 300, clBlack);
            return TPlacement{{5, 5, 5 + placed.Width(), 5 + placed.Height()}, 255};
        }

    private:
        TImageDocument& doc_;
    };
    TImageDocument doc = Document(Solid(30, 20, RGBColor(200, 0, 0)), jdRight, jpCustom, smKeep);
    Meddling wizard(doc);
    ASSERT_TRUE(JoinPicture(doc, Solid(10, 10, clWhite), &wizard));
    ASSERT_EQ(doc.workBmp.Width(), 30);
    ASSERT_EQ(doc.workBmp.Height(), 20);
    EXPECT_EQ(doc.workBmp.Pixel(0, 0), RGBColor(200, 0, 0));
    EXPECT_EQ(doc.workBmp.Pixel(29, 19), RGBColor(200, 0, 0));
    EXPECT_EQ(doc.workBmp.Pixel(5, 5), RGBColor(254, 254, 254)); // white drawn over the old raster
}
