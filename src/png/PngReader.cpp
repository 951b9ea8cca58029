#include "png/PngReader.h"

#include "png/PngReaderRows.h"

#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/PackedIndexes.h"

#include <zlib.h>

#include <algorithm>
#include <functional>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace gz {

using namespace png;

namespace {

constexpr std::size_t kInflateInput = 32768;
constexpr std::uint32_t kMaxDimension = 0x7FFFFFFF;
// Colour profiles: the compressed chunk and the profile it inflates to.
constexpr std::int64_t kMaxIccChunk = std::int64_t(16) << 20;
constexpr std::size_t kMaxIccProfile = std::size_t(16) << 20;

[[noreturn]] void ReadError() { throw EKroPNG(kMsgReadError); }

} // namespace

// Inflate state and row buffers of one image decode; released however the decode ends.
// The buffers are not cleared, so memory is only touched as image data arrives.
struct TKroPNGReadStream::TDecoder {
    using TBuffer = std::unique_ptr<std::uint8_t[]>;
    z_stream zs{};
    bool open = false;
    int pixelBits = 0;              // bits of one PNG pixel
    std::size_t filterDistance = 1; // byte distance of the filters
    bool hooked = false;            // rows go through OnReadRow
    TBuffer cur, prev, hook, converted, maskRow;

    static TBuffer Allocate(std::size_t n) { return TBuffer(new std::uint8_t[n]); }

    TDecoder() = default;
    TDecoder(const TDecoder&) = delete;
    TDecoder& operator=(const TDecoder&) = delete;
    ~TDecoder()
    {
        if (open)
            inflateEnd(&zs);
    }
};

TKroPNGReadStream::TKroPNGReadStream() = default;
TKroPNGReadStream::~TKroPNGReadStream() = default;

// ---- row by row ----

void TKroPNGReadStream::BeginRows(TStream& stream)
{
    rows_ = std::make_unique<TDecoder>();
    rowsRead_ = 0;
    BeginRead(stream, 0);
    ProgressStart();
    ResetResults();
    ReadSignature();
    ReadChunks();
    if (!headerSeen_)
        throw EKroPNG(kMsgNoHeader);
    if (!imageReached_)
        throw EKroPNG(kMsgNoImage);
    ChooseOutputFormat(); // refuses the depths no bitmap takes, as a whole read would
}

void TKroPNGReadStream::StartRows()
{
    if (interlace_ == 1)
        throw EKroPNG("Read Image (PNG): interlaced rows cannot be read one by one");
    StartDecoder(*rows_);
    rowPalette_ = CollectedPalette();
}

TPixelFormat TKroPNGReadStream::RowFormat() const { return OutputFormat(); }

void TKroPNGReadStream::ReadRow(std::uint8_t* dst, std::uint8_t* mask)
{
    TDecoder& d = *rows_;
    const std::size_t rowBytes = std::size_t((std::uint64_t(width_) * unsigned(d.pixelBits) + 7) >> 3);
    const std::uint8_t* src = NextRow(d, rowBytes, rowsRead_ == 0, rowsRead_);
    pngrows::ConvertRow(pngrows::TRowConversion(conversion_), src, rowBytes, std::size_t(width_), dst,
                        alpha_ ? mask : nullptr);
    if (mask && !alpha_ && needMask_)
        PaletteMaskRow(dst, mask);
    if (++rowsRead_ == height_)
        FinishRows();
}

// After the last row the rest of the file is read as a whole read reads it, so that a file
// is refused by the same faults either way.
void TKroPNGReadStream::FinishRows()
{
    imageDone_ = true;
    imageReached_ = false;
    rows_.reset();
    if (chunkLeft_ > 0)
        Skip(chunkLeft_);
    chunkLeft_ = 0;
    ReadU32(); // CRC of the last image data chunk
    ReadChunks();
}

// ---- chunk data ----

