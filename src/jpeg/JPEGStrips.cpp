#include "jpeg/JPEGStrips.h"

#include "platform/Streams.h"
#include "platform/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>

#include <jerror.h>

namespace gz {

namespace {

constexpr std::int64_t kStripsFromPixels = std::int64_t(1) << 22;
constexpr std::size_t kStripInputBytes = std::size_t(1) << 20;

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kFirstRestart = 0xD0; // RST0; RST0..RST7 count round
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;

int McuRows(bool grey) { return grey ? 8 : 16; } // colour is subsampled 2 x 2

// Where the entropy-coded data of a file written by the library begins, and where its frame
// header keeps the picture's height. Raises when the bytes are not such a file.
struct TFileLayout {
    std::size_t scanData = 0;
    std::size_t heightAt = 0;
};

TFileLayout LayoutOf(const std::uint8_t* data, std::size_t n)
{
    TFileLayout layout;
    std::size_t pos = 2;
    if (n < 4 || data[0] != kMarker || data[1] != 0xD8)
        throw EJPEG(JERR_NO_SOI);
    while (pos + 4 <= n && data[pos] == kMarker) {
        const std::uint8_t marker = data[pos + 1];
        const std::size_t length = std::size_t(data[pos + 2]) << 8 | data[pos + 3];
        if (marker >= 0xC0 && marker <= 0xC2)
            layout.heightAt = pos + 5;
        if (pos + 2 + length > n)
            break;
        pos += 2 + length;
        if (marker == kStartOfScan) {
            layout.scanData = pos;
            if (layout.heightAt == 0 || n < pos + 2 || data[n - 2] != kMarker || data[n - 1] != kEndOfImage)
                break;
            return layout;
        }
    }
    throw EJPEG(JERR_BAD_LENGTH);
}

// Adds shift to the number of every restart marker in entropy-coded data (where 0xFF is
// followed by a stuffed 0x00 or by a marker).
void RenumberRestarts(std::uint8_t* data, std::size_t n, int shift)
{
    if (shift % 8 == 0)
        return;
    std::uint8_t* end = data + n;
    for (std::uint8_t* p = data; p + 1 < end;) {
        p = static_cast<std::uint8_t*>(std::memchr(p, kMarker, std::size_t(end - p - 1)));
        if (!p)
            break;
        const std::uint8_t next = p[1];
        if (next >= kFirstRestart && next < kFirstRestart + 8)
            p[1] = std::uint8_t(kFirstRestart + ((next - kFirstRestart + shift) & 7));
        p += 2;
    }
}

} // namespace

void SetEncoderParameters(jpeg_compress_struct& c, int width, int height, const TJPEGEncodeOptions& options,
                          bool restartEveryRow)
{
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, std::clamp(options.Quality, 1, 100), TRUE);
    if (options.GrayScale)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    if (options.Progressive)
        jpeg_simple_progression(&c);
    if (restartEveryRow)
        c.restart_in_rows = 1;
}

bool EncodesInStrips(int width, int height, const TJPEGEncodeOptions& options)
{
    return !options.Progressive && width > 0 && height > 0 && width <= kMaxJPEGDimension &&
           height <= kMaxJPEGDimension && std::int64_t(width) * height >= kStripsFromPixels;
}

int TJPEGStripEncoder::StripRows(int width, bool grey)
{
    const std::size_t mcuBytes = std::size_t(width) * 3 * std::size_t(McuRows(grey));
    const std::size_t mcus = std::max<std::size_t>(1, (kStripInputBytes + mcuBytes - 1) / mcuBytes);
    return int(mcus) * McuRows(grey);
}

struct TJPEGStripEncoder::TStrip {
    std::vector<std::uint8_t> input;
    int rows = 0;
    TMemoryStream output;
    std::exception_ptr failure;
    std::atomic<bool> done{false};

    void Encode(int width, const TJPEGEncodeOptions& options)
    {
        try {
            jpeglib::TCompressor compressor(output, nullptr);
            jpeg_compress_struct& c = compressor.cinfo;
            std::vector<JSAMPROW> lines(static_cast<std::size_t>(rows));
            const std::size_t rowBytes = std::size_t(width) * 3;
            for (std::size_t y = 0; y < lines.size(); ++y)
                lines[y] = input.data() + y * rowBytes;
            const int height = rows;
            compressor.session.Run([&] {
                SetEncoderParameters(c, width, height, options, true);
                jpeg_start_compress(&c, TRUE);
                while (c.next_scanline < c.image_height)
                    jpeg_write_scanlines(&c, lines.data() + c.next_scanline, c.image_height - c.next_scanline);
                jpeg_finish_compress(&c);
            });
        } catch (...) {
            failure = std::current_exception();
        }
    }
};

