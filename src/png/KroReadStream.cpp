#include "png/KroReadStream.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace gz {

namespace {

// A leading header of this size is recognised by zero bytes at offsets 0 and 74.
constexpr std::int64_t kLeadingHeaderSize = 128;
constexpr std::size_t kLeadingHeaderMarker = 74;

} // namespace

// ---- TKroCustomReadStream ----

bool TKroCustomReadStream::DoProgress(int) { return false; }

void TKroCustomReadStream::Begin(TStream& stream, std::int64_t size)
{
    stream_ = &stream;
    memory_ = nullptr;
    cursor_ = nullptr;
    left_ = 0;
    consumed_ = 0;
    fetched_ = 0;
    stop_ = false;
    endOfData_ = false;
    macBinarySkipped_ = false;

    startPos_ = stream.Position();
    const std::int64_t rest = std::max<std::int64_t>(stream.Size() - startPos_, 0);
    // A size beyond the end of the stream is cut to what the stream holds, so that reading
    // in place never leaves the stream's memory and buffered reads end in end-of-data.
    available_ = size > 0 ? std::min(size, rest) : rest;
    if (available_ <= 0) {
        available_ = 0;
        endOfData_ = true;
        return;
    }
    if (auto* mem = dynamic_cast<TCustomMemoryStream*>(&stream)) {
        memory_ = mem->Memory() + startPos_;
        cursor_ = memory_;
        left_ = std::size_t(available_);
        fetched_ = available_;
    } else {
        Fill(0);
    }
    if (SkipMacBinary && available_ > kLeadingHeaderSize && cursor_[0] == 0 && cursor_[kLeadingHeaderMarker] == 0) {
        cursor_ += kLeadingHeaderSize;
        left_ -= std::size_t(kLeadingHeaderSize);
        consumed_ = kLeadingHeaderSize;
        macBinarySkipped_ = true;
    }
}

void TKroCustomReadStream::End()
{
    buffer_.reset();
    cursor_ = nullptr;
    left_ = 0;
    memory_ = nullptr;
    if (stream_) {
        TStream* stream = stream_;
        stream_ = nullptr;
        stream->SetPosition(startPos_ + consumed_);
    }
}

void TKroCustomReadStream::Fill(std::size_t keep)
{
    if (memory_)
        return; // the whole source is in place already
    if (!buffer_)
        buffer_ = std::make_unique<std::uint8_t[]>(BufferSize);
    if (keep > 0 && cursor_ != buffer_.get())
        std::memmove(buffer_.get(), cursor_, keep);
    const auto n = std::size_t(std::min<std::int64_t>(std::int64_t(BufferSize - keep), available_ - fetched_));
    if (n > 0)
        stream_->ReadBuffer(buffer_.get() + keep, n);
    fetched_ += std::int64_t(n);
    left_ = keep + n;
    cursor_ = buffer_.get();
}

bool TKroCustomReadStream::Ensure(std::size_t n)
{
    if (endOfData_ || stop_)
        return false;
    if (consumed_ + std::int64_t(n) > available_) {
        endOfData_ = true;
        return false;
    }
    if (left_ < n)
        Fill(left_);
    return true;
}

void TKroCustomReadStream::Skip(std::int64_t n)
{
    if (endOfData_ || stop_ || n <= 0)
        return;
    if (n > available_ - consumed_) {
        endOfData_ = true;
        return;
    }
    if (std::int64_t(left_) < n) {
        // Buffered source only: drop the buffer and move the stream past the rest.
        consumed_ += n;
        fetched_ = consumed_;
        left_ = 0;
        cursor_ = buffer_.get();
        stream_->SetPosition(startPos_ + consumed_);
        return;
    }
    cursor_ += n;
    left_ -= std::size_t(n);
    consumed_ += n;
}

void TKroCustomReadStream::ReadBytes(void* dest, std::size_t n)
{
    if (endOfData_ || stop_ || n == 0)
        return;
    if (std::int64_t(n) > available_ - consumed_) {
        endOfData_ = true;
        return;
    }
    auto* out = static_cast<std::uint8_t*>(dest);
    const std::size_t take = std::min(left_, n);
    std::memcpy(out, cursor_, take);
    cursor_ += take;
    left_ -= take;
    consumed_ += std::int64_t(take);
    out += take;
    n -= take;
    if (n == 0)
        return;
    // Buffered source: large reads go straight to the destination except for the last 64 KB.
    if (n > BufferSize - 1) {
        const std::size_t direct = n - BufferSize;
        stream_->ReadBuffer(out, direct);
        fetched_ += std::int64_t(direct);
        consumed_ += std::int64_t(direct);
        out += direct;
        n -= direct;
    }
    Fill(0);
    std::memcpy(out, cursor_, n);
    cursor_ += n;
    left_ -= n;
    consumed_ += std::int64_t(n);
}