std::uint8_t TKroPNGReadStream::ChunkU8()
{
    if (chunkLeft_ < 1)
        return 0;
    chunkLeft_ -= 1;
    return ReadU8();
}

std::uint16_t TKroPNGReadStream::ChunkU16()
{
    if (chunkLeft_ < 2)
        return 0;
    chunkLeft_ -= 2;
    return ReadU16();
}

std::uint32_t TKroPNGReadStream::ChunkU32()
{
    if (chunkLeft_ < 4)
        return 0;
    chunkLeft_ -= 4;
    return ReadU32();
}

std::uint8_t TKroPNGReadStream::SampleByte(std::uint16_t value) const
{
    if (depth_ == 16)
        return std::uint8_t(value >> 8);
    // Grey levels below 8 bits are widened to the grey palette's level, so the colour matches
    // the pixels it stands for.
    if (baseType_ == ctGrey && depth_ < 8 && depth_ > 0) {
        const unsigned top = (1u << depth_) - 1;
        if (value <= top)
            return std::uint8_t(value * 255 / top);
    }
    return std::uint8_t(value & 0xFF);
}

// ---- the read ----

void TKroPNGReadStream::SetOptions(const TKroPNGReadOptions& options)
{
    RowKey = options.RowKey;
    SkipMacBinary = options.SkipMacBinary;
    ReadHighColor = options.ReadHighColor;
}

TKroPNGDescription TKroPNGReadStream::Description() const
{
    return {grayScale_,      backgroundColor_,         transparentColor_, comment_, gamma_,
            significantBits_, std::uint8_t(pixelUnit_), pixelsX_,          pixelsY_};
}

void TKroPNGReadStream::ResetResults()
{
    backgroundColor_ = transparentColor_ = kNoColor;
    interlace_ = 0;
    gamma_ = 0;
    significantBits_ = 0;
    fileBits_ = 0;
    grayScale_ = hasAlpha_ = false;
    iccProfile_.clear();
    chunkLeft_ = 0;
    headerSeen_ = paletteSeen_ = imageDone_ = privateSeen_ = endSeen_ = false;
    alpha_ = false;
    baseType_ = ctGrey;
    depth_ = conversion_ = 0;
    width_ = height_ = 0;
    transparencyPending_ = needMask_ = maskPrepared_ = false;
    imageReached_ = false;
    activeRowKey_.clear();
    invertedAlpha_.fill(255);
    if (TimeTarget)
        *TimeTarget = TKroPNGTime{};
    if (ChromaticityTarget)
        ChromaticityTarget->fill(0);
    if (GifExtensionTarget)
        *GifExtensionTarget = TKroPNGGifExtension{};
}

void TKroPNGReadStream::ReadImage()
{
    ProgressStart();
    ProgressOpenBytes(29);
    ResetResults();
    ReadSignature();

    ReadChunks();

    // A file that ends (or says IEND) before its header or image data holds no picture; loading
    // it as an empty one would pass for success.
    if (!Stopped() && !headerSeen_)
        throw EKroPNG(kMsgNoHeader);
    if (!Stopped() && !imageDone_)
        throw EKroPNG(kMsgNoImage);

    if (!EndOfData() && !Stopped() && !alpha_ && transparentColor_ != kNoColor) {
        Target()->SetTransparentColor(transparentColor_);
        Target()->SetTransparent(true);
    }
    if (needMask_ && maskPrepared_) {
        ApplyPaletteMask();
        hasAlpha_ = true;
    }
    ProgressEnd();
}

void TKroPNGReadStream::ReadSignature()
{
    if (!CheckSignature)
        return;
    std::uint8_t signature[8] = {};
    ReadBytes(signature, sizeof signature);
    if (std::memcmp(signature, kSignature, sizeof signature) != 0)
        throw EKroPNG(kMsgNotPNG);
}

