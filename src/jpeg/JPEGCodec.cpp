#include "jpeg/JPEGCodec.h"

#include "jpeg/JPEGColour.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <algorithm>
#include <cstring>

#include <jerror.h>

namespace gz {

namespace {

// Colours a quantised decode is reduced to, leaving room for the display's own colours.
constexpr int kQuantisedColours = 236;
// Rows handed to the encoder per call.
constexpr JDIMENSION kEncodeRowsPerCall = 16;

void ReportStart(const TJPEGProgress& progress)
{
    if (progress)
        progress(psStarting, 0);
}

// The end report after a failure must not hide the failure itself.
void ReportEnd(const TJPEGProgress& progress, bool completed)
{
    if (!progress)
        return;
    if (completed) {
        progress(psEnding, 100);
        return;
    }
    try {
        progress(psEnding, 0);
    } catch (...) {
    }
}

std::vector<TPaletteEntry> PaletteOfColourMap(const jpeg_decompress_struct& c)
{
    std::vector<TPaletteEntry> palette(std::size_t(std::clamp(c.actual_number_of_colors, 0, 256)));
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (c.out_color_components == 1) {
            const auto v = std::uint8_t(c.colormap[0][i]);
            palette[i] = {v, v, v};
        } else { // the map follows the blue-green-red byte order of the rows
            palette[i] = {std::uint8_t(c.colormap[2][i]), std::uint8_t(c.colormap[1][i]), std::uint8_t(c.colormap[0][i])};
        }
    }
    return palette;
}

} // namespace

TJPEGHeader ReadJPEGHeader(TStream& data)
{
    jpeglib::TDecompressor d(data, nullptr);
    jpeg_decompress_struct& c = d.cinfo;
    TJPEGColour::KeepMarkers(&c);
    d.session.Run([&] { jpeg_read_header(&c, TRUE); });
    TJPEGHeader header;
    header.Orientation = JPEGOrientation(c);
    header.Width = int(c.image_width);
    header.Height = int(c.image_height);
    header.Gray = c.jpeg_color_space == JCS_GRAYSCALE;
    header.Progressive = jpeg_has_multiple_scans(&c) != 0;
    return header;
}

