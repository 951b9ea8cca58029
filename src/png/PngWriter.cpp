#include "png/PngWriter.h"

#include "platform/Bitmap.h"
#include "platform/WorkerPool.h"
#include "png/BlockDeflate.h"
#include "png/PngWriterRows.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

namespace gz {

TKroPNGTime CurrentPNGTimeUTC()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    TKroPNGTime t;
    t.Year = std::uint16_t(utc.tm_year + 1900);
    t.Month = std::uint8_t(utc.tm_mon + 1);
    t.Day = std::uint8_t(utc.tm_mday);
    t.Hour = std::uint8_t(utc.tm_hour);
    t.Minute = std::uint8_t(utc.tm_min);
    t.Second = std::uint8_t(utc.tm_sec);
    return t;
}

namespace {

struct TAlignedFree {
    void operator()(std::uint8_t* p) const { std::free(p); }
};
using TRowBuffer = std::unique_ptr<std::uint8_t, TAlignedFree>;

TRowBuffer AllocateRow(std::size_t bytes)
{
    const std::size_t rounded = (bytes + 31) & ~std::size_t(31);
    auto* p = static_cast<std::uint8_t*>(std::aligned_alloc(32, rounded));
    if (!p)
        throw EOutOfResources("Not enough memory for the PNG rows");
    return TRowBuffer(p);
}

void PutU16(std::vector<std::uint8_t>& v, unsigned x)
{
    v.push_back(std::uint8_t(x >> 8));
    v.push_back(std::uint8_t(x));
}

void PutU32(std::vector<std::uint8_t>& v, std::uint32_t x)
{
    v.push_back(std::uint8_t(x >> 24));
    v.push_back(std::uint8_t(x >> 16));
    v.push_back(std::uint8_t(x >> 8));
    v.push_back(std::uint8_t(x));
}

int SourceBitsOf(TPixelFormat pf)
{
    switch (pf) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit: case pfCustom: return 15;
    case pf16bit: return 16;
    case pf32bit: return 32;
    case pfDevice: case pf24bit: return 24;
    }
    return 24;
}

// Adaptive filter choice: None unless a candidate scores strictly higher; a flat candidate
// is taken at once. Returns the chosen row (filter byte included).
const std::uint8_t* ChooseAdaptive(const std::uint8_t* none, const std::uint8_t* prev, std::uint8_t* const spare[2],
                                   std::size_t len, std::size_t bpp, int pixelBits, int depthSetting,
                                   std::uint32_t* histogram)
{
    bool flat = false;
    std::int64_t bestScore = png::ScoreRow(none, len + 1, pixelBits, histogram, flat);
    if (flat || depthSetting == 4)
        return none;
    if (depthSetting == 1 || depthSetting == 8)
        bestScore *= 2;
    const std::uint8_t* best = none;
    std::uint8_t* work = spare[0];
    for (png::TFilterType type : {png::ftSub, png::ftUp, png::ftAverage, png::ftPaeth}) {
        png::FilterRow(type, none + 1, prev + 1, work, len, bpp);
        const std::int64_t score = png::ScoreRow(work, len + 1, pixelBits, histogram, flat);
        if (flat)
            return work;
        if (score > bestScore) {
            bestScore = score;
            best = work;
            work = work == spare[0] ? spare[1] : spare[0];
        }
    }
    return best;
}

} // namespace

// Everything one write needs; released (deflate state included) when the write ends.
struct TKroPNGWriteStream::TState {
    std::function<const std::uint8_t*(int y)> row; // source scan line y
    const TBitmap* mask = nullptr; // usable alpha mask, or null
    int width = 0, height = 0;
    int sourceBits = 24;
    int depthSetting = 24;
    bool grey = false;
    bool alpha = false;
    int pixelBits = 24;
    std::uint8_t bitDepth = 8;
    std::uint8_t colorType = png::ctRGB;
    bool interlaced = false;
    std::vector<TPaletteEntry> palette;
    png::TRowConverter converter;

    std::size_t rowCapacity = 0;
    TRowBuffer buffers[4];
    std::uint32_t histogram[256];

    std::unique_ptr<TBlockDeflater> deflater;
    std::unique_ptr<std::uint8_t[]> out; // the IDAT chunk being filled
    std::size_t outUsed = 0;
};

TKroPNGWriteStream::TKroPNGWriteStream() : clock_(CurrentPNGTimeUTC) {}

TKroPNGWriteStream::~TKroPNGWriteStream() = default;

