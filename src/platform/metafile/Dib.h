#pragma once
// Device-independent bitmaps embedded in metafile records, decoded into QImage with every
// size checked against the record.

#include "platform/metafile/RecordReader.h"

#include <QImage>
#include <QRgb>

#include <vector>

namespace gz::metafile {

// Embedded bitmaps larger than this many pixels are not drawn.
constexpr std::int64_t kMaxDibPixels = std::int64_t(1) << 25;

struct DibSource {
    RecordReader Info; // the BITMAPINFO header and colour table
    RecordReader Bits; // the pixel rows; empty means "right after the colour table in Info"
    bool PaletteIndices = false; // DIB_PAL_COLORS: the colour table holds palette indices
};

// The decoded picture, or a null image when the bitmap is malformed or unsupported.
// palette resolves DIB_PAL_COLORS tables; withAlpha keeps the fourth byte of 32-bit pixels.
// bottomUp (optional) tells whether the rows were stored bottom row first.
QImage DecodeDib(const DibSource& source, const std::vector<QRgb>& palette, bool withAlpha = false,
                 bool* bottomUp = nullptr);

// The device-dependent bitmaps of old WMF blits (a 10-byte header, then rows top first):
// 1 bit per pixel draws in the text (0) and background (1) colours, 24 and 32 bits directly.
QImage DecodeBitmap16(const RecordReader& bitmap, QRgb zeroColor, QRgb oneColor);

} // namespace gz::metafile
