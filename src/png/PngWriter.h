#pragma once
// TKroPNGWriteStream: writes one platform bitmap as a complete PNG file.
//
// The colour type follows the bitmap's pixel format (palette formats stay palette images,
// 15/16/24/32-bit formats become 8-bit RGB) unless grey output is asked for; an 8-bit mask
// bitmap of the same size adds an alpha channel. Rows are converted, optionally interleaved
// in Adam7 order, filtered (a fixed filter or an adaptive choice) and deflated one at a time;
// the compressed stream leaves in IDAT chunks of exactly IDATSize bytes.
//
// Settings are set one by one before WriteBitmap; references (time record, chromaticity,
// GIF extension, mask) must stay valid until the write ends.

#include "png/KroPNGSettings.h"
#include "png/KroWriteStream.h"
#include "png/PngFormat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace gz {

class TKroPNGWriteStream;

// Row hook: (writer, raw row without filter byte, key, row number over all passes, length).
// The hook may change the row in place.
using TKroPNGWriteRowEvent = std::function<void(TKroPNGWriteStream& sender, std::uint8_t* row,
                                                const std::string& key, int rowNumber, int length)>;
// Source of the current time for tIME.
using TKroPNGClock = std::function<TKroPNGTime()>;

class TKroPNGWriteStream : public TKroCustomGraphicWriteStream {
public:
    TKroPNGWriteStream();
    ~TKroPNGWriteStream() override;

    bool WriteSignature() const { return writeSignature_; }
    void SetWriteSignature(bool value) { writeSignature_ = value; }
    int IDATSize() const { return idatSize_; }
    // Accepts 256..100000; raises EKroPNG and keeps the previous value otherwise.
    void SetIDATSize(int size);
    // Values outside 0..9 mean zlib's default level.
    int CompressionLevel() const { return compressionLevel_; }
    void SetCompressionLevel(int value) { compressionLevel_ = value; }
    // 0 adaptive, 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth, other values None.
    std::uint8_t FilterMode() const { return filterMode_; }
    void SetFilterMode(std::uint8_t value) { filterMode_ = value; }
    // 0 none, 1 Adam7 (any other value is written as 0).
    std::uint8_t Interlace() const { return interlace_; }
    void SetInterlace(std::uint8_t value) { interlace_ = value; }
    bool GrayScale() const { return grayScale_; }
    void SetGrayScale(bool value) { grayScale_ = value; }
    std::int32_t BackgroundColor() const { return backgroundColor_; }
    void SetBackgroundColor(std::int32_t value) { backgroundColor_ = value; }
    std::int32_t TransparentColor() const { return transparentColor_; }
    void SetTransparentColor(std::int32_t value) { transparentColor_ = value; }
    const std::string& Comment() const { return comment_; }
    void SetComment(const std::string& value) { comment_ = value; }
    double Gamma() const { return gamma_; }
    void SetGamma(double value) { gamma_ = value; }
    std::int32_t SignificantBits() const { return significantBits_; }
    void SetSignificantBits(std::int32_t value) { significantBits_ = value; }
    int PixelUnit() const { return pixelUnit_; }
    void SetPixelUnit(int value) { pixelUnit_ = value; }
    std::int32_t PixelsPerUnitX() const { return pixelsPerUnitX_; }
    void SetPixelsPerUnitX(std::int32_t value) { pixelsPerUnitX_ = value; }
    std::int32_t PixelsPerUnitY() const { return pixelsPerUnitY_; }
    void SetPixelsPerUnitY(std::int32_t value) { pixelsPerUnitY_ = value; }
    // GrayScale, the colours, Comment, Gamma, SignificantBits and the pixel size at once.
    void SetDescription(const TKroPNGDescription& d);
    bool UseCurrentTime() const { return useCurrentTime_; }
    void SetUseCurrentTime(bool value) { useCurrentTime_ = value; }
    const TKroPNGTime* ModifiedTime() const { return modifiedTime_; }
    void SetModifiedTime(const TKroPNGTime* value) { modifiedTime_ = value; }
    const TKroPNGChromaticity* Chromaticity() const { return chromaticity_; }
    void SetChromaticity(const TKroPNGChromaticity* value) { chromaticity_ = value; }
    const TKroPNGGifExtension* GifExtension() const { return gifExtension_; }
    void SetGifExtension(const TKroPNGGifExtension* value) { gifExtension_ = value; }
    const TBitmap* AlphaBitmap() const { return alphaBitmap_; }
    void SetAlphaBitmap(const TBitmap* value) { alphaBitmap_ = value; }
    const std::string& RowKey() const { return rowKey_; }
    void SetRowKey(const std::string& value) { rowKey_ = value; }
    TKroPNGWriteRowEvent OnWriteRow;
    // The clock read for tIME when UseCurrentTime is on (the system clock in UTC by default).
    void SetClock(TKroPNGClock clock);

    // Writes a 24-bit picture (blue, green, red rows) whose scan lines come from rows(y): top
    // to bottom, each once, unless the writer interlaces. The settings apply as for a bitmap.
    void WriteRows(int width, int height, std::function<const std::uint8_t*(int y)> rows, TStream& stream);

    // One chunk: length, type, data, CRC-32 over type and data.
    void WriteChunk(std::uint32_t type, const void* data, std::uint32_t length);

protected:
    void WriteImage() override;

private:
    struct TState;
    void Prepare(TState& s);
    void WriteHeaderChunks(TState& s);
    void WriteColorChunks(TState& s);
    void WritePhysChunk();
    void StartCompressor(TState& s);
    void WriteRows(TState& s);
    void CompressRow(TState& s, const std::uint8_t* data, std::size_t n);
    void AppendIDAT(TState& s, const std::uint8_t* data, std::size_t n);
    void FinishCompressor(TState& s);
    bool ResolvePaletteIndex(const TState& s, std::int32_t value, int& index) const;
    bool ResolveGrey(const TState& s, std::int32_t value, int& grey) const;

    bool writeSignature_ = true;
    int idatSize_ = 32768;
    int compressionLevel_ = -1;
    std::uint8_t filterMode_ = 1;
    std::uint8_t interlace_ = 0;
    bool grayScale_ = false;
    std::int32_t backgroundColor_ = png::kNoColor;
    std::int32_t transparentColor_ = png::kNoColor;
    std::string comment_;
    double gamma_ = 0.0;
    std::int32_t significantBits_ = 0;
    int pixelUnit_ = 0;
    std::int32_t pixelsPerUnitX_ = 0;
    std::int32_t pixelsPerUnitY_ = 0;
    bool useCurrentTime_ = true;
    const TKroPNGTime* modifiedTime_ = nullptr;
    const TKroPNGChromaticity* chromaticity_ = nullptr;
    const TKroPNGGifExtension* gifExtension_ = nullptr;
    const TBitmap* alphaBitmap_ = nullptr;
    std::string rowKey_;
    TKroPNGClock clock_;
    struct TRowSource {
        int width, height;
        std::function<const std::uint8_t*(int y)> row;
    };
    std::unique_ptr<TRowSource> rowSource_; // set while WriteRows runs
};

} // namespace gz
