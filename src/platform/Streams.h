#pragma once
// Byte streams: an abstract base with position and size, an owning memory stream whose
// bytes can be read in place, a read-only view over memory someone else owns, and a file stream.

#include <cstddef>
#include <cstdint>
#include <string>

namespace gz {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Raw transfer: returns the number of bytes actually moved (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t newSize);

    // All-or-nothing transfers; a short read raises EReadError, a short write EWriteError.
    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    // Copies count bytes from source (all of it from position 0 when count is 0).
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
};

// Streams whose bytes sit in one block of memory; readers may use Memory() directly.
class TCustomMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return std::int64_t(size_); }
    const std::uint8_t* Memory() const { return data_; }
    void SaveToStream(TStream& dest);
    void SaveToFile(const std::string& fileName);

protected:
    void SetPointer(std::uint8_t* data, std::size_t size);
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t pos_ = 0;
};

// Growable memory stream that owns its block.
class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    ~TMemoryStream() override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t newSize) override;
    void Clear();
    std::uint8_t* Memory() { return data_; }
    using TCustomMemoryStream::Memory;
    void LoadFromStream(TStream& source);
    void LoadFromFile(const std::string& fileName);

private:
    void Reserve(std::size_t capacity);
    std::size_t capacity_ = 0;
};

// Read-only stream over bytes owned elsewhere; writes fail.
class TMemoryViewStream : public TCustomMemoryStream {
public:
    TMemoryViewStream(const void* data, std::size_t size);
    std::size_t Write(const void*, std::size_t) override { return 0; }
};

enum TFileMode { fmOpenRead, fmOpenWrite, fmOpenReadWrite, fmCreate };

class TFileStream : public TStream {
public:
    // Raises EFOpenError, or EFCreateError for fmCreate, with the file name and the system's reason.
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;
    // 0 at the end of the file; an error of the system raises EReadError with the file name.
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t newSize) override;
    const std::string& FileName() const { return fileName_; }
    // Forces the written bytes to the disk; raises EWriteError when that fails.
    void Flush();

private:
    std::string fileName_;
    int fd_ = -1;
};

} // namespace gz