void TKroPNGWriteStream::SetDescription(const TKroPNGDescription& d)
{
    grayScale_ = d.GrayScale;
    backgroundColor_ = d.BackgroundColor;
    transparentColor_ = d.TransparentColor;
    comment_ = d.Comment;
    gamma_ = d.Gamma;
    significantBits_ = d.SignificantBits;
    pixelUnit_ = d.PixelUnit;
    pixelsPerUnitX_ = d.PixelsPerUnitX;
    pixelsPerUnitY_ = d.PixelsPerUnitY;
}

void TKroPNGWriteStream::SetIDATSize(int size)
{
    if (size < 256 || size > 100000)
        throw EKroPNG(png::kMsgIDATSize);
    idatSize_ = size;
}

void TKroPNGWriteStream::WriteRows(int width, int height, std::function<const std::uint8_t*(int y)> rows,
                                   TStream& stream)
{
    rowSource_ = std::make_unique<TRowSource>(TRowSource{width, height, std::move(rows)});
    struct TForget {
        std::unique_ptr<TRowSource>& source;
        ~TForget() { source.reset(); }
    } forget{rowSource_};
    Begin(stream);
    WriteImage();
    Flush();
}

void TKroPNGWriteStream::SetClock(TKroPNGClock clock)
{
    clock_ = clock ? std::move(clock) : TKroPNGClock(CurrentPNGTimeUTC);
}

void TKroPNGWriteStream::WriteChunk(std::uint32_t type, const void* data, std::uint32_t length)
{
    std::uint8_t typeBytes[4] = {std::uint8_t(type >> 24), std::uint8_t(type >> 16), std::uint8_t(type >> 8),
                                 std::uint8_t(type)};
    uLong crc = crc32(0L, typeBytes, 4);
    if (length > 0)
        crc = crc32(crc, static_cast<const Bytef*>(data), length);
    WriteU32(length);
    WriteU32(type);
    WriteBytes(data, length);
    WriteU32(std::uint32_t(crc));
}

void TKroPNGWriteStream::WriteImage()
{
    TState s;
    Prepare(s);
    if (writeSignature_)
        WriteBytes(png::kSignature, sizeof png::kSignature);
    WriteHeaderChunks(s);
    Progress().Advance(10);

    try {
        StartCompressor(s);
        WriteRows(s);
    } catch (...) {
        // What was compressed so far still leaves as IDAT chunks; the file gets no IEND.
        try {
            FinishCompressor(s);
        } catch (...) {
        }
        throw;
    }
    FinishCompressor(s);
    WriteChunk(png::kIEND, nullptr, 0);
    Progress().End();
}

void TKroPNGWriteStream::Prepare(TState& s)
{
    s.interlaced = interlace_ == 1;
    if (rowSource_) {
        s.row = rowSource_->row;
        s.width = rowSource_->width;
        s.height = rowSource_->height;
        Progress().Start();
        Progress().OpenStage(10, 30);
        return;
    }
    const TBitmap& src = SourceBitmap();
    s.row = [&src](int y) { return src.ScanLine(y); };
    s.width = src.Width();
    s.height = src.Height();
    s.sourceBits = SourceBitsOf(src.PixelFormat());
    s.depthSetting = (s.sourceBits == 15 || s.sourceBits == 16) ? 24 : s.sourceBits;

    const TBitmap* a = alphaBitmap_;
    if (a && a != &src && !a->Empty() && a->Width() == s.width && a->Height() == s.height &&
        a->PixelFormat() == pf8bit)
        s.mask = a;

    if (s.sourceBits <= 8) {
        s.palette = src.Palette();
        const std::size_t limit = std::size_t(1) << s.sourceBits;
        if (s.palette.size() > limit)
            s.palette.resize(limit);
    }

    Progress().Start();
    Progress().OpenStage(10, 30);
}