void DecodeJPEG(TStream& data, const TJPEGDecodeOptions& options, TBitmap& out, const TJPEGProgress& progress)
{
    jpeglib::TDecompressor d(data, &progress);
    jpeg_decompress_struct& c = d.cinfo;
    const unsigned scaleShift = unsigned(std::clamp(options.ScaleShift, 0, 3));
    const std::vector<TPaletteEntry>* external =
        options.EightBitOutput && options.ExternalPalette && !options.ExternalPalette->empty() &&
                options.ExternalPalette->size() <= 256
            ? options.ExternalPalette
            : nullptr;
    bool quantised = false;
    JOCTET* icc = nullptr;
    unsigned iccLength = 0;
    TJPEGColour::KeepMarkers(&c);
    d.session.Run([&] {
        jpeg_read_header(&c, TRUE);
        jpeg_read_icc_profile(&c, &icc, &iccLength);
    });
    const TJPEGColour colour(c, icc, iccLength);
    d.session.Run([&] {
        c.scale_num = 1;
        c.scale_denom = 1u << scaleShift;
        c.do_block_smoothing = options.Smoothing ? TRUE : FALSE;
        if (options.GrayScale)
            c.out_color_space = JCS_GRAYSCALE;
        else if (c.out_color_space != JCS_GRAYSCALE)
            c.out_color_space = colour.OutputSpace(); // blue-green-red rows, or CMYK to convert
        quantised = !colour.FourComponents() && (options.EightBitOutput || c.out_color_space == JCS_GRAYSCALE);
        if (quantised) {
            c.quantize_colors = TRUE;
            c.desired_number_of_colors = kQuantisedColours;
        }
        if (options.FastDecode) {
            c.dct_method = JDCT_IFAST;
            c.two_pass_quantize = FALSE;
            c.dither_mode = JDITHER_ORDERED;
        }
        if (quantised && external) {
            const auto count = JDIMENSION(external->size());
            c.colormap = (*c.mem->alloc_sarray)(j_common_ptr(&c), JPOOL_IMAGE, count, 3);
            for (JDIMENSION i = 0; i < count; ++i) {
                c.colormap[0][i] = (*external)[i].Blue;
                c.colormap[1][i] = (*external)[i].Green;
                c.colormap[2][i] = (*external)[i].Red;
            }
            c.actual_number_of_colors = int(count);
        }
    });

    ReportStart(progress);
    std::vector<JSAMPROW> rows;
    try {
        d.session.Run([&] { jpeg_start_decompress(&c); });
        if (c.output_components != (quantised ? 1 : colour.FourComponents() ? 4 : 3))
            throw EJPEG(JERR_CONVERSION_NOTIMPL);
        const int width = int(c.output_width), height = int(c.output_height);
        out.AllocateUninitialized(width, height, quantised ? pf8bit : pf24bit);
        if (quantised && c.colormap)
            out.SetPalette(colour.ConvertPalette(PaletteOfColourMap(c)));
        rows.resize(std::size_t(height));
        for (int y = 0; y < height; ++y)
            rows[std::size_t(y)] = out.ScanLine(y);
        const bool convert = !quantised && colour.ConvertsRows();
        // Four-component rows are decoded into a band of their own and converted into the bitmap.
        const JDIMENSION band = JDIMENSION(std::max(c.rec_outbuf_height, 1));
        std::vector<std::uint8_t> cmykBand(colour.FourComponents() ? std::size_t(width) * 4 * band : 0);
        std::vector<JSAMPROW> cmykRows(colour.FourComponents() ? band : 0);
        for (std::size_t i = 0; i < cmykRows.size(); ++i)
            cmykRows[i] = cmykBand.data() + i * std::size_t(width) * 4;
        JSAMPROW* cmyk = cmykRows.data();
        while (c.output_scanline < c.output_height) {
            const JDIMENSION first = c.output_scanline;
            JDIMENSION lines = std::min(band, c.output_height - first);
            JSAMPROW* target = cmyk ? cmyk : &rows[first];
            d.session.Run([&] { lines = jpeg_read_scanlines(&c, target, lines); });
            if (lines == 0)
                break; // cannot happen without a suspending source; finishing reports the short data
            if (convert)
                for (JDIMENSION i = 0; i < lines; ++i)
                    colour.ConvertRow(target[i], rows[first + i], std::size_t(width));
        }
        d.session.Run([&] { jpeg_finish_decompress(&c); });
    } catch (...) {
        for (std::size_t y = c.output_scanline; y < rows.size(); ++y) // rows the library never reached
            std::memset(rows[y], 0, out.RowBytes());
        ReportEnd(progress, false);
        throw;
    }
    ReportEnd(progress, true);
}

void EncodeJPEG(const TBitmap& source, TStream& dest, const TJPEGEncodeOptions& options, const TJPEGProgress& progress)
{
    if (source.Width() <= 0 || source.Height() <= 0)
        return;
    TBitmap work(source); // shares the pixels when the source is 24-bit already
    work.SetPixelFormat(pf24bit);
    const TBitmap& pixels = work;
    const int height = pixels.Height();

    jpeglib::TCompressor comp(dest, &progress);
    jpeg_compress_struct& c = comp.cinfo;
    c.image_width = JDIMENSION(pixels.Width());
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    const int quality = std::clamp(options.Quality, 1, 100);
    comp.session.Run([&] {
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, quality, TRUE);
        if (options.GrayScale)
            jpeg_set_colorspace(&c, JCS_GRAYSCALE);
        if (options.Progressive)
            jpeg_simple_progression(&c);
    });

    std::vector<JSAMPROW> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[std::size_t(y)] = const_cast<JSAMPROW>(pixels.ScanLine(y)); // the encoder only reads them
    ReportStart(progress);
    try {
        comp.session.Run([&] {
            jpeg_start_compress(&c, TRUE);
            while (c.next_scanline < c.image_height) {
                const JDIMENSION lines = std::min(kEncodeRowsPerCall, c.image_height - c.next_scanline);
                jpeg_write_scanlines(&c, &rows[c.next_scanline], lines);
            }
            jpeg_finish_compress(&c);
        });
    } catch (...) {
        ReportEnd(progress, false);
        throw;
    }
    ReportEnd(progress, true);
}

} // namespace gz
