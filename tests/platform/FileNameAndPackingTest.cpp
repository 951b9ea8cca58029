#include "platform/FileExtension.h"
#include "platform/PackedIndexes.h"
#include "platform/SwapRedBlue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using namespace gz;

TEST(FileExtension, TakesTheLastDotOfTheLastPathComponent)
{
    EXPECT_EQ(FileExtension("/pictures/scan.Tar.Png"), ".Png");
    EXPECT_EQ(FileExtension("/pictures.d/scan"), "") << "a dot in a folder name is no extension";
    EXPECT_EQ(FileExtension("scan."), ".");
    EXPECT_EQ(FileExtension(""), "");
    EXPECT_EQ(UpperFileExtension("a/b.jpeg"), ".JPEG");
    EXPECT_EQ(UpperFileExtension("b.ä.png"), ".PNG");
}

TEST(PackedIndexes, SetAndReadEachPixelWithoutTouchingItsNeighbours)
{
    // Every pixel of a two-byte row gets a distinct pattern; then each is read back, and the
    // bytes hold the indexes leftmost-first in the high bits.
    std::array<std::uint8_t, 2> row{0xFF, 0xFF};
    for (std::size_t x = 0; x < 4; ++x)
        SetPackedIndex<4>(row.data(), x, unsigned(x + 1) | 0xF0);
    EXPECT_EQ(row[0], 0x12);
    EXPECT_EQ(row[1], 0x34);
    for (std::size_t x = 0; x < 4; ++x)
        EXPECT_EQ(PackedIndex<4>(row.data(), x), x + 1);

    row = {0x00, 0xFF};
    SetPackedIndex<1>(row.data(), 0, 1);
    SetPackedIndex<1>(row.data(), 7, 3);
    SetPackedIndex<1>(row.data(), 9, 0);
    EXPECT_EQ(row[0], 0x81);
    EXPECT_EQ(row[1], 0xBF);
    EXPECT_EQ(PackedIndex<1>(row.data(), 8), 1u);
    EXPECT_EQ(PackedIndex<1>(row.data(), 9), 0u);

    row = {0x1B, 0x00}; // 2 bits: 0, 1, 2, 3
    for (std::size_t x = 0; x < 4; ++x)
        EXPECT_EQ(PackedIndex<2>(row.data(), x), x);
}

TEST(SwapRedBlue, EveryLengthInPlaceAndApartLeavesTheBytesAfterTheRowAlone)
{
    for (std::size_t pixels = 0; pixels <= 40; ++pixels) {
        std::vector<std::uint8_t> src(3 * pixels + 16), expected(src.size(), 0xEE);
        for (std::size_t i = 0; i < src.size(); ++i)
            src[i] = std::uint8_t(i * 7 + 1);
        for (std::size_t p = 0; p < pixels; ++p)
            for (int c = 0; c < 3; ++c)
                expected[3 * p + std::size_t(c)] = src[3 * p + std::size_t(2 - c)];
        std::vector<std::uint8_t> apart(src.size(), 0xEE);
        SwapRedBlue(src.data(), apart.data(), pixels);
        EXPECT_EQ(apart, expected) << pixels << " pixels";
        std::vector<std::uint8_t> inPlace = src;
        SwapRedBlue(inPlace.data(), inPlace.data(), pixels);
        std::copy(src.begin() + std::ptrdiff_t(3 * pixels), src.end(), expected.begin() + std::ptrdiff_t(3 * pixels));
        EXPECT_EQ(inPlace, expected) << pixels << " pixels, in place";
    }
}