void TKroPNGReadStream::ReadChunks()
{
    while (!EndOfData() && !Stopped() && !endSeen_) {
        const std::uint32_t length = ReadU32();
        const std::uint32_t type = ReadU32();
        if (EndOfData())
            break;
        chunkLeft_ = length;
        HandleChunk(type);
        if (rows_ && imageReached_)
            return; // row by row: the image data is read as rows are asked for
        if (chunkLeft_ > 0)
            Skip(chunkLeft_);
        chunkLeft_ = 0;
        ReadU32(); // CRC, not checked
        if (!imageDone_)
            ProgressBytes();
    }
}

void TKroPNGReadStream::HandleChunk(std::uint32_t type)
{
    const std::int64_t length = chunkLeft_;
    const bool beforeImage = headerSeen_ && !imageDone_;
    const bool beforePalette = beforeImage && !paletteSeen_;
    switch (type) {
    case kIHDR:
        ReadHeader();
        break;
    case kPLTE:
        if (beforePalette && (baseType_ == ctRGB || baseType_ == ctPalette))
            ReadPalette();
        break;
    case ktRNS:
        if (beforeImage && !alpha_)
            ReadTransparency();
        break;
    case kbKGD:
        if (beforeImage)
            ReadBackground();
        break;
    case kgAMA:
        if (beforePalette)
            gamma_ = double(ChunkU32()) / 100000.0;
        break;
    case ksBIT:
        if (beforePalette && (baseType_ == ctRGB || baseType_ == ctPalette))
            ReadSignificantBits();
        break;
    case kpHYs:
        if (beforeImage) {
            pixelsX_ = std::int32_t(ChunkU32());
            pixelsY_ = std::int32_t(ChunkU32());
            pixelUnit_ = ChunkU8();
        }
        break;
    case ktIME:
        if (length == 7 && TimeTarget) {
            TimeTarget->Year = ChunkU16();
            TimeTarget->Month = ChunkU8();
            TimeTarget->Day = ChunkU8();
            TimeTarget->Hour = ChunkU8();
            TimeTarget->Minute = ChunkU8();
            TimeTarget->Second = ChunkU8();
        }
        break;
    case kcHRM:
        if (beforePalette && length == 32 && ChromaticityTarget)
            for (auto& v : *ChromaticityTarget)
                v = std::int32_t(ChunkU32());
        break;
    case kgIFg:
        if (beforePalette && length == 4 && GifExtensionTarget) {
            std::uint8_t bytes[4];
            for (auto& b : bytes)
                b = ChunkU8();
            *GifExtensionTarget = DecodeGifExtension(bytes);
        }
        break;
    case ktEXt:
        ReadText();
        break;
    case kiCCP:
        if (beforePalette && iccProfile_.empty())
            ReadIccProfile();
        break;
    case ktpNG:
        if (beforeImage && !privateSeen_)
            ReadPrivate();
        break;
    case kIDAT:
        if (headerSeen_ && !imageDone_) { // image data before the header cannot be decoded
            imageReached_ = true;
            if (!rows_)
                DecodeImage();
        }
        break;
    case kIEND:
        endSeen_ = true;
        break;
    default:
        break;
    }
}

void TKroPNGReadStream::ReadHeader()
{
    if (headerSeen_)
        throw EKroPNG(kMsgTwoIHDR);
    const std::uint32_t width = ChunkU32();
    const std::uint32_t height = ChunkU32();
    depth_ = ChunkU8();
    const int colorType = ChunkU8() & 7;
    if (colorType == 1 || colorType == 5 || colorType == 7)
        throw EKroPNG(kMsgColorType);
    alpha_ = (colorType & 4) != 0;
    baseType_ = TColorType(alpha_ ? (colorType & 3) : colorType);
    if (ChunkU8() > 1)
        throw EKroPNG(kMsgCompression);
    if (ChunkU8() > 1)
        throw EKroPNG(kMsgFilter);
    interlace_ = ChunkU8();
    if (interlace_ > 1)
        throw EKroPNG(kMsgInterlace);
    // Refuse sizes no picture can have. How large a picture may be is bounded by the image
    // data the file holds (checked at the image data) and by memory.
    if (width == 0 || height == 0 || width > kMaxDimension || height > kMaxDimension)
        throw EKroPNG("Read Header(PNG): Error Image Size " + std::to_string(width) + " x " + std::to_string(height));
    width_ = int(width);
    height_ = int(height);
    headerSeen_ = true;
    grayScale_ = baseType_ == ctGrey;
    hasAlpha_ = alpha_;
    fileBits_ = baseType_ == ctRGB ? 3 * depth_ : depth_;
}

