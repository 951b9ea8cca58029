#include "png/BlockDeflate.h"

#include "platform/WorkerPool.h"
#include "png/PngFormat.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>

namespace gz {

namespace {

constexpr std::size_t kDictionarySize = 32768;

// The two header bytes zlib writes for a 32 KB window at this level.
std::uint16_t StreamHeader(int level)
{
    const int flags = level == 0 || level == 1 ? 0 : level >= 2 && level <= 5 ? 1 : level >= 7 && level <= 9 ? 3 : 2;
    unsigned header = (Z_DEFLATED + ((15 - 8) << 4)) << 8;
    header |= unsigned(flags) << 6;
    header += 31 - header % 31;
    return std::uint16_t(header);
}

} // namespace

struct TBlockDeflater::TJob {
    std::vector<std::uint8_t> input, dictionary, output;
    std::size_t outputSize = 0; // output holds at least this much; the rest is room
    bool last = false;
    int level = Z_DEFAULT_COMPRESSION;
    std::size_t inputSize = 0;
    std::uint32_t adler = 1;
    std::atomic<bool> done{false};
    bool failed = false;

    void Run()
    {
        inputSize = input.size();
        adler = std::uint32_t(adler32(1, input.data(), uInt(input.size())));
        z_stream z{};
        if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            failed = true;
            return;
        }
        if (!dictionary.empty() && deflateSetDictionary(&z, dictionary.data(), uInt(dictionary.size())) != Z_OK)
            failed = true;
        const std::size_t bound = deflateBound(&z, uLong(input.size())) + 64;
        if (output.size() < bound)
            output.resize(bound);
        z.next_in = input.data();
        z.avail_in = uInt(input.size());
        std::size_t used = 0;
        while (!failed) {
            z.next_out = output.data() + used;
            z.avail_out = uInt(output.size() - used);
            const int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
            used = output.size() - z.avail_out;
            if (rc == Z_STREAM_END || (rc == Z_OK && !last && z.avail_out > 0))
                break;
            if (rc != Z_OK && rc != Z_BUF_ERROR)
                failed = true;
            else
                output.resize(output.size() * 2);
        }
        deflateEnd(&z);
        outputSize = used;
    }
};

TBlockDeflater::TBlockDeflater(int level, TSink sink, TWorkerPool* pool)
    : level_(level >= 0 && level <= 9 ? level : Z_DEFAULT_COMPRESSION), sink_(std::move(sink)), pool_(pool),
      maxInFlight_(pool ? std::size_t(pool->Threads()) * 2 + 1 : 1)
{
    block_.reserve(kBlockSize);
}

TBlockDeflater::~TBlockDeflater()
{
    // Jobs still running hold their own data; only wait so that none outlives the pool's use.
    if (pool_)
        pool_->WaitUntil([this] {
            return std::all_of(inFlight_.begin(), inFlight_.end(), [](const auto& j) { return j->done.load(); });
        });
}

void TBlockDeflater::Write(const std::uint8_t* data, std::size_t n)
{
    while (n > 0) {
        const std::size_t take = std::min(n, kBlockSize - block_.size());
        block_.insert(block_.end(), data, data + take);
        data += take;
        n -= take;
        if (block_.size() == kBlockSize)
            StartBlock(false);
    }
}

void TBlockDeflater::StartBlock(bool last)
{
    while (inFlight_.size() >= maxInFlight_)
        CollectOldest();
    std::shared_ptr<TJob> job;
    if (!spareJobs_.empty()) {
        job = std::move(spareJobs_.back());
        spareJobs_.pop_back();
        job->done = false;
        job->failed = false;
    } else {
        job = std::make_shared<TJob>();
    }
    job->level = level_;
    job->last = last;
    job->dictionary.assign(dictionary_.begin(), dictionary_.end());
    // The next block is primed with the end of this one.
    const std::size_t keep = std::min(kDictionarySize, block_.size());
    if (block_.size() >= kDictionarySize) {
        dictionary_.assign(block_.end() - std::ptrdiff_t(keep), block_.end());
    } else {
        dictionary_.insert(dictionary_.end(), block_.begin(), block_.end());
        if (dictionary_.size() > kDictionarySize)
            dictionary_.erase(dictionary_.begin(), dictionary_.end() - std::ptrdiff_t(kDictionarySize));
    }
    job->input.swap(block_); // block_ takes the job's old input, with its room
    block_.clear();
    block_.reserve(kBlockSize);
    inFlight_.push_back(job);
    if (pool_) {
        pool_->Submit([job, pool = pool_] {
            job->Run();
            job->done = true;
            pool->Notify();
        });
    } else {
        job->Run();
        job->done = true;
    }
}

void TBlockDeflater::CollectOldest()
{
    std::shared_ptr<TJob> job = inFlight_.front();
    if (pool_)
        pool_->WaitUntil([&] { return job->done.load(); });
    inFlight_.pop_front();
    if (job->failed)
        throw EKroPNG(png::kMsgWriteError);
    if (!headerDone_) {
        const std::uint16_t header = StreamHeader(level_);
        const std::uint8_t bytes[2] = {std::uint8_t(header >> 8), std::uint8_t(header)};
        sink_(bytes, 2);
        headerDone_ = true;
    }
    adler_ = std::uint32_t(adler32_combine(adler_, job->adler, z_off_t(job->inputSize)));
    sink_(job->output.data(), job->outputSize);
    spareJobs_.push_back(std::move(job)); // its buffers serve a later block
}

void TBlockDeflater::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    StartBlock(true);
    while (!inFlight_.empty())
        CollectOldest();
    const std::uint8_t trailer[4] = {std::uint8_t(adler_ >> 24), std::uint8_t(adler_ >> 16), std::uint8_t(adler_ >> 8),
                                     std::uint8_t(adler_)};
    sink_(trailer, 4);
}

} // namespace gz
