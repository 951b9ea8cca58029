#include "susie/WineChannel.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace gz {

TWineChannel::~TWineChannel()
{
    close(out_);
    close(in_);
}

bool TWineChannel::Send()
{
    const std::uint64_t length = head_.size() + tailSize_;
    if (length > 0x7FFFFFFFu)
        return Break("a request too large for the bridge");
    std::uint8_t prefix[4];
    for (int i = 0; i < 4; ++i)
        prefix[i] = std::uint8_t(length >> (8 * i));
    return Write(prefix, 4) && Write(head_.data(), head_.size()) && (!tailSize_ || Write(tail_, tailSize_));
}

bool TWineChannel::Next(bridge::Kind& kind)
{
    if (remaining_ > 0 && !Skip(remaining_))
        return false;
    std::uint8_t prefix[5];
    remaining_ = 5;
    if (!Read(prefix, 5))
        return false;
    const std::uint32_t length = std::uint32_t(prefix[0] | prefix[1] << 8 | prefix[2] << 16) |
                                 std::uint32_t(prefix[3]) << 24;
    if (length == 0 || length > kMaxFrame)
        return Break("a malformed answer from the bridge");
    remaining_ = length - 1;
    kind = bridge::Kind(prefix[4]);
    if (kind == bridge::Kind::Crash) {
        std::uint32_t code = 0;
        ReadU32(code);
        return Break("the plug-in crashed (exception " + Hex(code) + ")");
    }
    return true;
}

bool TWineChannel::ReadU32(std::uint32_t& v)
{
    std::uint8_t b[4];
    if (!Read(b, 4))
        return false;
    v = std::uint32_t(b[0] | b[1] << 8 | b[2] << 16) | std::uint32_t(b[3]) << 24;
    return true;
}

bool TWineChannel::ReadText(std::string& s, std::uint32_t limit)
{
    std::uint32_t n = 0;
    if (!ReadU32(n))
        return false;
    if (n > limit)
        return Break("a malformed answer from the bridge");
    s.resize(n);
    return Read(s.data(), n);
}

bool TWineChannel::ReadBlock(SusieHandle& block, std::uint32_t limit)
{
    std::uint32_t n = 0;
    if (!ReadU32(n))
        return false;
    if (n > limit)
        return Break("a malformed answer from the bridge");
    block = LocalAlloc(SUSIE_LMEM_FIXED, n);
    if (!block)
        return Break("no memory for the plug-in's picture");
    void* to = LocalLock(block);
    const bool ok = Read(to, n);
    LocalUnlock(block);
    if (!ok) {
        LocalFree(block);
        block = nullptr;
    }
    return ok;
}

bool TWineChannel::Break(const std::string& reason)
{
    if (reason_.empty())
        reason_ = reason;
    return false;
}

std::string TWineChannel::Hex(std::uint32_t v)
{
    char s[16];
    std::snprintf(s, sizeof s, "%08X", v);
    return s;
}

bool TWineChannel::Alive()
{
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r < 0)
        return Break("the bridge is gone");
    if (r == pid_) {
        if (WIFSIGNALED(status))
            return Break("the bridge ended by signal " + std::to_string(WTERMSIG(status)));
        return Break("the bridge exited (status " + std::to_string(WEXITSTATUS(status)) + ")");
    }
    return true;
}

bool TWineChannel::Wait(int fd, short events)
{
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0)
            return Break("no answer within " + std::to_string(timeout_.count() / 1000.0).substr(0, 4) + " s");
        if (cancel_ && cancel_->load())
            return Break("given up: the program is closing");
        pollfd p[2] = {{fd, events, 0}, {wake_, POLLIN, 0}};
        // Short slices: the bridge's end must be noticed even while a process it started
        // keeps the other end of the pipe open.
        const int r = poll(p, wake_ >= 0 ? 2 : 1, int(std::min<std::int64_t>(left.count(), 100)));
        if (cancel_ && cancel_->load())
            return Break("given up: the program is closing");
        if (r > 0 && p[0].revents)
            return true;
        if (r < 0 && errno != EINTR)
            return Break(std::string("poll: ") + std::strerror(errno));
        if (!Alive())
            return false;
    }
}

bool TWineChannel::Write(const void* from, std::size_t count)
{
    if (Broken())
        return false;
    const auto* p = static_cast<const std::uint8_t*>(from);
    while (count > 0) {
        // A bridge that is gone must not take this process with it through SIGPIPE.
        sigset_t pipeSignal, old;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &old);
        const ssize_t n = write(out_, p, std::min<std::size_t>(count, 1u << 20));
        const int error = errno;
        if (n < 0 && error == EPIPE) {
            timespec zero{};
            sigtimedwait(&pipeSignal, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
        if (n > 0) {
            p += n;
            count -= std::size_t(n);
        } else if (n < 0 && (error == EAGAIN || error == EINTR)) {
            if (!Wait(out_, POLLOUT))
                return false;
        } else {
            Alive();
            return Break("the bridge stopped reading");
        }
    }
    return true;
}

bool TWineChannel::Read(void* to, std::size_t count)
{
    if (Broken())
        return false;
    if (count > remaining_)
        return Break("a malformed answer from the bridge");
    remaining_ -= count;
    auto* p = static_cast<std::uint8_t*>(to);
    while (count > 0) {
        if (bufferPos_ < bufferEnd_) {
            const std::size_t n = std::min(count, bufferEnd_ - bufferPos_);
            std::memcpy(p, buffer_ + bufferPos_, n);
            bufferPos_ += n;
            p += n;
            count -= n;
            continue;
        }
        // Large blocks go straight to where they belong; small fields through the buffer.
        const bool direct = count >= sizeof buffer_;
        const ssize_t n = direct ? read(in_, p, count) : read(in_, buffer_, sizeof buffer_);
        if (n > 0) {
            if (direct) {
                p += n;
                count -= std::size_t(n);
            } else {
                bufferPos_ = 0;
                bufferEnd_ = std::size_t(n);
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            if (!Wait(in_, POLLIN))
                return false;
        } else {
            Alive();
            return Break("the bridge closed its output");
        }
    }
    return true;
}

bool TWineChannel::Skip(std::size_t count)
{
    std::uint8_t scratch[4096];
    while (count > 0) {
        const std::size_t n = std::min(count, sizeof scratch);
        if (!Read(scratch, n))
            return false;
        count -= n;
    }
    return true;
}

} // namespace gz