void TKroPNGReadStream::ReadPalette()
{
    const auto entries = int(std::min<std::int64_t>(chunkLeft_ / 3, 256));
    std::uint8_t* pal = PaletteBuffer();
    for (int i = 0; i < entries; ++i) {
        const std::uint8_t r = ChunkU8(), g = ChunkU8(), b = ChunkU8();
        pal[4 * i] = b;
        pal[4 * i + 1] = g;
        pal[4 * i + 2] = r;
        pal[4 * i + 3] = 0;
    }
    paletteCount_ = entries;
    paletteSeen_ = true;
}

void TKroPNGReadStream::ReadTransparency()
{
    if (baseType_ == ctGrey) {
        const std::uint8_t v = SampleByte(ChunkU16());
        transparentColor_ = std::int32_t(v) * 0x010101;
    } else if (baseType_ == ctRGB) {
        const std::uint8_t r = SampleByte(ChunkU16());
        const std::uint8_t g = SampleByte(ChunkU16());
        const std::uint8_t b = SampleByte(ChunkU16());
        transparentColor_ = RGBColorValue(r, g, b);
    } else if (paletteSeen_) {
        const auto n = int(std::min<std::int64_t>(chunkLeft_, paletteCount_));
        invertedAlpha_.fill(255);
        for (int i = 0; i < n; ++i)
            invertedAlpha_[std::size_t(i)] = ChunkU8();
        for (auto& a : invertedAlpha_)
            a = std::uint8_t(255 - a);
        transparencyPending_ = true;
    }
}

void TKroPNGReadStream::ReadBackground()
{
    if (baseType_ == ctGrey) {
        const std::uint8_t v = SampleByte(ChunkU16());
        backgroundColor_ = std::int32_t(v) * 0x010101;
    } else if (baseType_ == ctRGB) {
        const std::uint8_t r = SampleByte(ChunkU16());
        const std::uint8_t g = SampleByte(ChunkU16());
        const std::uint8_t b = SampleByte(ChunkU16());
        backgroundColor_ = RGBColorValue(r, g, b);
    } else {
        backgroundColor_ = PaletteIndexColor(ChunkU8());
    }
}

void TKroPNGReadStream::ReadSignificantBits()
{
    const std::uint8_t r = ChunkU8(), g = ChunkU8(), b = ChunkU8();
    const std::uint8_t a = (baseType_ == ctRGB && alpha_) ? ChunkU8() : 0;
    significantBits_ = SignificantBitsValue(r, g, b, a);
}

void TKroPNGReadStream::ReadText()
{
    std::string keyword;
    while (chunkLeft_ > 0 && !EndOfData()) {
        const char c = char(ChunkU8());
        if (c == 0)
            break;
        if (keyword.size() < kMaxKeywordLength)
            keyword += c;
    }
    if (keyword != kCommentKeyword || chunkLeft_ <= 0)
        return;
    // A text longer than the data left is a cut file: the chunk loop's skip ends the read.
    if (chunkLeft_ > Available() - Consumed())
        return;
    std::string text(std::size_t(chunkLeft_), '\0');
    ReadBytes(text.data(), text.size());
    chunkLeft_ = 0;
    if (!comment_.empty())
        comment_ += "\r\n";
    comment_ += text;
    comment_ += "\r\n";
}

