#pragma once
// The device-independent bitmap a plug-in hands over: checking it against the memory blocks
// that hold it, and its geometry.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace gz {

struct TSPIDibGeometry {
    std::int32_t Width = 0;
    std::int32_t Height = 0; // as stored: negative for a bitmap whose top row comes first
    std::int32_t BitCount = 0;
    std::int32_t Colors = 0;    // entries of the colour table
    std::int32_t InfoSize = 0;  // header plus colour table
    std::int32_t ImageSize = 0; // pixel rows, each padded to 4 bytes
};

// The geometry of the bitmap whose header starts at info, or nullopt when the header is
// impossible for the blocks it came in: not a 40-byte uncompressed header, a size that is not
// positive, an unknown bit depth, more than 256 colours, or a colour table or pixel rows that
// do not fit into their blocks (or into the 32-bit sizes of a bitmap file).
std::optional<TSPIDibGeometry> CheckPluginBitmap(const void* info, std::size_t infoBlockSize,
                                                 std::size_t bitsBlockSize);

// What a plug-in's picture notes (the text of its picture information) say about its bitmap.
struct TSPIPictureNotes {
    int Orientation = 1;           // photo orientation tag to turn the stored rows by
    bool OpacityOverWhite = false; // 32-bit rows: the fourth byte is the opacity, colours over white
};
// Reads the notes from the text handle of a picture information (null: none).
TSPIPictureNotes ReadPictureNotes(void* textHandle);

// Size of the bitmap file image: file header, header and colour table, pixel rows.
constexpr std::size_t kBitmapFileHeaderSize = 14;

} // namespace gz
