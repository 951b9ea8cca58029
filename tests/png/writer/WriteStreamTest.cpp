// The buffered write stream and the staged progress arithmetic.

#include "png/KroProgress.h"
#include "png/KroWriteStream.h"
#include "png/PngWriter.h"
#include "support/Rasters.h"

#include "platform/Streams.h"

#include <gtest/gtest.h>

#include <vector>

namespace gz {
namespace {

TEST(KroWriteStream, BuffersUpTo65535BytesThenFlushesFirstAndBypassesLargeWrites)
{
    TMemoryStream out;
    TKroCustomWriteStream w;
    w.Begin(out);
    std::vector<std::uint8_t> piece(5, 0xAB);
    for (int i = 0; i < 65535 / 5; ++i)
        w.WriteBytes(piece.data(), piece.size());
    EXPECT_EQ(w.Buffered(), 65535u);
    EXPECT_EQ(out.Size(), 0);
    w.WriteBytes(piece.data(), 1);
    EXPECT_EQ(out.Size(), 65535);
    EXPECT_EQ(w.Buffered(), 1u);

    w.WriteU32(0x01020304);
    std::vector<std::uint8_t> large(65520, 7);
    w.WriteBytes(large.data(), large.size());
    EXPECT_EQ(w.Buffered(), 0u);
    EXPECT_EQ(w.Total(), 65535 + 1 + 4 + 65520);
    ASSERT_EQ(out.Size(), w.Total());
    const std::uint8_t* m = out.Memory() + 65536;
    EXPECT_EQ(m[0], 1);
    EXPECT_EQ(m[1], 2);
    EXPECT_EQ(m[2], 3);
    EXPECT_EQ(m[3], 4);
    EXPECT_EQ(m[4], 7);
}

TEST(KroProgress, StagesShareWhatIsLeft)
{
    std::vector<int> reported;
    TKroProgress p([&](int v) { reported.push_back(v); });
    p.Start();
    p.OpenStage(10, 30); // 30 % of 99 = 29
    EXPECT_EQ(p.Share(), 29);
    p.Advance(5);
    p.Advance(5); // not rising: not reported again
    p.Advance(10);
    p.OpenStage(0, 100); // the rest: 70, units 0 count as 1
    EXPECT_EQ(p.Share(), 70);
    p.Advance(1);
    p.End();
    EXPECT_EQ(reported, (std::vector<int>{0, 14, 29, 99, 100}));

    // The read side clamps a finished by-units stage and measures by-bytes stages from their start.
    reported.clear();
    TKroProgress r([&](int v) { reported.push_back(v); }, true);
    r.Start();
    r.OpenByteStage(1000, 200, 50); // share 49
    r.AdvanceBytes(700);            // 49 * 500 / 1000 = 24
    r.OpenStage(3, 0);              // base 49, share 50
    r.Advance(7);
    EXPECT_EQ(reported, (std::vector<int>{0, 24, 99}));
}

TEST(KroPNGWriteStream, ReportsProgressThroughTheSourceBitmap)
{
    for (int height : {2, 40}) {
        TBitmap bmp = test::NoiseBitmap(8, height, 3);
        std::vector<int> percents;
        std::vector<TProgressStage> stages;
        bmp.OnProgress = [&](TGraphic& sender, TProgressStage stage, std::uint8_t percent, bool redraw,
                             const TRect& r, const std::string& msg) {
            EXPECT_EQ(&sender, &bmp);
            EXPECT_FALSE(redraw);
            EXPECT_EQ(r, TRect{});
            EXPECT_TRUE(msg.empty());
            percents.push_back(percent);
            stages.push_back(stage);
        };
        TKroPNGWriteStream writer;
        TMemoryStream out;
        writer.WriteBitmap(bmp, out);
        ASSERT_GE(percents.size(), 4u);
        EXPECT_EQ(percents.front(), 0);
        EXPECT_EQ(stages.front(), psStarting);
        EXPECT_EQ(percents[1], 29);
        EXPECT_EQ(percents.back(), 100);
        EXPECT_EQ(stages.back(), psEnding);
        EXPECT_EQ(percents[percents.size() - 2], height < 4 ? 99 : 29 + 70 * 38 / 40);
        for (std::size_t i = 1; i + 1 < percents.size(); ++i) {
            EXPECT_GT(percents[i], percents[i - 1]);
            EXPECT_EQ(stages[i], psRunning);
        }
        // Small pictures report every row; taller ones every fourth.
        EXPECT_EQ(percents.size(), height < 4 ? 5u : 3u + 10u);
    }
}

} // namespace
} // namespace gz
