#pragma once
// Buffered byte output for the image writers: one 64 KB buffer in front of a platform
// stream, big-endian helpers, a stop flag and staged progress. The graphic write stream adds
// the source bitmap, reports progress through that bitmap's progress event and runs the
// format's write body.

#include "png/KroProgress.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace gz {

class TStream;
class TBitmap;

class TKroCustomWriteStream {
public:
    static constexpr std::size_t kBufferSize = 65536;

    TKroCustomWriteStream();
    virtual ~TKroCustomWriteStream();
    TKroCustomWriteStream(const TKroCustomWriteStream&) = delete;
    TKroCustomWriteStream& operator=(const TKroCustomWriteStream&) = delete;

    // Attaches the output stream (not owned), empties the buffer and resets the total.
    void Begin(TStream& stream);
    // Small pieces are buffered (flushing first when the buffer would pass 65535 bytes);
    // pieces of 65520 bytes or more go straight to the stream after a flush.
    void WriteBytes(const void* data, std::size_t n);
    void WriteU32(std::uint32_t value);
    // Passes the buffered bytes to the stream; its errors propagate.
    void Flush();

    std::size_t Buffered() const { return buffered_; }
    // Bytes already passed to the stream.
    std::int64_t Total() const { return total_; }
    bool Stopped() const { return stop_; }

protected:
    // Reports a percent; a true result sets the stop flag.
    virtual bool DoProgress(int percent);

    TStream* OutputStream() const { return stream_; }
    TKroProgress& Progress() { return progress_; }
    void SetStop(bool value) { stop_ = value; }

private:
    TKroProgress progress_;
    std::size_t buffered_ = 0;
    std::int64_t total_ = 0;
    std::unique_ptr<std::uint8_t[]> buffer_;
    TStream* stream_ = nullptr;
    bool stop_ = false;
};

class TKroCustomGraphicWriteStream : public TKroCustomWriteStream {
public:
    // Begin(stream), remember the source, run WriteImage, then flush what is still buffered.
    // When WriteImage raises, the buffered bytes are not flushed.
    void WriteBitmap(const TBitmap& bitmap, TStream& stream);

protected:
    // Reports through the source bitmap's progress event; never stops.
    bool DoProgress(int percent) override;
    // The format's write body.
    virtual void WriteImage() = 0;

    const TBitmap& SourceBitmap() const { return *source_; }

private:
    const TBitmap* source_ = nullptr;
};

} // namespace gz
