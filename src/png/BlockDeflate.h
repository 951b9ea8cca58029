#pragma once
// The PNG writer's compressor: one zlib stream cut into fixed-size blocks of input. Each block
// is deflated on its own, primed with the 32 KB of input before it, and ends on a byte
// boundary (a sync flush; the last block ends the stream), and the Adler-32 values of the
// blocks are combined. Blocks can so be compressed side by side on several threads, and the
// stream is the same byte for byte whatever the number of threads.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace gz {

class TWorkerPool;

class TBlockDeflater {
public:
    // Compressed bytes, in stream order.
    using TSink = std::function<void(const std::uint8_t* data, std::size_t n)>;

    static constexpr std::size_t kBlockSize = 256 * 1024;

    // level: zlib level 0..9, anything else the default level. pool: where blocks are
    // compressed (null: on the calling thread).
    TBlockDeflater(int level, TSink sink, TWorkerPool* pool);
    ~TBlockDeflater();
    TBlockDeflater(const TBlockDeflater&) = delete;
    TBlockDeflater& operator=(const TBlockDeflater&) = delete;

    // Raises EKroPNG "Write Image (PNG): Write Error" when zlib fails on a block.
    void Write(const std::uint8_t* data, std::size_t n);
    // Compresses what is left, ends the stream and passes the rest to the sink.
    void Finish();

private:
    struct TJob;
    void StartBlock(bool last);
    void CollectOldest();

    int level_;
    TSink sink_;
    TWorkerPool* pool_;
    std::size_t maxInFlight_;
    std::vector<std::uint8_t> block_;      // input gathered for the next block
    std::vector<std::uint8_t> dictionary_; // the last 32 KB of input before it
    std::deque<std::shared_ptr<TJob>> inFlight_;
    std::vector<std::shared_ptr<TJob>> spareJobs_;
    std::uint32_t adler_ = 1;
    bool headerDone_ = false;
    bool finished_ = false;
};

} // namespace gz