void TKroPNGWriteStream::WriteHeaderChunks(TState& s)
{
    // IHDR: the colour type from the depth setting and the grey option.
    s.grey = grayScale_;
    if (s.grey) {
        if (s.depthSetting <= 8) {
            s.bitDepth = std::uint8_t(s.depthSetting);
        } else {
            s.bitDepth = 8;
            s.depthSetting = 8;
        }
        if (s.mask && s.bitDepth == 8) {
            s.colorType = png::ctGreyAlpha;
            s.pixelBits = 16;
            s.alpha = true;
        } else {
            s.colorType = png::ctGrey;
            s.pixelBits = s.bitDepth;
        }
    } else if (s.depthSetting <= 8) {
        s.bitDepth = std::uint8_t(s.depthSetting);
        s.colorType = png::ctPalette;
        s.pixelBits = s.bitDepth;
    } else {
        s.bitDepth = 8;
        if (s.mask) {
            s.colorType = png::ctRGBAlpha;
            s.pixelBits = 32;
            s.alpha = true;
        } else {
            s.colorType = png::ctRGB;
            s.pixelBits = 24;
        }
    }
    std::vector<std::uint8_t> d;
    PutU32(d, std::uint32_t(s.width));
    PutU32(d, std::uint32_t(s.height));
    d.insert(d.end(), {s.bitDepth, s.colorType, 0, 0, std::uint8_t(s.interlaced ? 1 : 0)});
    WriteChunk(png::kIHDR, d.data(), std::uint32_t(d.size()));

    if (useCurrentTime_ || modifiedTime_) {
        const TKroPNGTime t = useCurrentTime_ ? clock_() : *modifiedTime_;
        if (IsValidPNGTime(t)) {
            const std::uint8_t b[7] = {std::uint8_t(t.Year >> 8), std::uint8_t(t.Year), t.Month, t.Day,
                                       t.Hour, t.Minute, t.Second};
            WriteChunk(png::ktIME, b, 7);
        }
    }

    auto writeText = [this](const std::string& keyword, const std::string& text) {
        if (keyword.size() >= png::kMaxKeywordLength)
            return;
        std::vector<std::uint8_t> t(keyword.begin(), keyword.end());
        t.push_back(0);
        t.insert(t.end(), text.begin(), text.end());
        WriteChunk(png::ktEXt, t.data(), std::uint32_t(t.size()));
    };
    if (!comment_.empty())
        writeText(png::kCommentKeyword, comment_);
    writeText(png::kSoftwareKeyword, png::kSoftwareText);

    const std::uint8_t tag[8] = {'K', 'r', 'o', '3', std::uint8_t(!rowKey_.empty() && OnWriteRow ? 1 : 0), 0, 0, 0};
    WriteChunk(png::ktpNG, tag, 8);

    if (gifExtension_ && !gifExtension_->IsZero()) {
        std::uint8_t g[4];
        png::EncodeGifExtension(*gifExtension_, g);
        WriteChunk(png::kgIFg, g, 4);
    }

    const double gamma = std::trunc(gamma_ * 100000.0);
    if (gamma > 0) {
        d.clear();
        PutU32(d, gamma >= 2147483647.0 ? 0x7FFFFFFFu : std::uint32_t(gamma));
        WriteChunk(png::kgAMA, d.data(), 4);
    }

    if (chromaticity_ && (*chromaticity_)[0] != 0 && (*chromaticity_)[1] != 0) {
        d.clear();
        for (std::int32_t v : *chromaticity_)
            PutU32(d, std::uint32_t(v));
        WriteChunk(png::kcHRM, d.data(), std::uint32_t(d.size()));
    }

    WriteColorChunks(s);
    WritePhysChunk();
}

bool TKroPNGWriteStream::ResolvePaletteIndex(const TState& s, std::int32_t value, int& index) const
{
    if (s.palette.empty())
        return false;
    if (png::IsPaletteIndexColor(value)) {
        index = png::ColorIndex(value);
        // An index past the palette would make a chunk no reader accepts.
        return std::size_t(index) < s.palette.size();
    }
    const int r = png::ColorValueRed(value), g = png::ColorValueGreen(value), b = png::ColorValueBlue(value);
    int best = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < s.palette.size(); ++i) {
        const TPaletteEntry& e = s.palette[i];
        const int dist = std::abs(e.Red - r) + std::abs(e.Green - g) + std::abs(e.Blue - b);
        if (dist < best) {
            best = dist;
            index = int(i);
            if (dist == 0)
                break;
        }
    }
    return true;
}

bool TKroPNGWriteStream::ResolveGrey(const TState& s, std::int32_t value, int& grey) const
{
    unsigned r = png::ColorValueRed(value), g = png::ColorValueGreen(value), b = png::ColorValueBlue(value);
    if (png::IsPaletteIndexColor(value) && s.sourceBits <= 8) {
        const std::size_t index = png::ColorIndex(value);
        if (index >= s.palette.size())
            return false;
        r = s.palette[index].Red;
        g = s.palette[index].Green;
        b = s.palette[index].Blue;
    }
    const unsigned luma = png::Luma(r, g, b);
    grey = s.sourceBits == 1 ? (luma >= 128 ? 1 : 0) : s.sourceBits == 4 ? int(luma >> 4) : int(luma);
    return true;
}

