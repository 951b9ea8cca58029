#pragma once
// The headers of Windows metafiles: placeable WMF (the 22-byte bounding-box header before the
// metafile header), plain WMF and EMF. Reading a header decides the kind of the file, where its
// records start, and the picture's size in pixels at 96 pixels per inch.

#include <cstddef>
#include <cstdint>

namespace gz::metafile {

enum class MetafileKind { Wmf, Emf };

// Pictures larger than this many pixels are refused: their raster could not exist.
constexpr std::int64_t kMaxPicturePixels = std::int64_t(1) << 28;

struct MetafileHeader {
    MetafileKind Kind = MetafileKind::Wmf;
    bool Placeable = false;
    int Width = 0, Height = 0; // pixels at 96 per inch
    // WMF: the picture's rectangle in logical units (placeable bounding box, or the first window
    // of a plain file). EMF: the frame in pixels of the reference device.
    double Left = 0, Top = 0, Right = 0, Bottom = 0;
    // EMF: pixels per millimetre of the reference device, for the metric mapping modes.
    double DevicePxPerMmX = 96 / 25.4, DevicePxPerMmY = 96 / 25.4;
    std::size_t RecordsOffset = 0; // WMF: first record after the metafile header; EMF: 0
    std::uint32_t ObjectCount = 0; // WMF object table size, EMF handle count
};

// Raises EInvalidGraphic with a clear message when the bytes are not a usable metafile.
MetafileHeader ReadMetafileHeader(const std::uint8_t* data, std::size_t size);

} // namespace gz::metafile
