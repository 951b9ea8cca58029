#pragma once
// PNG file format constants and small value types shared by the PNG writer, the reader and
// the PNG picture class: signature, chunk type codes, Adam7 pass tables, the colour value
// rule, the tIME record, the gIFg record, the codec's exception class and its messages.

#include "platform/Exceptions.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace gz {

// Every failure of the PNG codec.
class EKroPNG : public EInvalidGraphic { using EInvalidGraphic::EInvalidGraphic; };

namespace png {

inline constexpr std::uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// A chunk type as the 32-bit big-endian value of its four letters.
constexpr std::uint32_t ChunkType(char a, char b, char c, char d)
{
    return (std::uint32_t(std::uint8_t(a)) << 24) | (std::uint32_t(std::uint8_t(b)) << 16) |
           (std::uint32_t(std::uint8_t(c)) << 8) | std::uint32_t(std::uint8_t(d));
}

inline constexpr std::uint32_t kIHDR = ChunkType('I', 'H', 'D', 'R');
inline constexpr std::uint32_t kPLTE = ChunkType('P', 'L', 'T', 'E');
inline constexpr std::uint32_t kIDAT = ChunkType('I', 'D', 'A', 'T');
inline constexpr std::uint32_t kIEND = ChunkType('I', 'E', 'N', 'D');
inline constexpr std::uint32_t ktIME = ChunkType('t', 'I', 'M', 'E');
inline constexpr std::uint32_t ktEXt = ChunkType('t', 'E', 'X', 't');
inline constexpr std::uint32_t ktpNG = ChunkType('t', 'p', 'N', 'G');
inline constexpr std::uint32_t kgIFg = ChunkType('g', 'I', 'F', 'g');
inline constexpr std::uint32_t kgAMA = ChunkType('g', 'A', 'M', 'A');
inline constexpr std::uint32_t kcHRM = ChunkType('c', 'H', 'R', 'M');
inline constexpr std::uint32_t ksBIT = ChunkType('s', 'B', 'I', 'T');
inline constexpr std::uint32_t kbKGD = ChunkType('b', 'K', 'G', 'D');
inline constexpr std::uint32_t ktRNS = ChunkType('t', 'R', 'N', 'S');
inline constexpr std::uint32_t kpHYs = ChunkType('p', 'H', 'Y', 's');
inline constexpr std::uint32_t kiCCP = ChunkType('i', 'C', 'C', 'P');

// Colour types of IHDR.
enum TColorType : std::uint8_t {
    ctGrey = 0, ctRGB = 2, ctPalette = 3, ctGreyAlpha = 4, ctRGBAlpha = 6
};

// Filter types of a row (its first byte in the image data).
enum TFilterType : std::uint8_t { ftNone = 0, ftSub = 1, ftUp = 2, ftAverage = 3, ftPaeth = 4 };

// Text of the Software tEXt chunk and the private chunk's tag.
inline constexpr char kSoftwareKeyword[] = "Software";
inline constexpr char kSoftwareText[] = "KroPNG ver 3.4";
inline constexpr char kCommentKeyword[] = "Comment";
inline constexpr char kPrivateTag[4] = {'K', 'r', 'o', '3'};
// tEXt keywords must be shorter than this.
inline constexpr std::size_t kMaxKeywordLength = 80;

// Adam7 passes: column start and step, row start and step.
inline constexpr int kPassCount = 7;
inline constexpr int kPassColStart[kPassCount] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr int kPassColStep[kPassCount] = {8, 8, 4, 4, 2, 2, 1};
inline constexpr int kPassRowStart[kPassCount] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr int kPassRowStep[kPassCount] = {8, 8, 8, 4, 4, 2, 2};

// Pixels (or rows) a pass takes out of a full width (or height).
constexpr std::int64_t PassColumns(int pass, std::int64_t width)
{
    return width > kPassColStart[pass] ? (width - kPassColStart[pass] + kPassColStep[pass] - 1) / kPassColStep[pass] : 0;
}
constexpr std::int64_t PassRows(int pass, std::int64_t height)
{
    return height > kPassRowStart[pass] ? (height - kPassRowStart[pass] + kPassRowStep[pass] - 1) / kPassRowStep[pass] : 0;
}

// Colour values of BackgroundColor and TransparentColor: -1 none; bit 24 set → the low byte
// is a palette index; otherwise 0x00BBGGRR.
inline constexpr std::int32_t kNoColor = -1;
inline constexpr std::int32_t kPaletteIndexFlag = 0x01000000;
constexpr bool IsNoColor(std::int32_t v) { return v == kNoColor; }
constexpr bool IsPaletteIndexColor(std::int32_t v) { return v != kNoColor && (v & kPaletteIndexFlag) != 0; }
constexpr std::uint8_t ColorIndex(std::int32_t v) { return std::uint8_t(v & 0xFF); }
constexpr std::int32_t PaletteIndexColor(std::uint8_t index) { return kPaletteIndexFlag | index; }
constexpr std::uint8_t ColorValueRed(std::int32_t v) { return std::uint8_t(v & 0xFF); }
constexpr std::uint8_t ColorValueGreen(std::int32_t v) { return std::uint8_t((v >> 8) & 0xFF); }
constexpr std::uint8_t ColorValueBlue(std::int32_t v) { return std::uint8_t((v >> 16) & 0xFF); }
constexpr std::int32_t RGBColorValue(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::int32_t(r) | (std::int32_t(g) << 8) | (std::int32_t(b) << 16);
}

// Luma of a colour as the codec computes grey: (77 R + 150 G + 29 B) >> 8.
constexpr std::uint8_t Luma(unsigned r, unsigned g, unsigned b)
{
    return std::uint8_t((77 * r + 150 * g + 29 * b) >> 8);
}

// SignificantBits: its bytes in memory order are red, green, blue, alpha (red lowest).
constexpr std::uint8_t SignificantRed(std::int32_t v) { return std::uint8_t(v & 0xFF); }
constexpr std::uint8_t SignificantGreen(std::int32_t v) { return std::uint8_t((v >> 8) & 0xFF); }
constexpr std::uint8_t SignificantBlue(std::int32_t v) { return std::uint8_t((v >> 16) & 0xFF); }
constexpr std::uint8_t SignificantAlpha(std::int32_t v) { return std::uint8_t((std::uint32_t(v) >> 24) & 0xFF); }
constexpr std::int32_t SignificantBitsValue(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a)
{
    return std::int32_t(std::uint32_t(r) | (std::uint32_t(g) << 8) | (std::uint32_t(b) << 16) | (std::uint32_t(a) << 24));
}

} // namespace png

