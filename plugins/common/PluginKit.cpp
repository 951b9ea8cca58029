#include "PluginKit.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace spi {

namespace {

// The bytes of a file from position on, at most limit of them. Returns an SPI_* result.
#ifdef _WIN32
int ReadFileInput(const char* path, std::uint64_t position, Input& input, std::size_t limit)
{
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SPI_FILE_READ_ERROR;
    LARGE_INTEGER fileSize{};
    int result = SPI_ALL_RIGHT;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &fileSize)) {
        result = SPI_FILE_READ_ERROR;
    } else if (std::uint64_t(fileSize.QuadPart) <= position) {
        result = SPI_NOT_SUPPORT;
    } else if (std::uint64_t(fileSize.QuadPart) - position > kMaxInputBytes) {
        result = SPI_NO_MEMORY;
    } else {
        const std::size_t size = std::min(std::size_t(std::uint64_t(fileSize.QuadPart) - position), limit);
        input.storage.resize(size);
        LARGE_INTEGER at{};
        at.QuadPart = LONGLONG(position);
        std::size_t done = 0;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
            result = SPI_FILE_READ_ERROR;
        while (result == SPI_ALL_RIGHT && done < size) {
            DWORD n = 0;
            const DWORD want = DWORD(std::min<std::size_t>(size - done, 1u << 30));
            if (!ReadFile(file, input.storage.data() + done, want, &n, nullptr) || n == 0)
                result = SPI_FILE_READ_ERROR;
            done += n;
        }
        input.data = input.storage.data();
        input.size = size;
    }
    CloseHandle(file);
    return result;
}
#else
int ReadFileInput(const char* path, std::uint64_t position, Input& input, std::size_t limit)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SPI_FILE_READ_ERROR;
    struct stat st {};
    int result = SPI_ALL_RIGHT;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = SPI_FILE_READ_ERROR;
    } else if (std::uint64_t(st.st_size) <= position) {
        result = SPI_NOT_SUPPORT;
    } else if (std::uint64_t(st.st_size) - position > kMaxInputBytes) {
        result = SPI_NO_MEMORY;
    } else {
        const std::size_t size = std::min(std::size_t(std::uint64_t(st.st_size) - position), limit);
        input.storage.resize(size);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd, input.storage.data() + done, size - done, off_t(position) + off_t(done));
            if (n <= 0) {
                result = SPI_FILE_READ_ERROR;
                break;
            }
            done += std::size_t(n);
        }
        input.data = input.storage.data();
        input.size = size;
    }
    ::close(fd);
    return result;
}
#endif

} // namespace

int ReadInput(const char* source, std::intptr_t position, std::uint32_t flag, Input& input, std::size_t limit)
{
    if (!source)
        return SPI_OTHER_ERROR;
    if ((flag & SPI_SOURCE_MASK) == SPI_SOURCE_MEMORY) {
        if (position <= 0)
            return SPI_NOT_SUPPORT;
        input.data = reinterpret_cast<const std::uint8_t*>(source);
        input.size = std::size_t(position);
        return SPI_ALL_RIGHT;
    }
    if ((flag & SPI_SOURCE_MASK) != SPI_SOURCE_FILE || position < 0)
        return SPI_OTHER_ERROR;
    return ReadFileInput(source, std::uint64_t(position), input, limit);
}

bool ByteReader::Skip(std::size_t n)
{
    if (!Has(n))
        return false;
    pos_ += n;
    return true;
}

bool ByteReader::U8(std::uint8_t& v)
{
    if (!Has(1))
        return false;
    v = data_[pos_++];
    return true;
}

bool ByteReader::LE16(std::uint16_t& v)
{
    if (!Has(2))
        return false;
    v = std::uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
}

bool ByteReader::Bytes(std::size_t n, const std::uint8_t*& p)
{
    if (!Has(n))
        return false;
    p = data_ + pos_;
    pos_ += n;
    return true;
}

Dib::~Dib()
{
    if (infoHandle_) {
        LocalUnlock(infoHandle_);
        LocalFree(infoHandle_);
    }
    if (bitsHandle_) {
        LocalUnlock(bitsHandle_);
        LocalFree(bitsHandle_);
    }
}

int Dib::Create(int width, int height, int bitCount, int colors)
{
    if (width <= 0 || height <= 0 || colors < 0 || colors > 256)
        return SPI_OUT_OF_ORDER;
    const std::uint64_t stride = (std::uint64_t(width) * std::uint64_t(bitCount) + 31) / 32 * 4;
    if (stride * std::uint64_t(height) > kMaxBitmapBytes)
        return SPI_NO_MEMORY;
    infoHandle_ = LocalAlloc(SUSIE_LMEM_ZEROINIT, sizeof(SusieBitmapInfoHeader) + 4 * std::size_t(colors));
    bitsHandle_ = LocalAlloc(SUSIE_LMEM_ZEROINIT, std::size_t(stride * std::uint64_t(height)));
    if (!infoHandle_ || !bitsHandle_)
        return SPI_NO_MEMORY;
    auto* header = static_cast<SusieBitmapInfoHeader*>(LocalLock(infoHandle_));
    header->biSize = sizeof(SusieBitmapInfoHeader);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = std::uint16_t(bitCount);
    header->biCompression = 0;
    header->biSizeImage = std::uint32_t(stride * std::uint64_t(height));
    header->biClrUsed = std::uint32_t(colors);
    colors_ = reinterpret_cast<std::uint8_t*>(header + 1);
    bits_ = static_cast<std::uint8_t*>(LocalLock(bitsHandle_));
    width_ = width;
    height_ = height;
    colorCount_ = colors;
    stride_ = std::size_t(stride);
    return SPI_ALL_RIGHT;
}

