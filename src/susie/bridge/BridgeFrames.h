#pragma once
// The bridge's side of the frames of WineBridgeProtocol.h on its private copies of the standard
// handles: requests read whole, replies built field by field and written in one go.

#include "../WineBridgeProtocol.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gz::bridge {

extern HANDLE protocolIn;
extern HANDLE protocolOut;

// Reads count bytes; false when the host has gone.
bool ReadExactly(void* to, DWORD count);
// Writes count bytes; ends the program when the host has gone.
void WriteOrDie(const void* from, size_t count);
// The next request's kind, its fields in body; the host closing the pipe ends the program.
Kind NextRequest(std::vector<uint8_t>& body);

// Builds a reply; large blocks are written straight from where they are, in their place
// between the fields.
class Reply {
public:
    explicit Reply(Kind kind) : parts_(1) { Own().push_back(uint8_t(kind)); }
    Reply& U8(uint8_t v)
    {
        Own().push_back(v);
        return *this;
    }
    Reply& U32(uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            Own().push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Reply& I32(int32_t v) { return U32(uint32_t(v)); }
    Reply& Bytes(const void* p, size_t n)
    {
        U32(uint32_t(n));
        Own().insert(Own().end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
        return *this;
    }
    Reply& Text(const std::string& s) { return Bytes(s.data(), s.size()); }
    // Counted bytes that stay where they are until the reply is sent.
    Reply& Block(const void* p, size_t n)
    {
        U32(uint32_t(n));
        parts_.push_back({{}, p, n});
        parts_.push_back({});
        return *this;
    }
    void Send()
    {
        size_t length = 0;
        for (const auto& part : parts_)
            length += part.external ? part.size : part.own.size();
        const uint32_t prefix = uint32_t(length);
        WriteOrDie(&prefix, 4);
        for (const auto& part : parts_)
            WriteOrDie(part.external ? part.external : part.own.data(), part.external ? part.size : part.own.size());
    }

private:
    struct Part {
        std::vector<uint8_t> own;
        const void* external = nullptr;
        size_t size = 0;
    };
    std::vector<uint8_t>& Own() { return parts_.back().own; }
    std::vector<Part> parts_;
};

class Request {
public:
    explicit Request(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    bool ok() const { return ok_; }
    uint8_t U8() { return ok_ && Need(1) ? bytes_[pos_++] : 0; }
    uint32_t U32()
    {
        if (!ok_ || !Need(4))
            return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(bytes_[pos_++]) << (8 * i);
        return v;
    }
    int32_t I32() { return int32_t(U32()); }
    int64_t I64()
    {
        const uint64_t lo = U32();
        const uint64_t hi = U32();
        return int64_t(lo | hi << 32);
    }
    // The bytes of a counted field, in place.
    const uint8_t* Bytes(uint32_t& count)
    {
        count = U32();
        if (!ok_ || !Need(count))
            return nullptr;
        const uint8_t* p = bytes_.data() + pos_;
        pos_ += count;
        return p;
    }
    std::string Text()
    {
        uint32_t n = 0;
        const uint8_t* p = Bytes(n);
        return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
    }

private:
    bool Need(size_t n)
    {
        if (n > bytes_.size() - pos_)
            ok_ = false;
        return ok_;
    }
    std::vector<uint8_t> bytes_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace gz::bridge
