#pragma once
// The bridge to libjpeg, internal to the JPEG codec: one session per compressor or
// decompressor holds the error manager, the memory-stream source or destination and the
// progress hook. libjpeg reports fatal errors by jumping back into RunGuarded, the only
// function that calls setjmp; every library call that may fail goes through it.

#include "platform/Types.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <functional>
#include <type_traits>

#include <jpeglib.h>

namespace gz {

class TStream;

// Receives the stage and percentage of a running compression or decompression.
using TJPEGProgress = std::function<void(TProgressStage stage, int percent)>;

namespace jpeglib {

// Size of the blocks the source and destination move between libjpeg and the stream.
constexpr std::size_t kBlockSize = 4096;
// Working memory libjpeg may take for one picture (coefficient buffers of multi-scan files,
// quantiser tables); beyond it the library fails cleanly instead of swapping the machine.
constexpr long kMaxLibraryMemory = 1L << 30;

class TJPEGSession {
public:
    explicit TJPEGSession(const TJPEGProgress* progress);
    TJPEGSession(const TJPEGSession&) = delete;
    TJPEGSession& operator=(const TJPEGSession&) = delete;

    // Hooks the error manager (and the progress hook, when there is a listener) into cinfo
    // before jpeg_create_*.
    void Prepare(j_common_ptr cinfo);
    void ReadFrom(j_decompress_ptr cinfo, TStream& stream);
    void WriteTo(j_compress_ptr cinfo, TStream& stream);
    // Applies the memory limit; call after jpeg_create_*.
    void LimitMemory(j_common_ptr cinfo);

    // Runs step under the error guard; on a fatal error raises what the library or one of
    // the callbacks reported. The step must not hold objects with destructors.
    template <class Step>
    void Run(Step&& step)
    {
        using S = std::remove_reference_t<Step>;
        static_assert(std::is_trivially_destructible_v<S>, "a guarded step must not own objects");
        if (!RunGuarded(*this, [](void* p) { (*static_cast<S*>(p))(); }, &step))
            Raise();
    }

    [[noreturn]] void Raise();

    // libjpeg callbacks (C linkage is not needed: they are called through pointers).
    static void ErrorExit(j_common_ptr cinfo);
    static void EmitMessage(j_common_ptr cinfo, int level);
    static void OutputMessage(j_common_ptr cinfo);
    static void InitSource(j_decompress_ptr cinfo);
    static boolean FillInputBuffer(j_decompress_ptr cinfo);
    static void SkipInputData(j_decompress_ptr cinfo, long count);
    static void TermSource(j_decompress_ptr cinfo);
    static void InitDestination(j_compress_ptr cinfo);
    static boolean EmptyOutputBuffer(j_compress_ptr cinfo);
    static void TermDestination(j_compress_ptr cinfo);
    static void ProgressHook(j_common_ptr cinfo);

private:
    friend bool RunGuarded(TJPEGSession& session, void (*step)(void*), void* arg);
    static TJPEGSession& Of(j_common_ptr cinfo) { return *static_cast<TJPEGSession*>(cinfo->client_data); }
    [[noreturn]] void JumpBack();
    // Puts the next block into buffer_; at the end of the data an end-of-image marker instead,
    // and false.
    bool ReadBlock(j_decompress_ptr cinfo);
    void WriteBlock(j_compress_ptr cinfo, std::size_t count);

    jpeg_error_mgr errors_{};
    std::jmp_buf jump_{};
    std::exception_ptr pending_; // an exception a callback caught; raised again after the jump

    TStream* stream_ = nullptr;
    bool startOfFile_ = false;
    jpeg_source_mgr source_{};
    jpeg_destination_mgr destination_{};
    JOCTET buffer_[kBlockSize]{};

    jpeg_progress_mgr progressHook_{};
    const TJPEGProgress* progress_ = nullptr;
    bool timing_ = false;
    long long lastReportMs_ = 0;
    int lastPercent_ = -1;
};

// The one place with setjmp: returns false when libjpeg or a callback jumped back.
bool RunGuarded(TJPEGSession& session, void (*step)(void*), void* arg);

// A decompressor that is always destroyed, created on a session.
class TDecompressor {
public:
    TDecompressor(TStream& data, const TJPEGProgress* progress);
    ~TDecompressor();
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    jpeg_decompress_struct cinfo{};
    TJPEGSession session;
};

class TCompressor {
public:
    TCompressor(TStream& dest, const TJPEGProgress* progress);
    ~TCompressor();
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;

    jpeg_compress_struct cinfo{};
    TJPEGSession session;
};

} // namespace jpeglib
} // namespace gz