void TKroPNGReadStream::ReadPrivate()
{
    privateSeen_ = true;
    const std::int64_t length = chunkLeft_;
    char tag[4];
    for (auto& c : tag)
        c = char(ChunkU8());
    if (length <= 4 || std::memcmp(tag, kPrivateTag, sizeof tag) != 0)
        return;
    if (ChunkU8() != 0) {
        activeRowKey_ = RowKey;
        if (OnRowKeyRequest)
            OnRowKeyRequest(*this, activeRowKey_);
    }
    ChunkU8(); // reserved
}

void TKroPNGReadStream::ReadIccProfile()
{
    // Name (1..79 bytes) and its zero, the compression method (0), then the deflated profile.
    for (std::size_t n = 0; chunkLeft_ > 0 && n <= kMaxKeywordLength; ++n)
        if (ChunkU8() == 0)
            break;
    if (ChunkU8() != 0 || chunkLeft_ <= 0 || chunkLeft_ > kMaxIccChunk || chunkLeft_ > Available() - Consumed())
        return;
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(chunkLeft_));
    ReadBytes(packed.data(), packed.size());
    chunkLeft_ = 0;
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return;
    std::vector<std::uint8_t> profile;
    zs.next_in = packed.data();
    zs.avail_in = uInt(packed.size());
    int status = Z_OK;
    while (status == Z_OK) {
        if (profile.size() >= kMaxIccProfile)
            break;
        const std::size_t done = profile.size();
        profile.resize(std::min(kMaxIccProfile, done + 65536));
        zs.next_out = profile.data() + done;
        zs.avail_out = uInt(profile.size() - done);
        status = inflate(&zs, Z_NO_FLUSH);
        profile.resize(profile.size() - zs.avail_out);
    }
    inflateEnd(&zs);
    if (status == Z_STREAM_END)
        iccProfile_ = std::move(profile); // a profile cut short or too large is not used at all
}

// ---- image data ----

void TKroPNGReadStream::ChooseOutputFormat()
{
    using namespace pngrows;
    int greyEntries = 0;
    switch (baseType_) {
    case ctGrey:
        if (depth_ != 1 && depth_ != 2 && depth_ != 4 && depth_ != 8 && depth_ != 16)
            throw EKroPNG(kMsgGreyBitdepth);
        if (alpha_) {
            if (depth_ < 8)
                throw EKroPNG(kMsgGreyAlpha);
            outputBits_ = 8;
            conversion_ = depth_ == 8 ? rcGreyAlpha8 : rcGreyAlpha16;
        } else {
            outputBits_ = depth_ == 2 ? 4 : depth_ == 16 ? 8 : depth_;
            conversion_ = depth_ == 2 ? rcExpand2 : depth_ == 16 ? rcGrey16 : rcCopy;
        }
        greyEntries = depth_ >= 8 ? 256 : 1 << depth_;
        break;
    case ctRGB: {
        if (depth_ != 8 && depth_ != 16)
            throw EKroPNG(kMsgBitDepth);
        const std::uint8_t r = SignificantRed(significantBits_), g = SignificantGreen(significantBits_),
                           b = SignificantBlue(significantBits_);
        const bool is555 = r == 5 && g == 5 && b == 5, is565 = r == 5 && g == 6 && b == 5;
        if (ReadHighColor && depth_ == 8 && (is555 || is565)) {
            outputBits_ = 16;
            conversion_ = alpha_ ? rcHighAlpha8 : rcHigh8;
            fileBits_ = is555 ? 15 : 16;
        } else {
            outputBits_ = 24;
            conversion_ = depth_ == 8 ? (alpha_ ? rcRGBA8 : rcRGB8) : (alpha_ ? rcRGBA16 : rcRGB16);
        }
        break;
    }
    default:
        if (depth_ != 1 && depth_ != 2 && depth_ != 4 && depth_ != 8)
            throw EKroPNG(kMsgBitDepth);
        outputBits_ = depth_ == 2 ? 4 : depth_;
        conversion_ = depth_ == 2 ? rcExpand2 : rcCopy;
        break;
    }
    if (greyEntries > 0) {
        std::uint8_t* pal = PaletteBuffer();
        for (int i = 0; i < greyEntries; ++i) {
            const auto v = std::uint8_t(i * 255 / (greyEntries - 1));
            pal[4 * i] = pal[4 * i + 1] = pal[4 * i + 2] = v;
            pal[4 * i + 3] = 0;
        }
        paletteCount_ = greyEntries;
    }
}

