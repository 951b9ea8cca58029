// The block compressor of the PNG writer: one valid zlib stream, the same bytes for every
// number of threads, and blocks that reach back into the data before them.

#include "platform/WorkerPool.h"
#include "png/BlockDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace gz {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Deflate(const Bytes& input, int level, TWorkerPool* pool, std::size_t piece)
{
    Bytes out;
    TBlockDeflater deflater(level, [&](const std::uint8_t* d, std::size_t n) { out.insert(out.end(), d, d + n); }, pool);
    for (std::size_t at = 0; at < input.size(); at += piece)
        deflater.Write(input.data() + at, std::min(piece, input.size() - at));
    deflater.Finish();
    return out;
}

Bytes Inflate(const Bytes& stream, std::size_t expected)
{
    Bytes out(expected + 1);
    uLongf length = uLongf(out.size());
    EXPECT_EQ(uncompress(out.data(), &length, stream.data(), uLong(stream.size())), Z_OK);
    out.resize(length);
    return out;
}

// Random bytes repeating every period bytes: compressible only by reaching back.
Bytes Repeating(std::size_t size, std::size_t period, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Bytes unit(period);
    for (auto& b : unit)
        b = std::uint8_t(rng());
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = unit[i % period];
    return data;
}

TEST(BlockDeflate, OneStreamWhateverTheThreadsAndPieces)
{
    constexpr std::size_t B = TBlockDeflater::kBlockSize;
    TWorkerPool two(2), four(4);
    for (std::size_t size : {std::size_t(0), std::size_t(1), B - 1, B, B + 1, 3 * B + 12345}) {
        SCOPED_TRACE(size);
        const Bytes data = Repeating(size, 997, std::uint32_t(size));
        const Bytes alone = Deflate(data, -1, nullptr, 4096);
        EXPECT_EQ(Deflate(data, -1, &two, 777), alone);
        EXPECT_EQ(Deflate(data, -1, &four, B + 3), alone);
        ASSERT_GE(alone.size(), 6u);
        EXPECT_EQ(alone[0], 0x78);
        EXPECT_EQ(alone[1], 0x9C);
        EXPECT_EQ(Inflate(alone, size), data) << "valid stream and Adler-32";
    }
}

TEST(BlockDeflate, EachBlockReachesBackIntoTheOneBefore)
{
    constexpr std::size_t B = TBlockDeflater::kBlockSize;
    // Every block starts in the middle of a 5000-byte random pattern seen just before it.
    const Bytes data = Repeating(8 * B, 5000, 3);
    const Bytes stream = Deflate(data, -1, nullptr, B);
    uLongf whole = compressBound(uLong(data.size()));
    Bytes one(whole);
    ASSERT_EQ(compress2(one.data(), &whole, data.data(), uLong(data.size()), Z_DEFAULT_COMPRESSION), Z_OK);
    // Without the 32 KB before it each block would store a whole pattern again.
    EXPECT_LT(stream.size(), whole + 8 * 100) << "one stream: " << whole;
    EXPECT_EQ(Inflate(stream, data.size()), data);
}

TEST(BlockDeflate, HeaderFollowsTheLevel)
{
    const Bytes data = Repeating(1000, 10, 1);
    const std::pair<int, std::uint8_t> levels[] = {{0, 0x01}, {1, 0x01}, {4, 0x5E}, {6, 0x9C}, {9, 0xDA}, {12, 0x9C}};
    for (const auto& [level, second] : levels) {
        const Bytes stream = Deflate(data, level, nullptr, 100);
        EXPECT_EQ(stream[1], second) << "level " << level;
        EXPECT_EQ(((stream[0] << 8) | stream[1]) % 31, 0);
        EXPECT_EQ(Inflate(stream, data.size()), data);
    }
}

} // namespace
} // namespace gz
