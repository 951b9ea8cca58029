#pragma once
// TKroPNGReadStream: decodes a PNG file into a platform bitmap, and the transparency that a
// single transparent colour cannot express into an 8-bit mask bitmap (0 opaque, 255 clear).
//
// Chunks are read in file order; at the first IDAT the whole image is inflated, unfiltered,
// converted and stored row by row. Chunk CRCs are not checked; chunk lengths are trusted for
// skipping, but no read leaves the chunk and no allocation depends on a length.

#include "png/KroPNGSettings.h"
#include "png/KroReadStream.h"
#include "png/PngFormat.h"

#include "platform/Types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gz {

class TBitmap;
class TKroPNGReadStream;

// Row hook: called with every unfiltered row (without its filter byte) before it is converted;
// it may change the row in place. rowNumber counts from 0 over all interlace passes.
using TKroReadRowEvent = std::function<void(TKroPNGReadStream& reader, std::uint8_t* row, const std::string& key,
                                            int rowNumber, int length)>;
// Asked for the row key when a file says its rows were transformed; may change the key.
using TKroRowKeyRequestEvent = std::function<void(TKroPNGReadStream& reader, std::string& key)>;

class TKroPNGReadStream : public TKroCustomGraphicReadStream {
public:
    TKroPNGReadStream();
    ~TKroPNGReadStream() override;

    // ---- inputs ----
    bool CheckSignature = true;
    // Read colour files with sBIT 5,5,5 or 5,6,5 (8-bit samples) into a 16-bit bitmap.
    bool ReadHighColor = false;
    std::string RowKey;
    TKroReadRowEvent OnReadRow;
    TKroRowKeyRequestEvent OnRowKeyRequest;
    // Records cleared at the start of a read and filled from tIME, cHRM and gIFg.
    TKroPNGTime* TimeTarget = nullptr;
    TKroPNGChromaticity* ChromaticityTarget = nullptr;
    TKroPNGGifExtension* GifExtensionTarget = nullptr;
    // Receives the transparency mask (8-bit, grey palette) when the file needs one.
    TBitmap* MaskTarget = nullptr;

    // RowKey, SkipMacBinary and ReadHighColor at once.
    void SetOptions(const TKroPNGReadOptions& options);

    // ---- results ----
    // The file's description and facts, as a PNG picture takes them over.
    TKroPNGDescription Description() const;
    TKroPNGReadFacts Facts() const { return {hasAlpha_, fileBits_}; }
    const std::string& Comment() const { return comment_; }
    std::int32_t BackgroundColor() const { return backgroundColor_; }
    std::int32_t TransparentColor() const { return transparentColor_; }
    int Interlace() const { return interlace_; }
    double Gamma() const { return gamma_; }
    int PixelUnit() const { return pixelUnit_; }
    std::int32_t PixelsPerUnitX() const { return pixelsX_; }
    std::int32_t PixelsPerUnitY() const { return pixelsY_; }
    std::int32_t SignificantBits() const { return significantBits_; }
    int FileBits() const { return fileBits_; }
    bool GrayScale() const { return grayScale_; }
    bool HasAlpha() const { return hasAlpha_; }
    // The embedded colour profile (iCCP, inflated); empty when there is none or it is broken.
    const std::vector<std::uint8_t>& IccProfile() const { return iccProfile_; }

    // ---- row by row ----
    // Reads the file up to its image data (the header, palette and the rest are then known)
    // without allocating the picture; refuses what ReadBitmap refuses before the image data.
    // The stream must stay alive while rows are read.
    void BeginRows(TStream& stream);
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Prepares decoding (interlaced files cannot be read row by row: see Interlace()).
    void StartRows();
    // Format and palette of the rows ReadRow gives: those of the bitmap ReadBitmap would fill.
    TPixelFormat RowFormat() const;
    const std::vector<TPaletteEntry>& RowPalette() const { return rowPalette_; }
    // True when the rows come with a mask (an alpha channel, or palette transparency that one
    // transparent colour cannot say), as ReadBitmap fills the mask target.
    bool RowsMasked() const { return alpha_ || needMask_; }
    // Decodes the next row of the picture into dst and, when mask is not null and the rows are
    // masked, its mask row (0 opaque … 255 clear); after the last row the rest of the file is
    // read (and refused) as ReadBitmap reads it.
    void ReadRow(std::uint8_t* dst, std::uint8_t* mask = nullptr);

protected:
    void ReadImage() override;

private:
    struct TDecoder;

    void ResetResults();
    void ReadSignature();
    void ReadChunks();
    void FinishRows();
    void HandleChunk(std::uint32_t type);
    void ReadHeader();
    void ReadPalette();
    void ReadTransparency();
    void ReadBackground();
    void ReadSignificantBits();
    void ReadText();
    void ReadPrivate();
    void ReadIccProfile();
    void DecodeImage();
    void StartDecoder(TDecoder& d);
    // Inflates and unfilters the next row of rowBytes; the result stays valid until the next call.
    const std::uint8_t* NextRow(TDecoder& d, std::size_t rowBytes, bool firstOfPass, std::int64_t rowNumber);
    std::string OutOfMemoryMessage() const;
    void InflateRow(TDecoder& d, std::uint8_t* out, std::size_t n);
    void ChooseOutputFormat();
    void ResolvePaletteTransparency();
    void PrepareMask();
    void ApplyPaletteMask();
    void PaletteMaskRow(const std::uint8_t* indices, std::uint8_t* mask) const;

    // Chunk data readers: nothing is read beyond the current chunk; missing bytes read as 0.
    std::uint8_t ChunkU8();
    std::uint16_t ChunkU16();
    std::uint32_t ChunkU32();
    // Sample value of a grey or colour chunk field reduced to 8 bits.
    std::uint8_t SampleByte(std::uint16_t value) const;

    // results
    std::int32_t backgroundColor_ = -1;
    std::int32_t transparentColor_ = -1;
    int interlace_ = 0;
    double gamma_ = 0;
    std::int32_t significantBits_ = 0;
    int fileBits_ = 0;
    bool grayScale_ = false;
    bool hasAlpha_ = false;
    std::vector<std::uint8_t> iccProfile_;

    // chunk state
    std::int64_t chunkLeft_ = 0;
    bool headerSeen_ = false, paletteSeen_ = false, imageDone_ = false, privateSeen_ = false, endSeen_ = false;
    bool alpha_ = false;
    png::TColorType baseType_ = png::ctGrey; // without the alpha bit: grey, RGB or palette
    int depth_ = 0;
    int conversion_ = 0;
    bool transparencyPending_ = false;
    bool needMask_ = false;
    bool maskPrepared_ = false;
    std::string activeRowKey_;
    std::array<std::uint8_t, 256> invertedAlpha_{};

    // row by row
    bool imageReached_ = false;
    std::unique_ptr<TDecoder> rows_;
    std::int64_t rowsRead_ = 0;
    std::vector<TPaletteEntry> rowPalette_;
};

} // namespace gz