void TKroPNGReadStream::ResolvePaletteTransparency()
{
    transparencyPending_ = false;
    int clear = 0, opaque = 0, index = 0;
    for (int i = 0; i < 256; ++i) {
        if (invertedAlpha_[std::size_t(i)] == 255) {
            ++clear;
            index = i;
        } else if (invertedAlpha_[std::size_t(i)] == 0) {
            ++opaque;
        }
    }
    if (clear == 1 && opaque == 255) {
        transparentColor_ = PaletteIndexColor(std::uint8_t(index));
    } else {
        transparentColor_ = kNoColor;
        needMask_ = true;
    }
}

void TKroPNGReadStream::PrepareMask()
{
    if (!MaskTarget || MaskTarget == Target() || !(alpha_ || needMask_))
        return;
    TBitmap& mask = *MaskTarget;
    mask.Clear();
    mask.SetTransparent(false);
    mask.AllocateUninitialized(width_, height_, pf8bit); // rows are cleared or written by the decode
    mask.SetPalette(GreyPalette(256));
    maskPrepared_ = true;
}

void TKroPNGReadStream::ApplyPaletteMask()
{
    TBitmap& image = *Target();
    TBitmap& mask = *MaskTarget;
    if (!IsPaletteFormat(image.PixelFormat()) || image.Width() != width_ || image.Height() != height_)
        return;
    for (int y = 0; y < height_; ++y)
        PaletteMaskRow(std::as_const(image).ScanLine(y), mask.ScanLine(y));
}

void TKroPNGReadStream::PaletteMaskRow(const std::uint8_t* src, std::uint8_t* dst) const
{
    const int bits = outputBits_;
    for (int x = 0; x < width_; ++x) {
        unsigned index = 0;
        if (bits == 8)
            index = src[x];
        else if (bits == 4)
            index = PackedIndex<4>(src, std::size_t(x));
        else
            index = PackedIndex<1>(src, std::size_t(x));
        dst[x] = invertedAlpha_[index];
    }
}

// Inflates exactly n bytes into out, following the IDAT chunks as they come.
void TKroPNGReadStream::InflateRow(TDecoder& d, std::uint8_t* out, std::size_t n)
{
    d.zs.next_out = out;
    d.zs.avail_out = uInt(n);
    while (d.zs.avail_out > 0) {
        if (d.zs.avail_in == 0) {
            while (chunkLeft_ <= 0) {
                ReadU32(); // CRC of the finished chunk
                const std::uint32_t length = ReadU32();
                const std::uint32_t type = ReadU32();
                if (EndOfData() || Stopped() || type != kIDAT)
                    ReadError();
                chunkLeft_ = length;
            }
            const std::uint8_t* data = nullptr;
            const std::size_t got = ReadInPlace(data, std::size_t(std::min<std::int64_t>(chunkLeft_, kInflateInput)));
            if (got == 0)
                ReadError();
            chunkLeft_ -= std::int64_t(got);
            d.zs.next_in = const_cast<Bytef*>(data);
            d.zs.avail_in = uInt(got);
        }
        const int r = inflate(&d.zs, Z_NO_FLUSH);
        if (r == Z_STREAM_END) {
            if (d.zs.avail_out > 0)
                ReadError(); // the compressed data ended before the last row
            return;
        }
        if (r != Z_OK && !(r == Z_BUF_ERROR && d.zs.avail_in == 0))
            ReadError();
    }
}