TJPEGStripEncoder::TJPEGStripEncoder(TStream& dest, int width, int height, const TJPEGEncodeOptions& options,
                                     const TJPEGProgress* progress, TWorkerPool& pool)
    : dest_(dest), width_(width), height_(height), options_(options), progress_(progress), pool_(pool),
      stripRows_(StripRows(width, options.GrayScale)), rowBytes_(std::size_t(width) * 3),
      stripCount_((height + stripRows_ - 1) / stripRows_), maxInFlight_(std::size_t(pool.Threads()) * 2)
{
}

TJPEGStripEncoder::~TJPEGStripEncoder()
{
    // Strips still being encoded hold their own data; wait so that none outlives the encoder.
    pool_.WaitUntil([this] {
        return std::all_of(inFlight_.begin(), inFlight_.end(), [](const auto& s) { return s->done.load(); });
    });
}

void TJPEGStripEncoder::WriteRows(const std::uint8_t* const* rows, int count)
{
    count = std::min(count, height_ - rowsTaken_);
    for (int i = 0; i < count; ++i) {
        if (!filling_) {
            filling_ = std::make_shared<TStrip>();
            filling_->rows = std::min(stripRows_, height_ - rowsTaken_);
            if (!spareInputs_.empty()) {
                filling_->input = std::move(spareInputs_.back());
                spareInputs_.pop_back();
            }
            filling_->input.resize(rowBytes_ * std::size_t(filling_->rows));
        }
        const int inStrip = rowsTaken_ - stripsStarted_ * stripRows_;
        std::memcpy(filling_->input.data() + std::size_t(inStrip) * rowBytes_, rows[i], rowBytes_);
        ++rowsTaken_;
        if (inStrip + 1 == filling_->rows)
            StartStrip();
    }
}

void TJPEGStripEncoder::StartStrip()
{
    while (inFlight_.size() >= maxInFlight_)
        CollectOldest();
    std::shared_ptr<TStrip> strip = std::move(filling_);
    ++stripsStarted_;
    inFlight_.push_back(strip);
    pool_.Submit([strip, width = width_, options = options_, pool = &pool_] {
        strip->Encode(width, options);
        strip->done = true;
        pool->Notify();
    });
}

void TJPEGStripEncoder::CollectOldest()
{
    std::shared_ptr<TStrip> strip = inFlight_.front();
    pool_.WaitUntil([&] { return strip->done.load(); });
    inFlight_.pop_front();
    if (strip->failure)
        std::rethrow_exception(strip->failure);
    Splice(*strip);
    spareInputs_.push_back(std::move(strip->input));
    ++stripsWritten_;
    if (progress_ && *progress_) {
        const int percent = stripsWritten_ * 100 / stripCount_;
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            (*progress_)(psRunning, percent);
        }
    }
}

void TJPEGStripEncoder::Splice(TStrip& strip)
{
    std::uint8_t* data = strip.output.Memory();
    const std::size_t n = std::size_t(strip.output.Size());
    const TFileLayout layout = LayoutOf(data, n);
    if (stripsWritten_ == 0) {
        data[layout.heightAt] = std::uint8_t(height_ >> 8);
        data[layout.heightAt + 1] = std::uint8_t(height_);
        dest_.WriteBuffer(data, layout.scanData);
    } else {
        const std::uint8_t restart[2] = {kMarker, std::uint8_t(kFirstRestart + ((intervalsWritten_ - 1) & 7))};
        dest_.WriteBuffer(restart, 2);
    }
    std::uint8_t* scan = data + layout.scanData;
    const std::size_t scanBytes = n - 2 - layout.scanData;
    RenumberRestarts(scan, scanBytes, intervalsWritten_);
    dest_.WriteBuffer(scan, scanBytes);
    const int mcuRows = McuRows(options_.GrayScale);
    intervalsWritten_ += (strip.rows + mcuRows - 1) / mcuRows;
}

void TJPEGStripEncoder::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    if (rowsTaken_ < height_)
        throw EJPEG(JERR_TOO_LITTLE_DATA); // as the library reports it
    while (!inFlight_.empty())
        CollectOldest();
    const std::uint8_t end[2] = {kMarker, kEndOfImage};
    dest_.WriteBuffer(end, 2);
}

} // namespace gz