std::uint8_t TKroCustomReadStream::ReadU8()
{
    if (!Ensure(1))
        return 0;
    const std::uint8_t v = cursor_[0];
    cursor_ += 1;
    left_ -= 1;
    consumed_ += 1;
    return v;
}

std::uint16_t TKroCustomReadStream::ReadU16()
{
    if (!Ensure(2))
        return 0;
    const auto v = std::uint16_t((cursor_[0] << 8) | cursor_[1]);
    cursor_ += 2;
    left_ -= 2;
    consumed_ += 2;
    return v;
}

std::uint32_t TKroCustomReadStream::ReadU32()
{
    if (!Ensure(4))
        return 0;
    const std::uint32_t v = (std::uint32_t(cursor_[0]) << 24) | (std::uint32_t(cursor_[1]) << 16) |
                            (std::uint32_t(cursor_[2]) << 8) | std::uint32_t(cursor_[3]);
    cursor_ += 4;
    left_ -= 4;
    consumed_ += 4;
    return v;
}

std::size_t TKroCustomReadStream::ReadInPlace(const std::uint8_t*& data, std::size_t max)
{
    data = nullptr;
    if (endOfData_ || stop_ || max == 0)
        return 0;
    const std::int64_t rest = available_ - consumed_;
    if (rest <= 0) {
        endOfData_ = true;
        return 0;
    }
    if (left_ == 0)
        Fill(0);
    const std::size_t n = std::size_t(std::min<std::int64_t>(std::int64_t(std::min(left_, max)), rest));
    data = cursor_;
    cursor_ += n;
    left_ -= n;
    consumed_ += std::int64_t(n);
    return n;
}

// ---- TKroCustomGraphicReadStream ----

void TKroCustomGraphicReadStream::ReadBitmap(TBitmap& bitmap, TStream& stream, std::int64_t size)
{
    const TNotifyEvent savedOnChange = bitmap.OnChange;
    bitmap.OnChange = nullptr;
    auto finish = [&] {
        palette_.reset();
        bitmap_ = nullptr;
        bitmap.OnChange = savedOnChange;
    };
    try {
        bitmap_ = &bitmap;
        BeginRead(stream, size);
        ReadImage();
    } catch (...) {
        try {
            End();
        } catch (...) {
            // The read's own failure is the one to report.
        }
        finish();
        throw;
    }
    try {
        End();
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TKroCustomGraphicReadStream::BeginRead(TStream& stream, std::int64_t size)
{
    Begin(stream, size);
    comment_.clear();
    paletteCount_ = 0;
    pixelUnit_ = 0;
    pixelsX_ = pixelsY_ = 0;
}

bool TKroCustomGraphicReadStream::DoProgress(int percent)
{
    if (bitmap_ && bitmap_->OnProgress) {
        const TProgressStage stage = percent == 0 ? psStarting : percent < 100 ? psRunning : psEnding;
        bitmap_->Progress(*bitmap_, stage, std::uint8_t(stage == psEnding ? 100 : percent), false, TRect{}, std::string());
    }
    return false;
}

std::uint8_t* TKroCustomGraphicReadStream::PaletteBuffer()
{
    if (!palette_) {
        palette_ = std::make_unique<std::uint8_t[]>(256 * 4);
        std::memset(palette_.get(), 0, 256 * 4);
    }
    return palette_.get();
}

TPixelFormat TKroCustomGraphicReadStream::OutputFormat() const
{
    switch (outputBits_) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16: return pf16bit;
    case 32: return pf32bit;
    default: return pf24bit;
    }
}

std::vector<TPaletteEntry> TKroCustomGraphicReadStream::CollectedPalette() const
{
    if (palette_) {
        std::vector<TPaletteEntry> entries(std::size_t(std::clamp(paletteCount_, 0, 256)));
        for (std::size_t i = 0; i < entries.size(); ++i)
            entries[i] = {palette_[4 * i + 2], palette_[4 * i + 1], palette_[4 * i]};
        return entries;
    }
    const TPixelFormat pf = OutputFormat();
    return IsPaletteFormat(pf) ? DefaultPalette(pf) : std::vector<TPaletteEntry>();
}

void TKroCustomGraphicReadStream::PrepareBitmap(bool zeroPixels)
{
    TBitmap& bmp = *bitmap_;
    bmp.Clear();
    bmp.SetTransparent(false);
    bmp.AllocateUninitialized(width_, height_, OutputFormat());
    if (zeroPixels)
        for (int y = 0; y < height_; ++y)
            std::memset(bmp.ScanLine(y), 0, bmp.RowBytes());
    bmp.SetPalette(CollectedPalette());
}

} // namespace gz
