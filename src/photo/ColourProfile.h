#pragma once
// Colours of photos as the rest of the program takes them: sRGB, over white.
//
// TSrgbConversion turns pixel rows described by an embedded ICC profile into sRGB through
// Little CMS (perceptual intent). Creating one is cheap to refuse: a profile that describes
// sRGB itself, a broken one, or one whose colour space does not fit the pixels gives none,
// and the caller keeps its rows as they are. Conversions work on plain byte rows and may be
// used from several threads at once.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gz::photo {

// Pixel layouts a conversion reads. Every conversion writes blue, green, red; BGRA keeps
// the fourth byte as it is.
enum class TPixelLayout {
    Grey,         // one byte
    BGR,          // blue, green, red
    BGRA,         // blue, green, red, alpha
    CMYK,         // cyan, magenta, yellow, black; 0 = no ink
    InvertedCMYK, // the same stored inverted (255 = no ink), as Adobe writes them
};

// The chromaticities of a colour space given by numbers instead of a profile (HEIF and AVIF
// files do that): x, y of red, green, blue and white.
struct TChromaticities {
    double RedX, RedY, GreenX, GreenY, BlueX, BlueY, WhiteX, WhiteY;
};
enum class TTransfer { Srgb, Linear, Gamma22 };

class TSrgbConversion {
public:
    ~TSrgbConversion();
    TSrgbConversion(const TSrgbConversion&) = delete;
    TSrgbConversion& operator=(const TSrgbConversion&) = delete;

    // From an embedded ICC profile; none when no conversion is needed or possible.
    static std::unique_ptr<TSrgbConversion> FromProfile(const void* icc, std::size_t size, TPixelLayout layout);
    // From chromaticities and a transfer curve; none when they are sRGB's own.
    static std::unique_ptr<TSrgbConversion> FromChromaticities(const TChromaticities& c, TTransfer transfer,
                                                               TPixelLayout layout);

    // Converts pixels from in (the layout's) to out (blue, green, red; BGRA keeps its fourth
    // byte). in and out may be the same row when the layout is BGR or BGRA.
    void Convert(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) const;
    TPixelLayout Layout() const { return layout_; }
    // Bytes per pixel read from in.
    int InputBytes() const;

private:
    TSrgbConversion(void* transform, TPixelLayout layout) : transform_(transform), layout_(layout) {}
    static std::unique_ptr<TSrgbConversion> FromOpenProfile(void* profile, TPixelLayout layout);

    void* transform_;
    TPixelLayout layout_;
};

// True when the profile describes sRGB closely enough that converting would change nothing
// visible: sRGB's primaries and white and its tone curve. Reads only a few tags.
bool IsSrgbProfile(const void* icc, std::size_t size);

// CMYK without a profile: each channel = (255 - colour ink) * (255 - black ink) / 255, rounded.
void CmykToBgr(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels, bool inverted);

// A colour value c with opacity a (0 transparent … 255 opaque) laid over white:
// (c × a + 255 × (255 − a)) / 255, rounded.
constexpr std::uint8_t OverWhite(unsigned c, unsigned a) { return std::uint8_t((c * a + 255u * (255u - a) + 127u) / 255u); }

// Lays a row of blue, green, red, alpha pixels over white in place (the alpha stays).
void RowOverWhite(std::uint8_t* bgra, std::size_t pixels);
// A decoded row made ready in place: converted to sRGB when there is a conversion (of the row's
// layout, BGR or BGRA), then laid over white when it has opacity.
void FinishRow(const TSrgbConversion* conversion, std::uint8_t* row, std::size_t pixels, bool alpha);

// A colour value stored with its opacity multiplied in, taken back to the colour itself.
constexpr std::uint8_t Unmultiplied(unsigned c, unsigned a)
{
    return std::uint8_t(a == 0 ? 0 : (c * 255u + a / 2u) / a > 255u ? 255u : (c * 255u + a / 2u) / a);
}

} // namespace gz::photo
