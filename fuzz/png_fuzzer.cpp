// libFuzzer target: PNG bytes through the PNG picture class, from a memory stream (read in
// place) or from a stream that is not one (read through the buffer), with the reader's
// options taken from the input. Seed it with the public PNG test suite.

#include "png/KroPNG.h"

#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A stream over the input that is not a memory stream and gives out odd-sized pieces.
class TPieceStream : public gz::TStream {
public:
    TPieceStream(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(void* buffer, std::size_t count) override
    {
        const std::size_t n = std::min({count, std::size_t(4099), size_ - std::min(pos_, size_)});
        std::memcpy(buffer, data_ + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, gz::TSeekOrigin origin) override
    {
        const std::int64_t base = origin == gz::soBeginning ? 0
                                  : origin == gz::soCurrent ? std::int64_t(pos_)
                                                            : std::int64_t(size_);
        pos_ = std::size_t(std::max<std::int64_t>(base + offset, 0));
        return std::int64_t(pos_);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Pictures of any size their data can hold are legal; to keep the fuzzer fast, inputs whose
// header asks for more than a few million pixels are left out.
bool TooLarge(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t kIHDR[4] = {'I', 'H', 'D', 'R'};
    for (const std::uint8_t* p = data; (p = std::search(p, data + size, kIHDR, kIHDR + 4)) != data + size; ++p) {
        if (std::size_t(data + size - p) < 12)
            break;
        const std::uint64_t w = (std::uint64_t(p[4]) << 24) | (p[5] << 16) | (p[6] << 8) | p[7];
        const std::uint64_t h = (std::uint64_t(p[8]) << 24) | (p[9] << 16) | (p[10] << 8) | p[11];
        if (w * h > (std::uint64_t(1) << 22))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (TooLarge(data, size))
        return 0;
    const std::uint8_t options = size > 0 ? data[size - 1] : 0;
    gz::TKroPNG png;
    png.ReadHighColor = (options & 1) != 0;
    png.SkipMacBinary = (options & 2) != 0;
    png.RowKey = "k";
    if (options & 4)
        png.OnReadRow = [](gz::TKroPNGReadStream&, std::uint8_t* row, const std::string&, int n, int length) {
            for (int i = 0; i < length; ++i)
                row[i] = std::uint8_t(row[i] ^ n);
        };
    try {
        if (options & 8) {
            TPieceStream stream(data, size);
            png.LoadFromStream(stream);
        } else {
            gz::TMemoryViewStream stream(data, size);
            png.LoadFromStream(stream);
        }
        gz::TBitmap bmp;
        bmp.Assign(png);
        if (!bmp.Empty())
            (void)bmp.Pixel(bmp.Width() - 1, bmp.Height() - 1);
    } catch (const gz::Exception&) {
    }
    return 0;
}
