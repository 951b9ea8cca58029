#include "join/StreamedJoin.h"

#include "join/ABitmap.h"
#include "join/SeeThrough.h"
#include "platform/WorkerPool.h"

#include <algorithm>
#include <cstring>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

namespace gz {

namespace {
const char* const kNotEnoughMemory = "Out of system resources: not enough memory";
}

struct TJoinCompositor::TPiece {
    const TPlacedPicture* place = nullptr;
    int index = 0;
    TInputPicture* input = nullptr; // null for a white picture
    std::unique_ptr<TRowSource> rows;
    bool direct = false;            // lands on untouched canvas: decoded straight into it
    std::vector<std::uint8_t> band; // rows kept for blending, or one row of a cut picture
    // The opacity of the rows kept, for a picture that sees through; empty while they are opaque.
    std::vector<std::uint8_t> alpha;

    int RectWidth() const { return place->rect.Right - place->rect.Left; }
    bool Active(int y0, int y1) const { return place->clip.Top < y1 && place->clip.Bottom > y0; }
};

TJoinCompositor::TJoinCompositor(const TJoinPlan& plan, const std::vector<TInputPicture*>& inputs,
                                 TColor background, TWorkerPool& pool)
    : plan_(plan), inputs_(inputs), background_(background), pool_(pool)
{
    for (const TPlacedPicture& p : plan_.pictures) {
        auto piece = std::make_unique<TPiece>();
        piece->place = &p;
        piece->index = int(pieces_.size());
        piece->input = p.input == kBlankInput ? nullptr : inputs_.at(std::size_t(p.input));
        piece->direct = piece->input && p.overWhite && p.opacity >= 255;
        pieces_.push_back(std::move(piece));
    }
}

TJoinCompositor::~TJoinCompositor() = default;

std::string TJoinCompositor::Reading() const
{
    const int i = reading_.load();
    return i >= 0 ? pieces_[std::size_t(i)]->input->FileName() : std::string();
}

void TJoinCompositor::DecodeBand(TPiece& piece, int y0, int y1, std::uint8_t* const* rows)
{
    const TPlacedPicture& p = *piece.place;
    const int first = std::max(y0, p.clip.Top), last = std::min(y1, p.clip.Bottom);
    const std::size_t width = std::size_t(piece.RectWidth());
    const std::size_t cutLeft = std::size_t(p.clip.Left - p.rect.Left) * 3;
    const std::size_t clipBytes = std::size_t(p.clip.Right - p.clip.Left) * 3;
    const bool whole = p.clip.Left == p.rect.Left && p.clip.Right == p.rect.Right;
    try {
        if (!piece.rows)
            piece.rows = piece.input->OpenRows(p.flips);
        TRowSource& source = *piece.rows;
        const int skip = first - p.rect.Top - source.RowsDone();
        if (skip > 0)
            source.SkipRows(skip);
        if (piece.direct && whole) {
            for (int y = first; y < last; ++y)
                source.NextRow(rows[y - y0] + std::size_t(p.rect.Left) * 3);
        } else if (piece.direct) {
            piece.band.resize(width * 3);
            for (int y = first; y < last; ++y) {
                source.NextRow(piece.band.data());
                std::memcpy(rows[y - y0] + std::size_t(p.clip.Left) * 3, piece.band.data() + cutLeft, clipBytes);
            }
        } else {
            piece.band.resize(std::size_t(last - first) * width * 3);
            piece.alpha.clear();
            for (int y = first; y < last; ++y) {
                source.NextRow(piece.band.data() + std::size_t(y - first) * width * 3);
                if (p.seeThrough && source.RowAlpha()) {
                    piece.alpha.resize(std::size_t(last - first) * width, 255);
                    std::memcpy(piece.alpha.data() + std::size_t(y - first) * width, source.RowAlpha(), width);
                }
            }
        }
        if (last == p.clip.Bottom) {
            source.Drain();
            piece.rows.reset();
        }
    } catch (const std::bad_alloc&) {
        throw EJoinInputError(piece.input->FileName(), kNotEnoughMemory);
    } catch (const std::exception& e) {
        throw EJoinInputError(piece.input->FileName(), e.what());
    }
}

void TJoinCompositor::Compose(int y0, int count, std::uint8_t* const* rows)
{
    const int y1 = y0 + count;
    const std::size_t rowBytes = std::size_t(plan_.width) * 3;
    std::vector<TPiece*> active;
    for (auto& piece : pieces_)
        if (piece->Active(y0, y1))
            active.push_back(piece.get());

    // White wherever no picture is decoded straight into the canvas.
    std::vector<std::pair<int, int>> direct;
    for (int y = y0; y < y1; ++y) {
        direct.clear();
        for (const TPiece* piece : active)
            if (piece->direct && y >= piece->place->clip.Top && y < piece->place->clip.Bottom)
                direct.emplace_back(piece->place->clip.Left, piece->place->clip.Right);
        std::sort(direct.begin(), direct.end());
        std::uint8_t* row = rows[y - y0];
        std::size_t x = 0;
        for (const auto& [left, right] : direct) {
            std::memset(row + 3 * x, 0xFF, 3 * (std::size_t(left) - x));
            x = std::size_t(right);
        }
        std::memset(row + 3 * x, 0xFF, rowBytes - 3 * x);
    }

    {
        TTaskGroup group(pool_);
        for (TPiece* piece : active) {
            if (!piece->input)
                continue;
            group.Run([this, piece, y0, y1, rows] {
                reading_ = piece->index;
                DecodeBand(*piece, y0, y1, rows);
            });
        }
        group.Wait();
    }

    // Pictures over earlier ones, in join order, with the engine's blend.
    std::vector<std::uint8_t> white;
    for (TPiece* piece : active) {
        if (piece->direct)
            continue;
        const TPlacedPicture& p = *piece->place;
        const int first = std::max(y0, p.clip.Top), last = std::min(y1, p.clip.Bottom);
        const std::size_t clipBytes = std::size_t(p.clip.Right - p.clip.Left) * 3;
        const std::size_t width = std::size_t(piece->RectWidth());
        if (!piece->input)
            white.assign(clipBytes, 0xFF);
        const std::size_t cutLeft = std::size_t(p.clip.Left - p.rect.Left);
        for (int y = first; y < last; ++y) {
            const std::uint8_t* src =
                piece->input ? piece->band.data() + (std::size_t(y - first) * width + cutLeft) * 3 : white.data();
            std::uint8_t* dest = rows[y - y0] + std::size_t(p.clip.Left) * 3;
            if (!piece->alpha.empty())
                BlendRowSeeThrough(src, piece->alpha.data() + std::size_t(y - first) * width + cutLeft, dest,
                                   clipBytes / 3, p.opacity);
            else
                BlendRow(src, dest, clipBytes, p.opacity);
        }
        if (last == p.clip.Bottom)
            piece->band = {}, piece->alpha = {};
    }

    if (background_ != clWhite) {
        const std::uint8_t bgr[3] = {ColorBlue(background_), ColorGreen(background_), ColorRed(background_)};
        for (int y = y0; y < y1; ++y)
            for (const auto& [left, right] : plan_.UncoveredSpans(y))
                for (int x = left; x < right; ++x)
                    std::memcpy(rows[y - y0] + 3 * std::size_t(x), bgr, 3);
    }
}

void TJoinCompositor::ReadUnused()
{
    std::vector<bool> shown(inputs_.size());
    for (const TPlacedPicture& p : plan_.pictures)
        if (p.input != kBlankInput)
            shown[std::size_t(p.input)] = true;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        if (shown[i])
            continue;
        try {
            inputs_[i]->OpenRows(0)->Drain();
        } catch (const std::bad_alloc&) {
            throw EJoinInputError(inputs_[i]->FileName(), kNotEnoughMemory);
        } catch (const std::exception& e) {
            throw EJoinInputError(inputs_[i]->FileName(), e.what());
        }
    }
}

