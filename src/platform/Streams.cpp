#include "platform/Streams.h"

#include "platform/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace gz {

std::int64_t TStream::Size()
{
    const std::int64_t pos = Seek(0, soCurrent);
    const std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, std::size_t count)
{
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t n = Read(out, count);
        if (n == 0)
            throw EReadError("Stream read error");
        out += n;
        count -= n;
    }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count)
{
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t n = Write(in, count);
        if (n == 0)
            throw EWriteError("Stream write error");
        in += n;
        count -= n;
    }
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<std::uint8_t> buffer(std::size_t(std::min<std::int64_t>(count, 1 << 16)) + 1);
    std::int64_t left = count;
    while (left > 0) {
        const std::size_t n = std::size_t(std::min<std::int64_t>(left, std::int64_t(buffer.size())));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= std::int64_t(n);
    }
    return count;
}

// ---- memory streams ----

std::size_t TCustomMemoryStream::Read(void* buffer, std::size_t count)
{
    if (pos_ >= size_)
        return 0;
    const std::size_t n = std::min(count, size_ - pos_);
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    std::int64_t base = 0;
    if (origin == soCurrent)
        base = std::int64_t(pos_);
    else if (origin == soEnd)
        base = std::int64_t(size_);
    const std::int64_t target = base + offset;
    if (target < 0)
        throw EStreamError("Invalid stream position");
    pos_ = std::size_t(target);
    return target;
}

void TCustomMemoryStream::SetPointer(std::uint8_t* data, std::size_t size)
{
    data_ = data;
    size_ = size;
}

void TCustomMemoryStream::SaveToStream(TStream& dest)
{
    if (size_ > 0)
        dest.WriteBuffer(data_, size_);
}

void TCustomMemoryStream::SaveToFile(const std::string& fileName)
{
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

TMemoryStream::~TMemoryStream() { std::free(data_); }

void TMemoryStream::Reserve(std::size_t capacity)
{
    if (capacity <= capacity_)
        return;
    std::size_t grown = std::max(capacity, capacity_ + capacity_ / 2);
    grown = (grown + 0xFFF) & ~std::size_t(0xFFF);
    auto* block = static_cast<std::uint8_t*>(std::realloc(data_, grown));
    if (!block)
        throw EOutOfResources("Out of memory while expanding memory stream");
    data_ = block;
    capacity_ = grown;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count)
{
    if (count == 0)
        return 0;
    const std::size_t end = pos_ + count;
    if (end < pos_)
        throw EOutOfResources("Out of memory while expanding memory stream");
    Reserve(end);
    if (pos_ > size_)
        std::memset(data_ + size_, 0, pos_ - size_);
    std::memcpy(data_ + pos_, buffer, count);
    pos_ = end;
    size_ = std::max(size_, end);
    return count;
}

void TMemoryStream::SetSize(std::int64_t newSize)
{
    if (newSize < 0)
        throw EStreamError("Invalid stream size");
    const auto n = std::size_t(newSize);
    Reserve(n);
    if (n > size_)
        std::memset(data_ + size_, 0, n - size_);
    size_ = n;
    pos_ = std::min(pos_, size_);
}

void TMemoryStream::Clear()
{
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    const std::int64_t count = source.Size();
    SetSize(count);
    if (count > 0)
        source.ReadBuffer(data_, std::size_t(count));
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, fmOpenRead);
    LoadFromStream(file);
}

TMemoryViewStream::TMemoryViewStream(const void* data, std::size_t size)
{
    SetPointer(static_cast<std::uint8_t*>(const_cast<void*>(data)), size);
}

// ---- file stream ----

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fileName_(fileName)
{
    int flags = O_RDONLY;
    if (mode == fmOpenWrite)
        flags = O_WRONLY;
    else if (mode == fmOpenReadWrite)
        flags = O_RDWR;
    else if (mode == fmCreate)
        flags = O_RDWR | O_CREAT | O_TRUNC;
    fd_ = ::open(fileName.c_str(), flags | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        const std::string reason = std::strerror(errno);
        if (mode == fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count)
{
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, count);
        if (n >= 0)
            return std::size_t(n);
        // A failing disk is not the end of the file: the reader hears of it, with the name.
        if (errno != EINTR)
            throw EReadError("Stream read error: " + fileName_ + ": " + std::strerror(errno));
    }
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count)
{
    for (;;) {
        const ssize_t n = ::write(fd_, buffer, count);
        if (n >= 0)
            return std::size_t(n);
        if (errno != EINTR)
            throw EWriteError("Stream write error: " + fileName_ + ": " + std::strerror(errno));
    }
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    const off_t r = ::lseek(fd_, off_t(offset), whence);
    if (r < 0)
        throw EStreamError("Invalid stream position");
    return std::int64_t(r);
}

void TFileStream::SetSize(std::int64_t newSize)
{
    if (::ftruncate(fd_, off_t(newSize)) != 0)
        throw EStreamError("Stream size cannot be changed: " + fileName_ + ": " + std::strerror(errno));
    if (Position() > newSize)
        SetPosition(newSize);
}

void TFileStream::Flush()
{
    if (::fsync(fd_) != 0 && errno != EINVAL)
        throw EWriteError("Stream write error: " + fileName_ + ": " + std::strerror(errno));
}

} // namespace gz