void TKroPNGWriteStream::WriteColorChunks(TState& s)
{
    const bool paletteOutput = s.colorType == png::ctPalette;
    std::vector<std::uint8_t> d;

    std::int32_t sbit = significantBits_;
    if (s.sourceBits == 15)
        sbit = png::SignificantBitsValue(5, 5, 5, 8);
    else if (s.sourceBits == 16)
        sbit = png::SignificantBitsValue(5, 6, 5, 8);
    if (sbit > 0 && !s.grey) {
        d = {png::SignificantRed(sbit), png::SignificantGreen(sbit), png::SignificantBlue(sbit)};
        if (s.alpha)
            d.push_back(png::SignificantAlpha(sbit));
        WriteChunk(png::ksBIT, d.data(), std::uint32_t(d.size()));
    }

    if (paletteOutput && !s.palette.empty()) {
        d.clear();
        for (const TPaletteEntry& e : s.palette)
            d.insert(d.end(), {e.Red, e.Green, e.Blue});
        WriteChunk(png::kPLTE, d.data(), std::uint32_t(d.size()));
    }

    // bKGD and tRNS share the resolution of a colour value against the output.
    auto colourData = [&](std::int32_t value, bool transparency) -> bool {
        d.clear();
        if (paletteOutput) {
            int index = 0;
            if (!ResolvePaletteIndex(s, value, index))
                return false;
            if (transparency) {
                d.assign(std::size_t(index) + 1, 255);
                d[std::size_t(index)] = 0;
            } else {
                d.push_back(std::uint8_t(index));
            }
        } else if (s.grey) {
            int grey = 0;
            if (!ResolveGrey(s, value, grey))
                return false;
            PutU16(d, unsigned(grey));
        } else {
            PutU16(d, png::ColorValueRed(value));
            PutU16(d, png::ColorValueGreen(value));
            PutU16(d, png::ColorValueBlue(value));
        }
        return true;
    };
    if (backgroundColor_ != png::kNoColor && colourData(backgroundColor_, false))
        WriteChunk(png::kbKGD, d.data(), std::uint32_t(d.size()));
    if (transparentColor_ != png::kNoColor && !s.alpha && colourData(transparentColor_, true))
        WriteChunk(png::ktRNS, d.data(), std::uint32_t(d.size()));
}

void TKroPNGWriteStream::WritePhysChunk()
{
    if (pixelsPerUnitX_ < 1 || pixelsPerUnitY_ < 1)
        return;
    std::uint32_t x = std::uint32_t(pixelsPerUnitX_), y = std::uint32_t(pixelsPerUnitY_);
    std::uint8_t unit = pixelUnit_ == 1 ? 1 : 0;
    if (pixelUnit_ == 2) {
        auto perMetre = [](std::int32_t perInch) {
            const double v = std::trunc(double(perInch) * 100.0 / 254.0 * 100.0);
            return v >= 2147483647.0 ? 0x7FFFFFFFu : std::uint32_t(v);
        };
        x = perMetre(pixelsPerUnitX_);
        y = perMetre(pixelsPerUnitY_);
        unit = 1;
    }
    std::vector<std::uint8_t> d;
    PutU32(d, x);
    PutU32(d, y);
    d.push_back(unit);
    WriteChunk(png::kpHYs, d.data(), 9);
}

void TKroPNGWriteStream::StartCompressor(TState& s)
{
    // Grey output of a palette source goes through a table built from the palette.
    png::TRowConverter& c = s.converter;
    c.SourceBits = s.sourceBits;
    c.Grey = s.grey;
    c.Alpha = s.alpha;
    if (s.grey && s.sourceBits <= 8) {
        const int entries = 1 << s.sourceBits;
        if (s.palette.empty()) {
            for (int i = 0; i < entries; ++i)
                c.GreyMap[i] = std::uint8_t(i);
        } else {
            auto luma = [&](std::size_t i) {
                const TPaletteEntry& e = s.palette[i];
                return png::Luma(e.Red, e.Green, e.Blue);
            };
            if (s.sourceBits == 1) {
                c.GreyMap[0] = (s.palette.size() >= 2 && luma(1) < luma(0)) ? 255 : 0;
            } else {
                for (std::size_t i = 0; i < s.palette.size(); ++i)
                    c.GreyMap[i] = s.sourceBits == 8 ? luma(i) : std::uint8_t(luma(i) >> 4);
            }
        }
        c.Invert = s.sourceBits == 1 && c.GreyMap[0] == 255;
    }

    const std::uint64_t rowBytes = (std::uint64_t(s.width) * unsigned(s.pixelBits) + 7) >> 3;
    if (rowBytes + 1 >= std::numeric_limits<std::size_t>::max() / 2)
        throw EOutOfResources("The picture is too wide to write");
    s.rowCapacity = std::size_t(rowBytes);
    for (TRowBuffer& b : s.buffers)
        b = AllocateRow(s.rowCapacity + 1);

    s.out.reset(new std::uint8_t[std::size_t(idatSize_)]);
    s.outUsed = 0;
    TWorkerPool& pool = SharedWorkers();
    s.deflater = std::make_unique<TBlockDeflater>(
        compressionLevel_, [this, &s](const std::uint8_t* data, std::size_t n) { AppendIDAT(s, data, n); },
        pool.Threads() > 1 ? &pool : nullptr);
}