void TKroPNGReadStream::StartDecoder(TDecoder& d)
{
    if (inflateInit(&d.zs) != Z_OK)
        throw EKroPNG(kMsgZlib);
    d.open = true;
    // The reader stops at the last row and never looks at the stream's Adler-32 check value,
    // so zlib need not compute it.
    inflateValidate(&d.zs, 0);

    ChooseOutputFormat();
    if (transparencyPending_)
        ResolvePaletteTransparency();
    const int samples = baseType_ == ctRGB ? (alpha_ ? 4 : 3) : (alpha_ ? 2 : 1);
    d.pixelBits = depth_ * samples;
    d.filterDistance = std::size_t(std::max(1, d.pixelBits / 8));
    const bool interlaced = interlace_ == 1;
    const int passes = interlaced ? kPassCount : 1;
    const std::size_t fullRowBytes = std::size_t((std::uint64_t(width_) * unsigned(d.pixelBits) + 7) >> 3);
    d.hooked = !activeRowKey_.empty() && OnReadRow;

    // Deflate packs at most 1032 bytes into one, so what is left of the file bounds the rows
    // it can hold. A header that claims more than that is refused before the picture is
    // allocated, as the read would end in the same error once the data ran out.
    std::uint64_t rawBytes = 0;
    for (int p = 0; p < passes; ++p) {
        const std::int64_t columns = interlaced ? PassColumns(p, width_) : width_;
        if (columns > 0)
            rawBytes += std::uint64_t(interlaced ? PassRows(p, height_) : height_) *
                        (1 + ((std::uint64_t(columns) * unsigned(d.pixelBits) + 7) >> 3));
    }
    constexpr std::uint64_t kMaxDeflateRatio = 1032;
    const std::uint64_t bytesLeft = std::uint64_t(std::max<std::int64_t>(Available() - Consumed(), 0));
    if (bytesLeft * kMaxDeflateRatio < rawBytes)
        ReadError();

    try {
        d.cur = TDecoder::Allocate(fullRowBytes + 1);
        d.prev = TDecoder::Allocate(fullRowBytes + 1);
        if (d.hooked)
            d.hook = TDecoder::Allocate(fullRowBytes);
    } catch (const std::bad_alloc&) {
        throw EKroPNG(OutOfMemoryMessage());
    }
}

std::string TKroPNGReadStream::OutOfMemoryMessage() const
{
    return "Read Image (PNG): not enough memory for a " + std::to_string(width_) + " x " + std::to_string(height_) +
           " picture";
}

const std::uint8_t* TKroPNGReadStream::NextRow(TDecoder& d, std::size_t rowBytes, bool firstOfPass,
                                               std::int64_t rowNumber)
{
    InflateRow(d, d.cur.get(), rowBytes + 1);
    // The first row of a pass is unfiltered against a row of zeros.
    const std::uint8_t* above = firstOfPass ? nullptr : d.prev.get() + 1;
    if (!pngrows::Unfilter(d.cur[0], d.cur.get() + 1, above, rowBytes, d.filterDistance))
        ReadError();
    const std::uint8_t* src = d.cur.get() + 1;
    if (d.hooked) {
        std::memcpy(d.hook.get(), src, rowBytes);
        OnReadRow(*this, d.hook.get(), activeRowKey_, int(rowNumber), int(rowBytes));
        src = d.hook.get();
    }
    std::swap(d.cur, d.prev); // the unfiltered row stays in place until the next one
    return src;
}

