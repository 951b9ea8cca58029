#include "png/PngReaderRows.h"

#include "png/PngFormat.h"

#include "platform/PackedIndexes.h"
#include "platform/SwapRedBlue.h"

#include <cstdlib>
#include <cstring>

namespace gz::pngrows {

namespace {

template <std::size_t B>
void SubRow(std::uint8_t* row, std::size_t n)
{
    for (std::size_t i = B; i < n; ++i)
        row[i] = std::uint8_t(row[i] + row[i - B]);
}

void UpRow(std::uint8_t* row, const std::uint8_t* prev, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        row[i] = std::uint8_t(row[i] + prev[i]);
}

template <std::size_t B>
void AverageRow(std::uint8_t* row, const std::uint8_t* prev, std::size_t n)
{
    std::size_t i = 0;
    for (; i < B && i < n; ++i)
        row[i] = std::uint8_t(row[i] + (prev[i] >> 1));
    for (; i < n; ++i)
        row[i] = std::uint8_t(row[i] + ((unsigned(row[i - B]) + prev[i]) >> 1));
}

inline std::uint8_t PaethPredictor(int a, int b, int c)
{
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    return std::uint8_t((pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c));
}

// The channels of one pixel are independent, so B of them are worked on side by side.
template <std::size_t B>
void PaethRow(std::uint8_t* row, const std::uint8_t* prev, std::size_t n)
{
    std::size_t i = 0;
    for (; i < B && i < n; ++i)
        row[i] = std::uint8_t(row[i] + prev[i]);
    for (; i + B <= n; i += B)
        for (std::size_t c = 0; c < B; ++c)
            row[i + c] = std::uint8_t(row[i + c] + PaethPredictor(row[i + c - B], prev[i + c], prev[i + c - B]));
    for (; i < n; ++i)
        row[i] = std::uint8_t(row[i] + PaethPredictor(row[i - B], prev[i], prev[i - B]));
}

// The first row of a pass has a row of zeros above it: Up changes nothing, Average halves
// the left neighbour and Paeth predicts from the left neighbour alone.
template <std::size_t B>
bool UnfilterFirstRow(std::uint8_t filter, std::uint8_t* row, std::size_t n)
{
    switch (filter) {
    case png::ftNone:
    case png::ftUp:
        return true;
    case png::ftSub:
    case png::ftPaeth:
        SubRow<B>(row, n);
        return true;
    case png::ftAverage:
        for (std::size_t i = B; i < n; ++i)
            row[i] = std::uint8_t(row[i] + (row[i - B] >> 1));
        return true;
    default:
        return false;
    }
}

template <std::size_t B>
bool UnfilterBpp(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t n)
{
    if (!prev)
        return UnfilterFirstRow<B>(filter, row, n);
    switch (filter) {
    case png::ftNone: return true;
    case png::ftSub: SubRow<B>(row, n); return true;
    case png::ftUp: UpRow(row, prev, n); return true;
    case png::ftAverage: AverageRow<B>(row, prev, n); return true;
    case png::ftPaeth: PaethRow<B>(row, prev, n); return true;
    default: return false;
    }
}

inline void Put565(std::uint8_t* dst, unsigned r, unsigned g, unsigned b)
{
    const unsigned v = ((r >> 3) << 11) | ((g << 3) & 0x7E0) | (b >> 3);
    dst[0] = std::uint8_t(v);
    dst[1] = std::uint8_t(v >> 8);
}

} // namespace

bool Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* prev, std::size_t n, std::size_t bpp)
{
    switch (bpp) {
    case 1: return UnfilterBpp<1>(filter, row, prev, n);
    case 2: return UnfilterBpp<2>(filter, row, prev, n);
    case 3: return UnfilterBpp<3>(filter, row, prev, n);
    case 4: return UnfilterBpp<4>(filter, row, prev, n);
    case 6: return UnfilterBpp<6>(filter, row, prev, n);
    default: return UnfilterBpp<8>(filter, row, prev, n);
    }
}

