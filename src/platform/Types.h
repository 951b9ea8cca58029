#pragma once
// Small value types shared by the platform bitmap, the graphic classes and the codecs.

#include <cstdint>
#include <functional>
#include <string>

namespace gz {

struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

struct TPoint {
    int X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

// A colour value: 0x00BBGGRR (red in the low byte), as the codecs and the canvas use it.
using TColor = std::int32_t;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = -1;

constexpr TColor RGBColor(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return TColor(r) | (TColor(g) << 8) | (TColor(b) << 16);
}
constexpr std::uint8_t ColorRed(TColor c) { return std::uint8_t(c & 0xFF); }
constexpr std::uint8_t ColorGreen(TColor c) { return std::uint8_t((c >> 8) & 0xFF); }
constexpr std::uint8_t ColorBlue(TColor c) { return std::uint8_t((c >> 16) & 0xFF); }

struct TPaletteEntry {
    std::uint8_t Red = 0, Green = 0, Blue = 0;
    bool operator==(const TPaletteEntry&) const = default;
};

// Pixel formats of the platform bitmap. pfDevice is stored as 24 bits per pixel
// and pfCustom as 15 bits per pixel (5-5-5), the way the PNG writer reads them.
enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

constexpr int BitsPerPixel(TPixelFormat pf)
{
    switch (pf) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: case pfCustom: return 16;
    case pf16bit: return 16;
    case pf32bit: return 32;
    case pfDevice: case pf24bit: return 24;
    }
    return 24;
}

constexpr bool IsPaletteFormat(TPixelFormat pf) { return pf == pf1bit || pf == pf4bit || pf == pf8bit; }

enum TProgressStage { psStarting, psRunning, psEnding };

class TGraphic;
using TNotifyEvent = std::function<void(TGraphic& sender)>;
// (sender, stage, percent done 0..100, redraw now, rectangle, message text)
using TProgressEvent = std::function<void(TGraphic& sender, TProgressStage stage, std::uint8_t percentDone,
                                          bool redrawNow, const TRect& r, const std::string& msg)>;

} // namespace gz
