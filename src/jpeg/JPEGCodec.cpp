#include "jpeg/JPEGCodec.h"

#include "jpeg/JPEGColour.h"
#include "jpeg/JPEGStrips.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "platform/WorkerPool.h"

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

TJPEGRowDecoder::TJPEGRowDecoder(TStream& data, const TJPEGDecodeOptions& options, const TJPEGProgress* progress)
    : d_(data, progress)
{
    jpeg_decompress_struct& c = d_.cinfo;
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
    d_.session.Run([&] {
        jpeg_read_header(&c, TRUE);
        jpeg_read_icc_profile(&c, &icc, &iccLength);
    });
    colour_ = std::make_unique<TJPEGColour>(c, icc, iccLength);
    const TJPEGColour& colour = *colour_;
    d_.session.Run([&] {
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
    quantised_ = quantised;
}

void TJPEGRowDecoder::Start()
{
    jpeg_decompress_struct& c = d_.cinfo;
    d_.session.Run([&] { jpeg_start_decompress(&c); });
    if (c.output_components != (quantised_ ? 1 : colour_->FourComponents() ? 4 : 3))
        throw EJPEG(JERR_CONVERSION_NOTIMPL);
}

TJPEGRowDecoder::~TJPEGRowDecoder() = default;

std::vector<TPaletteEntry> TJPEGRowDecoder::Palette() const
{
    return quantised_ && d_.cinfo.colormap ? colour_->ConvertPalette(PaletteOfColourMap(d_.cinfo))
                                           : std::vector<TPaletteEntry>();
}

void TJPEGRowDecoder::ReadRows(std::uint8_t* const* rows, int count)
{
    jpeg_decompress_struct& c = d_.cinfo;
    const bool four = colour_->FourComponents();
    const bool convert = !quantised_ && colour_->ConvertsRows();
    const JDIMENSION band = JDIMENSION(std::max(c.rec_outbuf_height, 1));
    const std::size_t width = c.output_width;
    // Four-component rows are decoded into a band of their own and converted into the rows.
    std::vector<JSAMPROW> fourRows;
    if (four) {
        fourComponents_.resize(width * 4 * band);
        for (JDIMENSION i = 0; i < band; ++i)
            fourRows.push_back(fourComponents_.data() + i * width * 4);
    }
    for (int done = 0; done < count && c.output_scanline < c.output_height;) {
        JDIMENSION lines = std::min({band, JDIMENSION(count - done), c.output_height - c.output_scanline});
        JSAMPROW* target = four ? fourRows.data() : const_cast<JSAMPROW*>(rows) + done;
        d_.session.Run([&] { lines = jpeg_read_scanlines(&c, target, lines); });
        if (lines == 0)
            break; // cannot happen without a suspending source; finishing reports the short data
        if (convert)
            for (JDIMENSION i = 0; i < lines; ++i)
                colour_->ConvertRow(target[i], rows[done + int(i)], width);
        done += int(lines);
    }
}

void TJPEGRowDecoder::Finish()
{
    jpeg_decompress_struct& c = d_.cinfo;
    d_.session.Run([&] { jpeg_finish_decompress(&c); });
}

void DecodeJPEG(TStream& data, const TJPEGDecodeOptions& options, TBitmap& out, const TJPEGProgress& progress)
{
    TJPEGRowDecoder decoder(data, options, &progress);
    ReportStart(progress);
    std::vector<std::uint8_t*> rows;
    try {
        decoder.Start();
        const int height = decoder.Height();
        out.AllocateUninitialized(decoder.Width(), height, decoder.Format());
        const std::vector<TPaletteEntry> palette = decoder.Palette();
        if (!palette.empty())
            out.SetPalette(palette);
        rows.resize(std::size_t(height));
        for (int y = 0; y < height; ++y)
            rows[std::size_t(y)] = out.ScanLine(y);
        decoder.ReadRows(rows.data(), height);
        decoder.Finish();
    } catch (...) {
        for (std::size_t y = std::size_t(decoder.RowsDone()); y < rows.size(); ++y) // rows the library never reached
            std::memset(rows[y], 0, out.RowBytes());
        ReportEnd(progress, false);
        throw;
    }
    ReportEnd(progress, true);
}

TJPEGRowEncoder::TJPEGRowEncoder(TStream& dest, int width, int height, const TJPEGEncodeOptions& options,
                                 const TJPEGProgress* progress)
{
    if (EncodesInStrips(width, height, options)) {
        strips_ = std::make_unique<TJPEGStripEncoder>(dest, width, height, options, progress, SharedWorkers());
        return;
    }
    whole_ = std::make_unique<jpeglib::TCompressor>(dest, progress);
    jpeg_compress_struct& c = whole_->cinfo;
    whole_->session.Run([&] {
        SetEncoderParameters(c, width, height, options, false);
        jpeg_start_compress(&c, TRUE);
    });
}

TJPEGRowEncoder::~TJPEGRowEncoder() = default;

void TJPEGRowEncoder::WriteRows(const std::uint8_t* const* rows, int count)
{
    if (strips_) {
        strips_->WriteRows(rows, count);
        return;
    }
    jpeg_compress_struct& c = whole_->cinfo;
    JSAMPROW* in = const_cast<JSAMPROW*>(rows); // the encoder only reads them
    const JDIMENSION want = JDIMENSION(count);
    whole_->session.Run([&] {
        JDIMENSION done = 0;
        while (done < want && c.next_scanline < c.image_height)
            done += jpeg_write_scanlines(&c, in + done, std::min(kEncodeRowsPerCall, want - done));
    });
}

void TJPEGRowEncoder::Finish()
{
    if (strips_) {
        strips_->Finish();
        return;
    }
    jpeg_compress_struct& c = whole_->cinfo;
    whole_->session.Run([&] { jpeg_finish_compress(&c); });
}

void EncodeJPEG(const TBitmap& source, TStream& dest, const TJPEGEncodeOptions& options, const TJPEGProgress& progress)
{
    if (source.Width() <= 0 || source.Height() <= 0)
        return;
    TBitmap work(source); // shares the pixels when the source is 24-bit already
    work.SetPixelFormat(pf24bit);
    const TBitmap& pixels = work;
    const int height = pixels.Height();
    std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[std::size_t(y)] = pixels.ScanLine(y);
    ReportStart(progress);
    try {
        TJPEGRowEncoder encoder(dest, pixels.Width(), height, options, &progress);
        encoder.WriteRows(rows.data(), height);
        encoder.Finish();
    } catch (...) {
        ReportEnd(progress, false);
        throw;
    }
    ReportEnd(progress, true);
}

} // namespace gz