namespace {

// Hands the canvas out row by row, top to bottom. With more than one thread, a composer thread
// of its own works up to kBuffers - 1 bands ahead of the encoder, so that decoding and encoding
// overlap even when one band takes longer than the next.
class TBandFeed {
public:
    TBandFeed(TJoinCompositor& compositor, const TJoinProgress& progress, bool ahead)
        : c_(compositor), progress_(progress)
    {
        const std::size_t rowBytes = std::size_t(c_.Width()) * 3;
        // About 8 MB a band, in whole groups of 16 rows (what a JPEG encoder takes at once).
        rowsPerBand_ = int(std::clamp<std::size_t>((std::size_t(8) << 20) / std::max<std::size_t>(rowBytes, 1), 16, 256) & ~std::size_t(15));
        bands_ = (c_.Height() + rowsPerBand_ - 1) / rowsPerBand_;
        buffers_.resize(ahead ? kBuffers : 1);
        for (auto& b : buffers_) {
            // Not cleared: Compose writes every byte of a band, and the pages are first touched
            // there, by the threads that decode, rather than all up front on this one.
            b.bytes.reset(new std::uint8_t[rowBytes * std::size_t(rowsPerBand_)]);
            for (int i = 0; i < rowsPerBand_; ++i)
                b.rows.push_back(b.bytes.get() + rowBytes * std::size_t(i));
        }
        if (ahead && bands_ > 0)
            composer_ = std::thread([this] { ComposeAhead(); });
    }
    ~TBandFeed()
    {
        if (composer_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                stopping_ = true;
            }
            changed_.notify_all();
            composer_.join();
        }
    }

