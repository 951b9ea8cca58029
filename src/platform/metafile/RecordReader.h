#pragma once
// Bounded little-endian access to the bytes of one metafile record (or of the whole file).
// Every read is checked against the span; a read past its end throws RecordTruncated, which
// the players treat as "skip this record".

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace gz::metafile {

struct RecordTruncated {};

class RecordReader {
public:
    RecordReader() = default;
    RecordReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t Size() const { return size_; }
    const std::uint8_t* Data() const { return data_; }
    bool Has(std::size_t offset, std::size_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }

    std::uint8_t U8(std::size_t offset) const { return *Bytes(offset, 1); }
    std::uint16_t U16(std::size_t offset) const
    {
        const std::uint8_t* p = Bytes(offset, 2);
        return std::uint16_t(p[0] | (p[1] << 8));
    }
    std::int16_t I16(std::size_t offset) const { return std::int16_t(U16(offset)); }
    std::uint32_t U32(std::size_t offset) const
    {
        const std::uint8_t* p = Bytes(offset, 4);
        return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
               (std::uint32_t(p[3]) << 24);
    }
    std::int32_t I32(std::size_t offset) const { return std::int32_t(U32(offset)); }
    float F32(std::size_t offset) const
    {
        const std::uint32_t bits = U32(offset);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

    const std::uint8_t* Bytes(std::size_t offset, std::size_t length) const
    {
        if (!Has(offset, length))
            throw RecordTruncated{};
        return data_ + offset;
    }
    RecordReader Sub(std::size_t offset, std::size_t length) const
    {
        return RecordReader(Bytes(offset, length), length);
    }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace gz::metafile
