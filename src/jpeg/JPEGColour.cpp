#include "jpeg/JPEGColour.h"

#include "photo/Orientation.h"

#include <cstdlib>
#include <cstring>

namespace gz {

void TJPEGColour::KeepMarkers(j_decompress_ptr c)
{
    jpeg_save_markers(c, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(c, JPEG_APP0 + 2, 0xFFFF);
}

TJPEGColour::TJPEGColour(const jpeg_decompress_struct& c, JOCTET* icc, unsigned iccLength)
{
    const std::unique_ptr<JOCTET, decltype(&std::free)> profile(icc, &std::free);
    using photo::TPixelLayout;
    using photo::TSrgbConversion;
    cmyk_ = c.num_components == 4 && (c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK);
    inverted_ = cmyk_ && c.saw_Adobe_marker;
    if (!icc)
        return;
    if (cmyk_) {
        conversion_ = TSrgbConversion::FromProfile(icc, iccLength,
                                                   inverted_ ? TPixelLayout::InvertedCMYK : TPixelLayout::CMYK);
    } else if (c.jpeg_color_space == JCS_GRAYSCALE) {
        paletteConversion_ = TSrgbConversion::FromProfile(icc, iccLength, TPixelLayout::Grey);
    } else if (c.num_components == 3) {
        conversion_ = TSrgbConversion::FromProfile(icc, iccLength, TPixelLayout::BGR);
        if (conversion_) // a quantised colour decode converts its palette with the same profile
            paletteConversion_ = TSrgbConversion::FromProfile(icc, iccLength, TPixelLayout::BGR);
    }
}

J_COLOR_SPACE TJPEGColour::OutputSpace() const { return cmyk_ ? JCS_CMYK : JCS_EXT_BGR; }

void TJPEGColour::ConvertRow(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels) const
{
    if (conversion_)
        conversion_->Convert(in, out, pixels);
    else if (cmyk_)
        photo::CmykToBgr(in, out, pixels, inverted_);
    else if (in != out)
        std::memcpy(out, in, pixels * 3);
}

std::vector<TPaletteEntry> TJPEGColour::ConvertPalette(std::vector<TPaletteEntry> palette) const
{
    if (!paletteConversion_ || palette.empty())
        return palette;
    const bool grey = paletteConversion_->Layout() == photo::TPixelLayout::Grey;
    std::vector<std::uint8_t> in, out(palette.size() * 3);
    for (const TPaletteEntry& e : palette) {
        if (grey) {
            in.push_back(e.Red);
        } else {
            in.insert(in.end(), {e.Blue, e.Green, e.Red});
        }
    }
    paletteConversion_->Convert(in.data(), out.data(), palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i)
        palette[i] = {out[3 * i + 2], out[3 * i + 1], out[3 * i]};
    return palette;
}

int JPEGOrientation(const jpeg_decompress_struct& c)
{
    // The first EXIF segment counts; other APP1 segments (XMP) are passed over.
    for (jpeg_saved_marker_ptr m = c.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && std::memcmp(m->data, "Exif\0", 6) == 0)
            return photo::ExifOrientation(m->data, m->data_length);
    return photo::kUpright;
}

} // namespace gz
