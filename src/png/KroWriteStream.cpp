#include "png/KroWriteStream.h"

#include "platform/Bitmap.h"
#include "platform/Streams.h"

#include <cstring>

namespace gz {

namespace {
// Largest number of bytes the buffer is filled to, and the piece size from which writes
// bypass it.
constexpr std::size_t kBufferLimit = 65535;
constexpr std::size_t kDirectWrite = 65520;
} // namespace

TKroCustomWriteStream::TKroCustomWriteStream() : buffer_(new std::uint8_t[kBufferSize])
{
    progress_.SetReport([this](int percent) {
        if (DoProgress(percent))
            stop_ = true;
    });
}

TKroCustomWriteStream::~TKroCustomWriteStream() = default;

bool TKroCustomWriteStream::DoProgress(int)
{
    return false;
}

void TKroCustomWriteStream::Begin(TStream& stream)
{
    stream_ = &stream;
    buffered_ = 0;
    total_ = 0;
}

void TKroCustomWriteStream::WriteBytes(const void* data, std::size_t n)
{
    if (stop_ || n == 0)
        return;
    if (n < kDirectWrite) {
        if (buffered_ + n > kBufferLimit)
            Flush();
        std::memcpy(buffer_.get() + buffered_, data, n);
        buffered_ += n;
    } else {
        Flush();
        stream_->WriteBuffer(data, n);
        total_ += std::int64_t(n);
    }
}

void TKroCustomWriteStream::WriteU32(std::uint32_t value)
{
    if (stop_)
        return;
    if (buffered_ + 4 > kBufferLimit)
        Flush();
    std::uint8_t* p = buffer_.get() + buffered_;
    p[0] = std::uint8_t(value >> 24);
    p[1] = std::uint8_t(value >> 16);
    p[2] = std::uint8_t(value >> 8);
    p[3] = std::uint8_t(value);
    buffered_ += 4;
}

void TKroCustomWriteStream::Flush()
{
    if (buffered_ == 0)
        return;
    const std::size_t n = buffered_;
    // The buffer is emptied before the write so that a failed write is not repeated.
    buffered_ = 0;
    stream_->WriteBuffer(buffer_.get(), n);
    total_ += std::int64_t(n);
}

void TKroCustomGraphicWriteStream::WriteBitmap(const TBitmap& bitmap, TStream& stream)
{
    Begin(stream);
    source_ = &bitmap;
    WriteImage();
    Flush();
}

bool TKroCustomGraphicWriteStream::DoProgress(int percent)
{
    if (!source_ || !source_->OnProgress)
        return false;
    const TProgressStage stage = percent == 0 ? psStarting : (percent < 100 ? psRunning : psEnding);
    const std::uint8_t value = std::uint8_t(stage == psEnding ? 100 : percent);
    // The event names the bitmap as its sender; reporting does not change its pixels.
    TBitmap& sender = const_cast<TBitmap&>(*source_);
    sender.Progress(sender, stage, value, false, TRect{}, std::string());
    return false;
}

} // namespace gz