void TKroPNGWriteStream::AppendIDAT(TState& s, const std::uint8_t* data, std::size_t n)
{
    const std::size_t size = std::size_t(idatSize_);
    while (n > 0) {
        const std::size_t take = std::min(n, size - s.outUsed);
        std::memcpy(s.out.get() + s.outUsed, data, take);
        s.outUsed += take;
        data += take;
        n -= take;
        if (s.outUsed == size) {
            WriteChunk(png::kIDAT, s.out.get(), std::uint32_t(size));
            s.outUsed = 0;
        }
    }
}

void TKroPNGWriteStream::CompressRow(TState& s, const std::uint8_t* data, std::size_t n) { s.deflater->Write(data, n); }

void TKroPNGWriteStream::FinishCompressor(TState& s)
{
    if (!s.deflater)
        return;
    std::unique_ptr<TBlockDeflater> deflater = std::move(s.deflater);
    deflater->Finish();
    if (s.outUsed > 0)
        WriteChunk(png::kIDAT, s.out.get(), std::uint32_t(s.outUsed));
    s.outUsed = 0;
    for (TRowBuffer& b : s.buffers)
        b.reset();
}

void TKroPNGWriteStream::WriteRows(TState& s)
{
    const int passes = s.interlaced ? png::kPassCount : 1;
    auto passWidth = [&](int p) { return s.interlaced ? png::PassColumns(p, s.width) : std::int64_t(s.width); };
    auto passHeight = [&](int p) { return s.interlaced ? png::PassRows(p, s.height) : std::int64_t(s.height); };

    std::int64_t totalRows = 0;
    for (int p = 0; p < passes; ++p)
        if (passWidth(p) > 0)
            totalRows += passHeight(p);
    Progress().OpenStage(totalRows, 100);

    const bool hook = !rowKey_.empty() && OnWriteRow;
    const std::size_t bpp = std::size_t(s.pixelBits + 7) / 8;
    const std::uint8_t mode = filterMode_;
    std::uint8_t* cur = s.buffers[0].get();
    std::uint8_t* prev = s.buffers[1].get();
    std::uint8_t* spare[2] = {s.buffers[2].get(), s.buffers[3].get()};
    std::int64_t counter = 0;

    for (int p = 0; p < passes; ++p) {
        const std::int64_t pw = passWidth(p), ph = passHeight(p);
        if (pw == 0 || ph == 0)
            continue;
        const int first = s.interlaced ? png::kPassColStart[p] : 0;
        const int step = s.interlaced ? png::kPassColStep[p] : 1;
        const int rowStart = s.interlaced ? png::kPassRowStart[p] : 0;
        const int rowStep = s.interlaced ? png::kPassRowStep[p] : 1;
        const std::size_t len = std::size_t((std::uint64_t(pw) * unsigned(s.pixelBits) + 7) >> 3);
        std::memset(prev, 0, len + 1);

        for (std::int64_t r = 0; r < ph; ++r) {
            const int y = int(rowStart + r * rowStep);
            const std::uint8_t* maskLine = s.alpha ? s.mask->ScanLine(y) : nullptr;
            s.converter.Convert(s.row(y), maskLine, first, step, int(pw), cur + 1);
            if (hook)
                OnWriteRow(*this, cur + 1, rowKey_, int(counter), int(len));
            cur[0] = png::ftNone;

            const std::uint8_t* chosen = cur;
            if (mode >= 2 && mode <= 5) {
                png::FilterRow(png::TFilterType(mode - 1), cur + 1, prev + 1, spare[0], len, bpp);
                chosen = spare[0];
            } else if (mode == 0) {
                chosen = ChooseAdaptive(cur, prev, spare, len, bpp, s.pixelBits, s.depthSetting, s.histogram);
            }
            CompressRow(s, chosen, len + 1);
            std::swap(cur, prev);

            ++counter;
            if ((counter & 3) == 2 || s.height < 4)
                Progress().Advance(counter);
        }
    }
}

} // namespace gz
