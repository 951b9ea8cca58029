#include "jpeg/JPEGLibrary.h"

#include "jpeg/JPEGError.h"
#include "platform/Streams.h"

#include <chrono>
#include <string>

#include <jerror.h>

namespace gz {

EJPEG::EJPEG(int messageCode) : EInvalidGraphic("JPEG エラー #" + std::to_string(messageCode)), code_(messageCode) {}

namespace jpeglib {

namespace {

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

// Nothing with a destructor may be alive in the frames between this setjmp and the
// longjmp of JumpBack: the steps passed in and the callbacks below keep to that.
bool RunGuarded(TJPEGSession& session, void (*step)(void*), void* arg)
{
    if (setjmp(session.jump_))
        return false;
    step(arg);
    return true;
}

TJPEGSession::TJPEGSession(const TJPEGProgress* progress) : progress_(progress && *progress ? progress : nullptr) {}

void TJPEGSession::Prepare(j_common_ptr cinfo)
{
    cinfo->err = jpeg_std_error(&errors_);
    errors_.error_exit = ErrorExit;
    errors_.emit_message = EmitMessage;
    errors_.output_message = OutputMessage;
    cinfo->client_data = this;
}

void TJPEGSession::LimitMemory(j_common_ptr cinfo)
{
    cinfo->mem->max_memory_to_use = kMaxLibraryMemory;
    if (progress_) {
        progressHook_.progress_monitor = ProgressHook;
        cinfo->progress = &progressHook_;
    }
}

void TJPEGSession::ReadFrom(j_decompress_ptr cinfo, TStream& stream)
{
    stream_ = &stream;
    stream.SetPosition(0);
    source_.init_source = InitSource;
    source_.fill_input_buffer = FillInputBuffer;
    source_.skip_input_data = SkipInputData;
    source_.resync_to_restart = jpeg_resync_to_restart;
    source_.term_source = TermSource;
    source_.next_input_byte = nullptr;
    source_.bytes_in_buffer = 0;
    cinfo->src = &source_;
}

void TJPEGSession::WriteTo(j_compress_ptr cinfo, TStream& stream)
{
    stream_ = &stream;
    destination_.init_destination = InitDestination;
    destination_.empty_output_buffer = EmptyOutputBuffer;
    destination_.term_destination = TermDestination;
    cinfo->dest = &destination_;
}

void TJPEGSession::Raise()
{
    if (pending_) {
        const std::exception_ptr failure = pending_;
        pending_ = nullptr;
        std::rethrow_exception(failure);
    }
    throw EJPEG(errors_.msg_code);
}

void TJPEGSession::JumpBack() { std::longjmp(jump_, 1); }

// ---- error manager: fatal errors jump back, warnings and trace messages are dropped ----

void TJPEGSession::ErrorExit(j_common_ptr cinfo) { Of(cinfo).JumpBack(); }

void TJPEGSession::EmitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        cinfo->err->num_warnings++;
}

void TJPEGSession::OutputMessage(j_common_ptr) {}

// ---- source: the data stream in blocks, an end-of-image marker once it runs dry ----

void TJPEGSession::InitSource(j_decompress_ptr cinfo) { Of(j_common_ptr(cinfo)).startOfFile_ = true; }

bool TJPEGSession::ReadBlock(j_decompress_ptr cinfo)
{
    std::size_t count = 0;
    bool failed = false;
    try {
        count = stream_->Read(buffer_, kBlockSize);
    } catch (...) {
        pending_ = std::current_exception();
        failed = true;
    }
    if (failed)
        JumpBack();
    const bool ended = count == 0;
    if (ended) {
        if (startOfFile_)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        buffer_[0] = 0xFF;
        buffer_[1] = JPEG_EOI;
        count = 2;
    }
    source_.next_input_byte = buffer_;
    source_.bytes_in_buffer = count;
    startOfFile_ = false;
    return !ended;
}

boolean TJPEGSession::FillInputBuffer(j_decompress_ptr cinfo)
{
    Of(j_common_ptr(cinfo)).ReadBlock(cinfo);
    return TRUE;
}

void TJPEGSession::SkipInputData(j_decompress_ptr cinfo, long count)
{
    TJPEGSession& s = Of(j_common_ptr(cinfo));
    if (count <= 0)
        return;
    while (count > long(s.source_.bytes_in_buffer)) {
        count -= long(s.source_.bytes_in_buffer);
        if (!s.ReadBlock(cinfo))
            return; // the data ended: leave the end-of-image marker for the reader
    }
    s.source_.next_input_byte += count;
    s.source_.bytes_in_buffer -= std::size_t(count);
}

void TJPEGSession::TermSource(j_decompress_ptr) {}

// ---- destination: the output stream in blocks; a short write is the library's write error ----

void TJPEGSession::InitDestination(j_compress_ptr cinfo)
{
    TJPEGSession& s = Of(j_common_ptr(cinfo));
    s.destination_.next_output_byte = s.buffer_;
    s.destination_.free_in_buffer = kBlockSize;
}

void TJPEGSession::WriteBlock(j_compress_ptr cinfo, std::size_t count)
{
    std::size_t written = 0;
    bool failed = false;
    try {
        written = stream_->Write(buffer_, count);
    } catch (...) {
        pending_ = std::current_exception();
        failed = true;
    }
    if (failed)
        JumpBack();
    if (written != count)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

boolean TJPEGSession::EmptyOutputBuffer(j_compress_ptr cinfo)
{
    TJPEGSession& s = Of(j_common_ptr(cinfo));
    s.WriteBlock(cinfo, kBlockSize);
    s.destination_.next_output_byte = s.buffer_;
    s.destination_.free_in_buffer = kBlockSize;
    return TRUE;
}

void TJPEGSession::TermDestination(j_compress_ptr cinfo)
{
    TJPEGSession& s = Of(j_common_ptr(cinfo));
    const std::size_t count = kBlockSize - s.destination_.free_in_buffer;
    if (count > 0)
        s.WriteBlock(cinfo, count);
}

// ---- progress: at most every 500 ms, only when the percentage moved ----

void TJPEGSession::ProgressHook(j_common_ptr cinfo)
{
    TJPEGSession& s = Of(cinfo);
    const long long now = NowMs();
    if (!s.timing_) {
        s.timing_ = true;
        s.lastReportMs_ = now;
        return;
    }
    if (now - s.lastReportMs_ < 500)
        return;
    s.lastReportMs_ = now;
    const jpeg_progress_mgr& p = s.progressHook_;
    if (p.pass_limit <= 0 || p.total_passes <= 0)
        return;
    const int percent = int((double(p.pass_counter) / double(p.pass_limit) + p.completed_passes) * 100.0 /
                            p.total_passes);
    if (percent == s.lastPercent_)
        return;
    s.lastPercent_ = percent;
    bool failed = false;
    try {
        (*s.progress_)(psRunning, percent);
    } catch (...) {
        s.pending_ = std::current_exception();
        failed = true;
    }
    if (failed)
        s.JumpBack();
}

// ---- compressor and decompressor that are destroyed on every path ----

TDecompressor::TDecompressor(TStream& data, const TJPEGProgress* progress) : session(progress)
{
    session.Prepare(j_common_ptr(&cinfo));
    try {
        session.Run([this] { jpeg_create_decompress(&cinfo); });
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        throw;
    }
    session.LimitMemory(j_common_ptr(&cinfo));
    session.ReadFrom(&cinfo, data);
}

TDecompressor::~TDecompressor() { jpeg_destroy_decompress(&cinfo); }

TCompressor::TCompressor(TStream& dest, const TJPEGProgress* progress) : session(progress)
{
    session.Prepare(j_common_ptr(&cinfo));
    try {
        session.Run([this] { jpeg_create_compress(&cinfo); });
    } catch (...) {
        jpeg_destroy_compress(&cinfo);
        throw;
    }
    session.LimitMemory(j_common_ptr(&cinfo));
    session.WriteTo(&cinfo, dest);
}

TCompressor::~TCompressor() { jpeg_destroy_compress(&cinfo); }

} // namespace jpeglib
} // namespace gz
