#pragma once
// JPEG reading and writing over libjpeg, without the lazy bookkeeping of TJPEGImage:
// header parsing, decoding into a bitmap and encoding a bitmap into a stream. Every fatal
// library error raises EJPEG; warnings (corrupt or truncated data) are ignored.

#include "jpeg/JPEGError.h"
#include "jpeg/JPEGLibrary.h"
#include "platform/Types.h"

#include <memory>
#include <vector>

namespace gz {

class TBitmap;
class TStream;
class TJPEGColour;
class TJPEGStripEncoder;

struct TJPEGHeader {
    int Width = 0;
    int Height = 0;
    bool Gray = false;        // one grey component
    bool Progressive = false; // more than one scan
    int Orientation = 1;      // the EXIF orientation tag, 1..8
};

struct TJPEGDecodeOptions {
    bool Smoothing = true;
    bool GrayScale = false;
    bool EightBitOutput = false;
    bool FastDecode = false;
    int ScaleShift = 0; // 0..3: decode at 1 / 2^n of the size
    // With EightBitOutput, the colours the picture is mapped to (none: the quantiser's choice).
    const std::vector<TPaletteEntry>* ExternalPalette = nullptr;
};

struct TJPEGEncodeOptions {
    int Quality = 90; // 1..100, baseline tables
    bool GrayScale = false;
    bool Progressive = false;
};

// The largest width and height a JPEG file can have (the library's limit).
constexpr int kMaxJPEGDimension = int(JPEG_MAX_DIMENSION);

// Decodes a JPEG file row by row, top row first, with the settings of DecodeJPEG: 24-bit
// blue-green-red rows, or 8-bit rows with a palette when the output is quantised; colours in
// sRGB (JPEGColour.h).
class TJPEGRowDecoder {
public:
    // Reads the header and sets the decoder up; Start begins decoding.
    TJPEGRowDecoder(TStream& data, const TJPEGDecodeOptions& options, const TJPEGProgress* progress = nullptr);
    ~TJPEGRowDecoder();
    TJPEGRowDecoder(const TJPEGRowDecoder&) = delete;
    TJPEGRowDecoder& operator=(const TJPEGRowDecoder&) = delete;

    void Start();
    int Width() const { return int(d_.cinfo.output_width); }
    int Height() const { return int(d_.cinfo.output_height); }
    TPixelFormat Format() const { return quantised_ ? pf8bit : pf24bit; }
    // The colours of quantised output (empty otherwise).
    std::vector<TPaletteEntry> Palette() const;
    // Rows decoded so far.
    int RowsDone() const { return int(d_.cinfo.output_scanline); }
    // Decodes the next count rows into rows[0..count).
    void ReadRows(std::uint8_t* const* rows, int count);
    void Finish();

private:
    jpeglib::TDecompressor d_;
    std::unique_ptr<TJPEGColour> colour_;
    bool quantised_ = false;
    std::vector<std::uint8_t> fourComponents_; // rows of CMYK files, before they are converted
};

// Encodes 24-bit blue-green-red rows, top row first, with the settings of EncodeJPEG. Large
// baseline pictures are encoded in strips on the shared worker pool (JPEGStrips.h).
class TJPEGRowEncoder {
public:
    // Starts the file in dest; rows follow with WriteRows and Finish ends it. Raises EJPEG
    // (the library's error) for a size JPEG cannot hold.
    TJPEGRowEncoder(TStream& dest, int width, int height, const TJPEGEncodeOptions& options,
                    const TJPEGProgress* progress = nullptr);
    ~TJPEGRowEncoder();
    TJPEGRowEncoder(const TJPEGRowEncoder&) = delete;
    TJPEGRowEncoder& operator=(const TJPEGRowEncoder&) = delete;

    void WriteRows(const std::uint8_t* const* rows, int count);
    void Finish();

private:
    std::unique_ptr<jpeglib::TCompressor> whole_;
    std::unique_ptr<TJPEGStripEncoder> strips_;
};

// Parses the header of the JPEG file in data (from position 0).
TJPEGHeader ReadJPEGHeader(TStream& data);

// Decodes the JPEG file in data (from position 0) into out: 24-bit blue-green-red rows, or an
// 8-bit bitmap of up to 236 colours when the output is quantised (grey files, EightBitOutput).
// The colours are sRGB: CMYK files and embedded colour profiles are converted (JPEGColour.h).
// When decoding fails after out was sized, out keeps the rows decoded so far and the rest is
// black; the error (or an EAbort of the progress listener) then propagates.
void DecodeJPEG(TStream& data, const TJPEGDecodeOptions& options, TBitmap& out, const TJPEGProgress& progress = {});

// Encodes a copy of source converted to 24 bits into dest; writes nothing for an empty bitmap.
void EncodeJPEG(const TBitmap& source, TStream& dest, const TJPEGEncodeOptions& options,
                const TJPEGProgress& progress = {});

} // namespace gz
