#pragma once
// Buffered image input shared by the picture readers: big-endian reads over any TStream,
// in-place reading of memory streams, an end-of-data flag instead of read failures, a
// 128-byte leading header skip, staged progress, and preparation of the target bitmap.

#include "png/KroProgress.h"

#include "platform/Types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gz {

class TStream;
class TBitmap;

class TKroCustomReadStream {
public:
    static constexpr std::size_t BufferSize = 65536;

    TKroCustomReadStream() = default;
    virtual ~TKroCustomReadStream() = default;
    TKroCustomReadStream(const TKroCustomReadStream&) = delete;
    TKroCustomReadStream& operator=(const TKroCustomReadStream&) = delete;

    // Skip a leading 128-byte header (byte 0 and byte 74 zero) when the data is longer.
    bool SkipMacBinary = true;

    bool EndOfData() const { return endOfData_; }
    bool Stopped() const { return stop_; }
    bool MacBinarySkipped() const { return macBinarySkipped_; }
    std::int64_t Available() const { return available_; }
    std::int64_t Consumed() const { return consumed_; }

protected:
    // Progress hook; returns the stop flag. The base class never stops.
    virtual bool DoProgress(int percent);

    // Attaches the source: size <= 0 means the rest of the stream.
    void Begin(TStream& stream, std::int64_t size);
    // Frees the buffer and leaves the source just after the bytes consumed.
    void End();

    void Skip(std::int64_t n);
    void ReadBytes(void* dest, std::size_t n);
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();

    // Hands out up to max bytes of the buffered data in place (refilling when the buffer is
    // empty); returns how many. Used for bulk data such as compressed image streams.
    std::size_t ReadInPlace(const std::uint8_t*& data, std::size_t max);

    void SetStop(bool value) { stop_ = value; }
    void SetEndOfData() { endOfData_ = true; }

    // Progress stages (see TKroProgress); every percent reached goes to DoProgress.
    void ProgressStart() { progress_.Start(); }
    void ProgressOpenUnits(std::int64_t units, int percent) { progress_.OpenStage(units, percent); }
    void ProgressOpenBytes(int percent) { progress_.OpenByteStage(available_, consumed_, percent); }
    void ProgressUnits(std::int64_t done) { progress_.Advance(done); }
    void ProgressBytes() { progress_.AdvanceBytes(consumed_); }
    void ProgressEnd() { progress_.End(); }

private:
    void Fill(std::size_t keep);
    // Makes at least n bytes (n <= 4) sit in the buffer; false at the end of the data.
    bool Ensure(std::size_t n);

    TStream* stream_ = nullptr;
    const std::uint8_t* memory_ = nullptr; // non-null while reading a memory stream in place
    std::unique_ptr<std::uint8_t[]> buffer_;
    const std::uint8_t* cursor_ = nullptr;
    std::size_t left_ = 0;         // bytes at cursor_
    std::int64_t startPos_ = 0;
    std::int64_t available_ = 0;
    std::int64_t consumed_ = 0;    // bytes handed to the caller or skipped
    std::int64_t fetched_ = 0;     // bytes read from the stream (buffered streams)
    bool stop_ = false;
    bool endOfData_ = false;
    bool macBinarySkipped_ = false;
    TKroProgress progress_{[this](int percent) { stop_ = DoProgress(percent) || stop_; }, true};
};

class TKroCustomGraphicReadStream : public TKroCustomReadStream {
public:
    // Reads the picture that starts at the stream's position into bitmap; size <= 0 means
    // the rest of the stream. The bitmap's change notification is off during the read, and
    // the stream is left just after the last byte consumed, also when the read fails.
    void ReadBitmap(TBitmap& bitmap, TStream& stream, std::int64_t size = 0);

protected:
    bool DoProgress(int percent) override;
    virtual void ReadImage() = 0;

    // Clears the target bitmap and gives it the format for OutputBits, the size and, when
    // palette entries were collected, that palette. Pixels start out zero unless the caller
    // writes (or clears) every row itself.
    void PrepareBitmap(bool zeroPixels = true);
    // Begin, and the results of an earlier read cleared.
    void BeginRead(TStream& stream, std::int64_t size);
    // The pixel format for OutputBits, and the palette PrepareBitmap gives the bitmap: the
    // entries collected, else the format's default palette.
    TPixelFormat OutputFormat() const;
    std::vector<TPaletteEntry> CollectedPalette() const;

    // Palette collected while reading: entry i as blue, green, red, 0.
    std::uint8_t* PaletteBuffer();
    bool HasPaletteBuffer() const { return palette_ != nullptr; }

    TBitmap* Target() const { return bitmap_; }

    std::string comment_;
    int paletteCount_ = 0;
    int pixelUnit_ = 0;
    std::int32_t pixelsX_ = 0, pixelsY_ = 0;
    int outputBits_ = 24;
    int width_ = 0, height_ = 0;

private:
    TBitmap* bitmap_ = nullptr;
    std::unique_ptr<std::uint8_t[]> palette_;
};

} // namespace gz