void TKroPNGReadStream::DecodeImage()
{
    TDecoder d;
    StartDecoder(d);
    const bool interlaced = interlace_ == 1;
    const int passes = interlaced ? kPassCount : 1;
    try {
        PrepareBitmap(false);
        PrepareMask();
        if (interlaced) {
            d.converted = TDecoder::Allocate(std::size_t((std::uint64_t(width_) * unsigned(outputBits_) + 7) >> 3));
            if (maskPrepared_)
                d.maskRow = TDecoder::Allocate(std::size_t(width_));
        }
    } catch (const std::bad_alloc&) {
        throw EKroPNG(OutOfMemoryMessage());
    } catch (const EOutOfResources& e) {
        throw EKroPNG("Read Image (PNG): " + e.Message());
    }

    std::int64_t totalRows = 0;
    for (int p = 0; p < passes; ++p)
        if (!interlaced || PassColumns(p, width_) > 0)
            totalRows += interlaced ? PassRows(p, height_) : height_;
    ProgressOpenUnits(totalRows, 98);

    TBitmap& image = *Target();
    TBitmap* mask = maskPrepared_ ? MaskTarget : nullptr;
    const auto conversion = pngrows::TRowConversion(conversion_);

    // The bitmaps are not cleared up front, so that memory is touched only as image data
    // arrives: a row is cleared when an interlace pass first reaches it, and the rows a
    // failed or stopped read never reached are cleared when the decode ends.
    auto firstPass = [&](int y) {
        if (!interlaced)
            return 0;
        int p = 0;
        while (p < kPassCount - 1 &&
               (PassColumns(p, width_) == 0 || y < kPassRowStart[p] || (y - kPassRowStart[p]) % kPassRowStep[p] != 0))
            ++p;
        return p;
    };
    auto clearRow = [&](int y) {
        std::memset(image.ScanLine(y), 0, image.RowBytes());
        if (mask)
            std::memset(mask->ScanLine(y), 0, mask->RowBytes());
    };
    int currentPass = 0, lastRow = -1;
    struct TClearUnreached {
        std::function<void()> run;
        ~TClearUnreached() { run(); }
    } clearUnreached{[&] {
        for (int y = 0; y < height_; ++y) {
            const int p = firstPass(y);
            if (p > currentPass || (p == currentPass && y > lastRow))
                clearRow(y);
            else if (mask && !alpha_)
                std::memset(mask->ScanLine(y), 0, mask->RowBytes()); // palette masks are filled at the end
        }
    }};

    std::int64_t rowCounter = 0;
    for (int p = 0; p < passes && !Stopped(); ++p) {
        const std::int64_t passWidth = interlaced ? PassColumns(p, width_) : width_;
        const std::int64_t passHeight = interlaced ? PassRows(p, height_) : height_;
        if (passWidth == 0 || passHeight == 0)
            continue;
        const std::size_t rowBytes = std::size_t((std::uint64_t(passWidth) * unsigned(d.pixelBits) + 7) >> 3);
        const int rowStart = interlaced ? kPassRowStart[p] : 0, rowStep = interlaced ? kPassRowStep[p] : 1;
        currentPass = p;
        lastRow = -1;
        for (std::int64_t r = 0; r < passHeight && !Stopped(); ++r) {
            const std::uint8_t* src = NextRow(d, rowBytes, r == 0, rowCounter);
            const int y = int(rowStart + r * rowStep);
            if (!interlaced) {
                pngrows::ConvertRow(conversion, src, rowBytes, std::size_t(passWidth), image.ScanLine(y),
                                    mask ? mask->ScanLine(y) : nullptr);
            } else {
                if (firstPass(y) == p)
                    clearRow(y);
                pngrows::ConvertRow(conversion, src, rowBytes, std::size_t(passWidth), d.converted.get(),
                                    mask ? d.maskRow.get() : nullptr);
                pngrows::ScatterRow(outputBits_, d.converted.get(), std::size_t(passWidth), image.ScanLine(y),
                                    std::size_t(kPassColStart[p]), std::size_t(kPassColStep[p]));
                if (mask)
                    pngrows::ScatterRow(8, d.maskRow.get(), std::size_t(passWidth), mask->ScanLine(y),
                                        std::size_t(kPassColStart[p]), std::size_t(kPassColStep[p]));
            }
            lastRow = y;
            ++rowCounter;
            if ((rowCounter & 3) == 2 || height_ < 4)
                ProgressUnits(rowCounter);
        }
    }
    imageDone_ = true;
}

} // namespace gz