    const std::uint8_t* Row(int y)
    {
        while (current_ < 0 || y >= BandStart(current_) + BandRows(current_))
            Advance();
        return Buffer(current_).rows[std::size_t(y - BandStart(current_))];
    }

private:
    static constexpr int kBuffers = 2;
    struct TBuffer {
        std::unique_ptr<std::uint8_t[]> bytes;
        std::vector<std::uint8_t*> rows;
    };

    int BandStart(int band) const { return band * rowsPerBand_; }
    int BandRows(int band) const { return std::min(rowsPerBand_, c_.Height() - BandStart(band)); }
    TBuffer& Buffer(int band) { return buffers_[std::size_t(band) % buffers_.size()]; }
    void Compose(int band) { c_.Compose(BandStart(band), BandRows(band), Buffer(band).rows.data()); }

    void ComposeAhead()
    {
        for (int band = 0; band < bands_; ++band) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                // The encoder still reads band released_; the buffers after it may be filled.
                changed_.wait(lock, [&] { return stopping_ || band < released_ + kBuffers; });
                if (stopping_)
                    return;
            }
            try {
                Compose(band);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex_);
                failure_ = std::current_exception();
                changed_.notify_all();
                return;
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                composed_ = band + 1;
            }
            changed_.notify_all();
        }
    }

    void Advance()
    {
        const int band = current_ + 1;
        if (composer_.joinable()) {
            std::unique_lock<std::mutex> lock(mutex_);
            released_ = band;
            changed_.notify_all();
            changed_.wait(lock, [&] { return composed_ > band || failure_; });
            if (composed_ <= band)
                std::rethrow_exception(failure_); // the band's failure, raised where it is needed
        } else {
            Compose(band);
        }
        current_ = band;
        if (progress_)
            progress_(BandStart(band) + BandRows(band), c_.Height(), c_.Reading());
    }

    TJoinCompositor& c_;
    const TJoinProgress& progress_;
    int rowsPerBand_ = 16;
    int bands_ = 0;
    std::vector<TBuffer> buffers_;
    int current_ = -1; // the band the encoder reads

    std::thread composer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int released_ = 0; // bands before it are encoded
    int composed_ = 0; // bands before it are ready
    std::exception_ptr failure_;
    bool stopping_ = false;
};

} // namespace

void WriteJoin(TJoinCompositor& compositor, TExportFormat format, const TPictureExportOptions& options,
               const std::string& fileName, const TJoinProgress& progress)
{
    const int width = compositor.Width(), height = compositor.Height();
    if (format == TExportFormat::Png && options.interlace) {
        TABitmap whole;
        whole.AllocateUninitialized(width, height, pf24bit);
        TBandFeed feed(compositor, progress, SharedWorkers().Threads() > 1);
        for (int y = 0; y < height; ++y)
            std::memcpy(whole.ScanLine(y), feed.Row(y), std::size_t(width) * 3);
        compositor.ReadUnused();
        ExportPicture(whole, format, fileName, options);
        return;
    }
    TBandFeed feed(compositor, progress, SharedWorkers().Threads() > 1);
    ExportRows(width, height, [&](int y) { return feed.Row(y); }, format, fileName, options,
               [&] { compositor.ReadUnused(); });
}

} // namespace gz
