#pragma once
// JPEG reading and writing over libjpeg, without the lazy bookkeeping of TJPEGImage:
// header parsing, decoding into a bitmap and encoding a bitmap into a stream. Every fatal
// library error raises EJPEG; warnings (corrupt or truncated data) are ignored.

#include "jpeg/JPEGError.h"
#include "jpeg/JPEGLibrary.h"
#include "platform/Types.h"

#include <vector>

namespace gz {

class TBitmap;
class TStream;

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