void ConvertRow(TRowConversion conversion, const std::uint8_t* src, std::size_t srcBytes, std::size_t pixels,
                std::uint8_t* dst, std::uint8_t* mask)
{
    switch (conversion) {
    case rcCopy:
        std::memcpy(dst, src, srcBytes);
        return;
    case rcExpand2:
        for (std::size_t i = 0; i < pixels; i += 2) {
            const unsigned hi = (src[i >> 2] >> (6 - 2 * (i & 3))) & 3;
            const unsigned lo = i + 1 < pixels ? (src[(i + 1) >> 2] >> (6 - 2 * ((i + 1) & 3))) & 3 : 0;
            dst[i >> 1] = std::uint8_t((hi << 4) | lo);
        }
        return;
    case rcGrey16:
        for (std::size_t i = 0; i < pixels; ++i)
            dst[i] = src[2 * i];
        return;
    case rcGreyAlpha8:
        for (std::size_t i = 0; i < pixels; ++i)
            dst[i] = src[2 * i];
        if (mask)
            for (std::size_t i = 0; i < pixels; ++i)
                mask[i] = std::uint8_t(255 - src[2 * i + 1]);
        return;
    case rcGreyAlpha16:
        for (std::size_t i = 0; i < pixels; ++i)
            dst[i] = src[4 * i];
        if (mask)
            for (std::size_t i = 0; i < pixels; ++i)
                mask[i] = std::uint8_t(255 - src[4 * i + 2]);
        return;
    case rcRGB8:
        SwapRedBlue(src, dst, pixels);
        return;
    case rcRGB16:
        for (std::size_t i = 0; i < pixels; ++i, src += 6, dst += 3) {
            dst[0] = src[4];
            dst[1] = src[2];
            dst[2] = src[0];
        }
        return;
    case rcRGBA8:
        for (std::size_t i = 0; i < pixels; ++i, dst += 3) {
            dst[0] = src[4 * i + 2];
            dst[1] = src[4 * i + 1];
            dst[2] = src[4 * i];
        }
        if (mask)
            for (std::size_t i = 0; i < pixels; ++i)
                mask[i] = std::uint8_t(255 - src[4 * i + 3]);
        return;
    case rcRGBA16:
        for (std::size_t i = 0; i < pixels; ++i, dst += 3) {
            dst[0] = src[8 * i + 4];
            dst[1] = src[8 * i + 2];
            dst[2] = src[8 * i];
        }
        if (mask)
            for (std::size_t i = 0; i < pixels; ++i)
                mask[i] = std::uint8_t(255 - src[8 * i + 6]);
        return;
    case rcHigh8:
        for (std::size_t i = 0; i < pixels; ++i)
            Put565(dst + 2 * i, src[3 * i], src[3 * i + 1], src[3 * i + 2]);
        return;
    case rcHighAlpha8:
        for (std::size_t i = 0; i < pixels; ++i)
            Put565(dst + 2 * i, src[4 * i], src[4 * i + 1], src[4 * i + 2]);
        if (mask)
            for (std::size_t i = 0; i < pixels; ++i)
                mask[i] = std::uint8_t(255 - src[4 * i + 3]);
        return;
    }
}

void ScatterRow(int outBits, const std::uint8_t* packed, std::size_t pixels, std::uint8_t* dst, std::size_t colStart,
                std::size_t colStep)
{
    switch (outBits) {
    case 1:
        for (std::size_t i = 0, x = colStart; i < pixels; ++i, x += colStep)
            SetPackedIndex<1>(dst, x, PackedIndex<1>(packed, i));
        return;
    case 4:
        for (std::size_t i = 0, x = colStart; i < pixels; ++i, x += colStep)
            SetPackedIndex<4>(dst, x, PackedIndex<4>(packed, i));
        return;
    case 8:
        for (std::size_t i = 0, x = colStart; i < pixels; ++i, x += colStep)
            dst[x] = packed[i];
        return;
    case 16:
        for (std::size_t i = 0, x = colStart; i < pixels; ++i, x += colStep) {
            dst[2 * x] = packed[2 * i];
            dst[2 * x + 1] = packed[2 * i + 1];
        }
        return;
    default:
        for (std::size_t i = 0, x = colStart; i < pixels; ++i, x += colStep) {
            dst[3 * x] = packed[3 * i];
            dst[3 * x + 1] = packed[3 * i + 1];
            dst[3 * x + 2] = packed[3 * i + 2];
        }
        return;
    }
}

} // namespace gz::pngrows