void Dib::SetColor(int index, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    if (index < 0 || index >= colorCount_)
        return;
    colors_[4 * index] = b;
    colors_[4 * index + 1] = g;
    colors_[4 * index + 2] = r;
    colors_[4 * index + 3] = 0;
}

void Dib::SetGreyPalette()
{
    for (int i = 0; i < colorCount_; ++i) {
        const auto v = std::uint8_t(colorCount_ > 1 ? i * 255 / (colorCount_ - 1) : 0);
        SetColor(i, v, v, v);
    }
}

void Dib::Release(SusieHandle* info, SusieHandle* bits)
{
    LocalUnlock(infoHandle_);
    LocalUnlock(bitsHandle_);
    *info = infoHandle_;
    *bits = bitsHandle_;
    infoHandle_ = bitsHandle_ = nullptr;
}

PictureNotes& CurrentNotes()
{
    thread_local PictureNotes notes;
    return notes;
}

bool Progress::Step(std::int64_t done, std::int64_t total)
{
    if (!callback_)
        return false;
    // The callback takes 32-bit counts: scale large totals down.
    while (total > 0x7FFFFFFF) {
        total >>= 1;
        done >>= 1;
    }
    return callback_(std::int32_t(done), std::int32_t(total), data_) != 0;
}

} // namespace spi

// ---- the exported entry points -----------------------------------------------------------

namespace {

int CopyInfo(const char* text, char* buffer, std::int32_t length)
{
    if (!buffer || length <= 0)
        return 0;
    const std::size_t n = std::min<std::size_t>(std::strlen(text), std::size_t(length));
    std::memcpy(buffer, text, n);
    if (n < std::size_t(length))
        buffer[n] = '\0';
    return int(n);
}

// The picture notes as text in a block for the host; null when it cannot be had.
SusieHandle NotesText(const spi::PictureNotes& notes)
{
    std::string text = SUSIE_NOTE_ALPHA_WHITE "\r\n";
    if (notes.orientation >= 2 && notes.orientation <= 8)
        text += SUSIE_NOTE_ORIENTATION + std::to_string(notes.orientation) + "\r\n";
    SusieHandle handle = LocalAlloc(SUSIE_LMEM_ZEROINIT, text.size() + 1);
    if (void* bytes = LocalLock(handle)) {
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        LocalUnlock(handle);
    }
    return handle;
}

int Decode(const char* source, std::intptr_t position, std::uint32_t flag, SusieHandle* info, SusieHandle* bits,
           SusieProgressCallback callback, std::intptr_t data, bool preview)
{
    if (!info || !bits)
        return SPI_OTHER_ERROR;
    try {
        spi::Input input;
        if (const int r = spi::ReadInput(source, position, flag, input); r != SPI_ALL_RIGHT)
            return r;
        spi::Progress progress(callback, data);
        if (progress.Step(0, 1))
            return SPI_ABORT;
        spi::Dib dib;
        if (const int r = spi::PluginDecode(input.data, input.size, preview, dib, progress); r != SPI_ALL_RIGHT)
            return r;
        if (progress.Step(1, 1))
            return SPI_ABORT;
        dib.Release(info, bits);
        return SPI_ALL_RIGHT;
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

} // namespace

extern "C" {

SUSIE_EXPORT int32_t SUSIE_API GetPluginInfo(int32_t infoNumber, char* buffer, int32_t bufLength)
{
    if (infoNumber < 0)
        return 0;
    for (int32_t i = 0; spi::kPluginInfo[i]; ++i)
        if (i == infoNumber)
            return CopyInfo(spi::kPluginInfo[i], buffer, bufLength);
    return 0;
}

SUSIE_EXPORT int32_t SUSIE_API IsSupported(const char* fileName, const void* head)
{
    if (!head)
        return 0;
    try {
        return spi::PluginIsSupported(fileName ? fileName : "", static_cast<const std::uint8_t*>(head)) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

SUSIE_EXPORT int32_t SUSIE_API GetPictureInfo(const char* source, intptr_t position, uint32_t flag, SusiePictureInfo* info)
{
    if (!info)
        return SPI_OTHER_ERROR;
    try {
        spi::Input input;
        const std::size_t limit = spi::kPictureInfoBytes ? spi::kPictureInfoBytes : spi::kMaxInputBytes;
        if (const int r = spi::ReadInput(source, position, flag, input, limit); r != SPI_ALL_RIGHT)
            return r;
        SusiePictureInfo result{};
        spi::CurrentNotes() = {};
        const int r = spi::PluginPictureInfo(input.data, input.size, result);
        if (r == SPI_ALL_RIGHT) {
            result.hInfo = NotesText(spi::CurrentNotes());
            std::memcpy(info, &result, sizeof result);
        }
        return r;
    } catch (const std::bad_alloc&) {
        return SPI_NO_MEMORY;
    } catch (...) {
        return SPI_OTHER_ERROR;
    }
}

SUSIE_EXPORT int32_t SUSIE_API GetPicture(const char* source, intptr_t position, uint32_t flag, SusieHandle* info,
                                SusieHandle* bits, SusieProgressCallback progress, intptr_t data)
{
    return Decode(source, position, flag, info, bits, progress, data, false);
}

#ifdef SPI_HAS_PREVIEW
SUSIE_EXPORT int32_t SUSIE_API GetPreview(const char* source, intptr_t position, uint32_t flag, SusieHandle* info,
                                SusieHandle* bits, SusieProgressCallback progress, intptr_t data)
{
    return Decode(source, position, flag, info, bits, progress, data, true);
}
#endif

} // extern "C"
