#pragma once
// The pipe to one bridge process: frames of WineBridgeProtocol.h written and read, each read
// and write bounded by a deadline and by the life of the process. Any failure leaves the
// channel broken, with a reason; what a broken channel reads is never used.

#include "susie/WineBridgeProtocol.h"

#include "susie_plugin.h"

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace gz {

class TWineChannel {
public:
    using Clock = std::chrono::steady_clock;
    // The longest frame the bridge may send: a picture's rows and header with room to spare.
    static constexpr std::uint32_t kMaxFrame = 0x80000000u + 4096u;
    static constexpr std::uint32_t kMaxTextBytes = 1u << 20;

    TWineChannel(int toBridge, int fromBridge, pid_t pid) : out_(toBridge), in_(fromBridge), pid_(pid) {}
    ~TWineChannel();

    // Every read and write from now on must be done within the time given.
    void SetDeadline(std::chrono::milliseconds fromNow)
    {
        timeout_ = fromNow;
        deadline_ = Clock::now() + fromNow;
    }
    // Every wait gives up once *flag is true (null: never); wake, when not -1, is a descriptor
    // that becomes readable when the flag is set, so that a wait ends at once.
    void SetCancel(const std::atomic<bool>* flag, int wake)
    {
        cancel_ = flag;
        wake_ = wake;
    }
    bool Broken() const { return !reason_.empty(); }
    const std::string& Reason() const { return reason_; }

    // ---- sending: fields are collected, a trailing block is written from where it is ----
    void Begin(bridge::Kind kind)
    {
        head_.clear();
        head_.push_back(std::uint8_t(kind));
        tail_ = nullptr;
        tailSize_ = 0;
    }
    void U8(std::uint8_t v) { head_.push_back(v); }
    void U32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            head_.push_back(std::uint8_t(v >> (8 * i)));
    }
    void I64(std::int64_t v)
    {
        U32(std::uint32_t(std::uint64_t(v)));
        U32(std::uint32_t(std::uint64_t(v) >> 32));
    }
    void Text(const std::string& s)
    {
        U32(std::uint32_t(s.size()));
        head_.insert(head_.end(), s.begin(), s.end());
    }
    // Counted bytes written after the fields; must come last.
    void Tail(const void* p, std::size_t n)
    {
        U32(std::uint32_t(n));
        tail_ = p;
        tailSize_ = n;
    }
    bool Send();

    // ---- receiving: one frame at a time ----
    bool Next(bridge::Kind& kind);
    bool ReadU8(std::uint8_t& v) { return Read(&v, 1); }
    bool ReadU32(std::uint32_t& v);
    bool ReadI32(std::int32_t& v)
    {
        std::uint32_t u = 0;
        const bool ok = ReadU32(u);
        v = std::int32_t(u);
        return ok;
    }
    bool ReadText(std::string& s, std::uint32_t limit = kMaxTextBytes);
    // Counted bytes into a new local-memory block; a count over limit breaks the channel.
    bool ReadBlock(SusieHandle& block, std::uint32_t limit);
    // The frame must have been read to its end.
    bool End() { return remaining_ == 0 || Break("a malformed answer from the bridge"); }

    // Marks the channel broken (the first reason is kept); always false.
    bool Break(const std::string& reason);

private:
    static std::string Hex(std::uint32_t v);
    // False (and broken) once the bridge process has ended.
    bool Alive();
    // Waits until fd is ready for events, the deadline passes or the bridge ends.
    bool Wait(int fd, short events);
    bool Write(const void* from, std::size_t count);
    // Bytes of the current frame, through the buffer; large blocks straight to their place.
    bool Read(void* to, std::size_t count);
    bool Skip(std::size_t count);

    int out_, in_;
    pid_t pid_;
    const std::atomic<bool>* cancel_ = nullptr;
    int wake_ = -1;
    Clock::time_point deadline_ = Clock::now();
    std::chrono::milliseconds timeout_{0};
    std::string reason_;
    std::vector<std::uint8_t> head_;
    const void* tail_ = nullptr;
    std::size_t tailSize_ = 0;
    std::size_t remaining_ = 0; // bytes of the current frame not read yet
    std::uint8_t buffer_[65536];
    std::size_t bufferPos_ = 0, bufferEnd_ = 0;
};

} // namespace gz