// The tIME record: year (host order), month, day, hour, minute, second.
#pragma pack(push, 1)
struct TKroPNGTime {
    std::uint16_t Year = 0;
    std::uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
    bool operator==(const TKroPNGTime&) const = default;
};
#pragma pack(pop)
static_assert(sizeof(TKroPNGTime) == 7);

// The current time in Coordinated Universal Time.
TKroPNGTime CurrentPNGTimeUTC();

// A record passes when year > 0, month 1..12, day 1..31, hour 0..23, minute 0..59, second 0..60.
constexpr bool IsValidPNGTime(const TKroPNGTime& t)
{
    return t.Year > 0 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 && t.Hour <= 23 &&
           t.Minute <= 59 && t.Second <= 60;
}

// cHRM: white x, white y, red x, red y, green x, green y, blue x, blue y, each × 100000.
using TKroPNGChromaticity = std::array<std::int32_t, 8>;

// gIFg: disposal method, user-input flag, delay in hundredths of a second. In the file the
// delay is big-endian, as in every other PNG integer.
struct TKroPNGGifExtension {
    std::uint8_t Disposal = 0;
    std::uint8_t UserInput = 0;
    std::uint16_t Delay = 0;
    bool operator==(const TKroPNGGifExtension&) const = default;
    bool IsZero() const { return Disposal == 0 && UserInput == 0 && Delay == 0; }
};
static_assert(sizeof(TKroPNGGifExtension) == 4);

namespace png {

inline void EncodeGifExtension(const TKroPNGGifExtension& g, std::uint8_t out[4])
{
    out[0] = g.Disposal;
    out[1] = g.UserInput;
    out[2] = std::uint8_t(g.Delay >> 8);
    out[3] = std::uint8_t(g.Delay & 0xFF);
}
inline TKroPNGGifExtension DecodeGifExtension(const std::uint8_t in[4])
{
    return {in[0], in[1], std::uint16_t((in[2] << 8) | in[3])};
}

// Messages of the codec.
inline constexpr char kMsgIDATSize[] = "Write PNG Param: Err IDAT Size(min:256  max:100000)";
inline constexpr char kMsgWriteError[] = "Write Image (PNG): Write Error";
inline constexpr char kMsgNotPNG[] = "PNG LoadStream: Not PNG Format";
inline constexpr char kMsgTwoIHDR[] = "Read Header(PNG): appear two IHDR";
inline constexpr char kMsgColorType[] = "Read Header(PNG): Error ColorType";
inline constexpr char kMsgCompression[] = "Read Header(PNG): not support Compression";
inline constexpr char kMsgFilter[] = "Read Header(PNG): not supprt Filter";
inline constexpr char kMsgInterlace[] = "Read Header(PNG): not interlace type";
inline constexpr char kMsgGreyBitdepth[] = "Read Header(PNG): Error Bitdepth";
inline constexpr char kMsgGreyAlpha[] = "Read Header(PNG): not Use AlphaChannel";
inline constexpr char kMsgBitDepth[] = "Read Header(PNG): Error BitDepth";
inline constexpr char kMsgZlib[] = "PNG LoadStream: Error ZLIB";
inline constexpr char kMsgReadError[] = "Read Image (PNG): Read Error";
inline constexpr char kMsgNoHeader[] = "Read Header(PNG): not found IHDR";
inline constexpr char kMsgNoImage[] = "Read Image (PNG): not found IDAT";

} // namespace png
} // namespace gz
