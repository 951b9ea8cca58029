#include "platform/Icon.h"

#include "platform/BmpFile.h"
#include "platform/Canvas.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace gz {

namespace {

#pragma pack(push, 1)
struct IconDir {
    std::uint16_t reserved, type, count;
};
struct IconDirEntry {
    std::uint8_t width, height, colorCount, reserved;
    std::uint16_t planes, bitCount;
    std::uint32_t bytesInRes, imageOffset;
};
#pragma pack(pop)
static_assert(sizeof(IconDir) == 6);
static_assert(sizeof(IconDirEntry) == 16);

constexpr std::uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void Invalid(const std::string& reason) { throw EInvalidGraphic("Icon image is not valid: " + reason); }

TIconPngDecoder& PngDecoder()
{
    static TIconPngDecoder decoder;
    return decoder;
}

std::uint32_t GetBE32(const std::uint8_t* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// One image of the directory that lies inside the file, with the size and depth its own
// header gives (the directory's values are often wrong).
struct Candidate {
    const std::uint8_t* data;
    std::size_t size;
    bool png;
    std::uint64_t width, height;
    unsigned depth;
};

Candidate Describe(const IconDirEntry& e, const std::uint8_t* data, std::size_t size)
{
    Candidate c{data, size, false, e.width ? e.width : 256u, e.height ? e.height : 256u, e.bitCount};
    if (size >= 26 && std::memcmp(data, PngSignature, 8) == 0) {
        c.png = true;
        c.width = GetBE32(data + 16);
        c.height = GetBE32(data + 20);
        static const unsigned channels[7] = {1, 0, 3, 1, 2, 0, 4};
        const unsigned type = data[25];
        c.depth = data[24] * (type < 7 ? channels[type] : 0);
        return c;
    }
    if (size >= 16) {
        std::uint32_t headerSize;
        std::memcpy(&headerSize, data, 4);
        if (headerSize == 12) {
            std::uint16_t v[4];
            std::memcpy(v, data + 4, 8);
            c.width = v[0], c.height = v[1] / 2u, c.depth = v[3];
        } else if (headerSize >= 16) {
            std::int32_t wh[2];
            std::uint16_t bitCount;
            std::memcpy(wh, data + 4, 8);
            std::memcpy(&bitCount, data + 14, 2);
            c.width = std::uint64_t(wh[0] < 0 ? 0 : wh[0]);
            c.height = std::uint64_t(wh[1] < 0 ? -std::int64_t(wh[1]) : wh[1]) / 2;
            c.depth = bitCount;
        }
    }
    return c;
}

// A 32-bit copy of a decoded picture whose fourth byte is opaque unless keepAlpha.
TBitmap ToBGRA(const TBitmap& source, bool keepAlpha)
{
    TBitmap out;
    out.AllocateUninitialized(source.Width(), source.Height(), pf32bit);
    std::vector<std::uint8_t> bgr(std::size_t(source.Width()) * 3);
    for (int y = 0; y < source.Height(); ++y) {
        source.ReadRowBGR(y, bgr.data());
        std::uint8_t* d = out.ScanLine(y);
        const std::uint8_t* s = keepAlpha ? source.ScanLine(y) : nullptr;
        for (int x = 0; x < source.Width(); ++x) {
            std::memcpy(d + 4 * x, &bgr[3 * std::size_t(x)], 3);
            d[4 * x + 3] = s ? s[4 * x + 3] : 255;
        }
    }
    return out;
}

TBitmap DecodeBitmapImage(const Candidate& c)
{
    TBitmap colour;
    TDibOptions options;
    options.iconImage = true;
    TDibResult dib;
    try {
        dib = DecodeDib(c.data, c.size, options, colour);
    } catch (const EInvalidGraphic& e) { // say that it is the icon that is broken
        const std::string message = e.what();
        const std::size_t colon = message.find(": ");
        Invalid(colon == std::string::npos ? message : message.substr(colon + 2));
    }
    if (colour.Empty())
        Invalid("the image has no pixels");
    const int w = colour.Width(), h = colour.Height();

    bool hasAlpha = false;
    if (dib.bitCount == 32 && colour.PixelFormat() == pf32bit)
        for (int y = 0; y < h && !hasAlpha; ++y) {
            const std::uint8_t* row = colour.ScanLine(y);
            for (int x = 0; x < w && !hasAlpha; ++x)
                hasAlpha = row[4 * x + 3] != 0;
        }
    TBitmap image = ToBGRA(colour, hasAlpha);
    if (hasAlpha) // an alpha channel overrides the mask
        return image;

    const std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
    const std::size_t maskStart = dib.bitsEnd;
    if (maskStart > c.size || (c.size - maskStart) / maskStride < std::size_t(h)) {
        if (dib.bitCount == 32)
            return image; // no alpha and no mask: opaque
        Invalid("the transparency mask is cut off");
    }
    for (int r = 0; r < h; ++r) {
        const std::uint8_t* mask = c.data + maskStart + std::size_t(r) * maskStride;
        std::uint8_t* d = image.ScanLine(dib.topDown ? r : h - 1 - r);
        for (int x = 0; x < w; ++x)
            if ((mask[x >> 3] >> (7 - (x & 7))) & 1)
                d[4 * x + 3] = 0;
    }
    return image;
}

TBitmap DecodePngImage(const Candidate& c)
{
    // PNG-compressed images (large icons) are decoded by the PNG codec once it is registered.
    if (!PngDecoder())
        Invalid("PNG-compressed icon images cannot be read yet");
    TBitmap decoded;
    try {
        decoded = PngDecoder()(c.data, c.size);
    } catch (const EInvalidGraphic& e) { // say that it is the icon that is broken
        Invalid(std::string("the PNG image: ") + e.what());
    }
    if (decoded.Empty())
        Invalid("the PNG image has no pixels");
    if (decoded.PixelFormat() == pf32bit)
        return decoded; // already blue, green, red, opacity: no second copy of a large image
    return ToBGRA(decoded, false);
}

TBitmap ReadIcon(const std::uint8_t* data, std::size_t size)
{
    if (size < sizeof(IconDir))
        Invalid(size == 0 ? "the file is empty" : "the file is cut off");
    IconDir dir;
    std::memcpy(&dir, data, sizeof dir);
    if (dir.reserved != 0 || (dir.type != 1 && dir.type != 2))
        Invalid("the file is not an icon file");
    if (dir.count == 0)
        Invalid("the file holds no images");
    if ((size - sizeof dir) / sizeof(IconDirEntry) < dir.count)
        Invalid("the image directory is cut off");

    bool found = false;
    Candidate best{};
    for (unsigned i = 0; i < dir.count; ++i) {
        IconDirEntry e;
        std::memcpy(&e, data + sizeof dir + i * sizeof e, sizeof e);
        if (e.imageOffset > size || e.bytesInRes > size - e.imageOffset || e.bytesInRes == 0)
            continue; // an image outside the file is never chosen
        const Candidate c = Describe(e, data + e.imageOffset, e.bytesInRes);
        const std::uint64_t area = c.width * c.height, bestArea = best.width * best.height;
        if (!found || area > bestArea || (area == bestArea && c.depth > best.depth)) {
            best = c;
            found = true;
        }
    }
    if (!found)
        Invalid("no image of the directory lies inside the file");
    if (best.width * best.height > MaxDibPixels)
        Invalid("the image is too large");
    return best.png ? DecodePngImage(best) : DecodeBitmapImage(best);
}

} // namespace

void SetIconPngDecoder(TIconPngDecoder decoder) { PngDecoder() = std::move(decoder); }

TIcon::TIcon() : image_(0, 0, pf32bit) { TGraphic::SetTransparent(true); }

TIcon::TIcon(const TIcon& other) : TGraphic(), image_(other.image_) { TGraphic::SetTransparent(true); }

TIcon& TIcon::operator=(const TIcon& other)
{
    Assign(other);
    return *this;
}

void TIcon::LoadFromStream(TStream& stream)
{
    const std::int64_t start = stream.Position();
    const std::int64_t total = stream.Size();
    const std::int64_t remaining = total > start ? total - start : 0;
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(std::size_t(remaining));
    } catch (const std::bad_alloc&) {
        Invalid("the file is too large to read");
    } catch (const std::length_error&) {
        Invalid("the file is too large to read");
    }
    stream.ReadBuffer(bytes.data(), bytes.size());
    image_ = ReadIcon(bytes.data(), bytes.size());
    Changed();
}

void TIcon::SaveToStream(TStream& stream) const
{
    if (Empty())
        throw EInvalidGraphicOperation("An empty icon cannot be saved");
    const int w = Width(), h = Height();
    const std::size_t colourBytes = std::size_t(w) * 4 * std::size_t(h);
    const std::size_t maskStride = (std::size_t(w) + 31) / 32 * 4;
    const std::size_t imageBytes = 40 + colourBytes + maskStride * std::size_t(h);
    if (imageBytes > std::numeric_limits<std::uint32_t>::max())
        throw EInvalidGraphicOperation("The icon is too large for an icon file");

    const IconDir dir{0, 1, 1};
    const IconDirEntry entry{std::uint8_t(w < 256 ? w : 0), std::uint8_t(h < 256 ? h : 0), 0, 0, 1, 32,
                             std::uint32_t(imageBytes), sizeof(IconDir) + sizeof(IconDirEntry)};
    std::uint8_t header[40] = {};
    const std::uint32_t fields[] = {40, std::uint32_t(w), std::uint32_t(2 * h)};
    std::memcpy(header, fields, sizeof fields);
    header[12] = 1;  // planes
    header[14] = 32; // bits per pixel
    const std::uint32_t sizeImage = std::uint32_t(colourBytes);
    std::memcpy(header + 20, &sizeImage, 4);
    stream.WriteBuffer(&dir, sizeof dir);
    stream.WriteBuffer(&entry, sizeof entry);
    stream.WriteBuffer(header, sizeof header);
    for (int y = h - 1; y >= 0; --y)
        stream.WriteBuffer(image_.ScanLine(y), std::size_t(w) * 4);
    std::vector<std::uint8_t> mask(maskStride);
    for (int y = h - 1; y >= 0; --y) {
        std::fill(mask.begin(), mask.end(), 0);
        const std::uint8_t* row = image_.ScanLine(y);
        for (int x = 0; x < w; ++x)
            if (row[4 * x + 3] == 0)
                mask[std::size_t(x) >> 3] |= std::uint8_t(0x80 >> (x & 7));
        stream.WriteBuffer(mask.data(), mask.size());
    }
}

void TIcon::Assign(const TGraphic& source)
{
    if (&source == this)
        return;
    if (const auto* icon = dynamic_cast<const TIcon*>(&source)) {
        image_ = icon->image_;
        Changed();
        return;
    }
    if (const auto* bmp = dynamic_cast<const TBitmap*>(&source)) {
        image_ = ToBGRA(*bmp, false);
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TIcon::AssignTo(TGraphic& dest) const
{
    if (auto* bmp = dynamic_cast<TBitmap*>(&dest)) {
        TBitmap onWhite(Width(), Height(), pf24bit);
        Draw(onWhite.Canvas(), {0, 0, Width(), Height()});
        bmp->Assign(onWhite);
        return;
    }
    if (auto* icon = dynamic_cast<TIcon*>(&dest)) {
        icon->Assign(*this);
        return;
    }
    TGraphic::AssignTo(dest);
}

void TIcon::Draw(TCanvas& canvas, const TRect& r) const
{
    const int rw = r.Width(), rh = r.Height(), sw = Width(), sh = Height();
    if (rw <= 0 || rh <= 0 || sw == 0 || sh == 0)
        return;
    for (int y = std::max(r.Top, 0); y < r.Bottom; ++y) {
        const std::uint8_t* row = image_.ScanLine(int(std::int64_t(y - r.Top) * sh / rh));
        for (int x = std::max(r.Left, 0); x < r.Right; ++x) {
            const std::uint8_t* p = row + 4 * (std::int64_t(x - r.Left) * sw / rw);
            const unsigned a = p[3];
            if (a == 0)
                continue;
            if (a == 255) {
                canvas.SetPixel(x, y, RGBColor(p[2], p[1], p[0]));
                continue;
            }
            const TColor under = canvas.Pixel(x, y);
            if (under == clNone)
                continue; // outside the canvas
            auto mix = [a](unsigned over, unsigned back) {
                return std::uint8_t((over * a + back * (255 - a) + 127) / 255);
            };
            canvas.SetPixel(x, y, RGBColor(mix(p[2], ColorRed(under)), mix(p[1], ColorGreen(under)),
                                           mix(p[0], ColorBlue(under))));
        }
    }
}

void TIcon::SetWidth(int) { throw EInvalidGraphicOperation("The size of an icon cannot be changed"); }
void TIcon::SetHeight(int) { throw EInvalidGraphicOperation("The size of an icon cannot be changed"); }

const TGraphicClass& IconClass()
{
    static const TGraphicClass cls{"TIcon", &GraphicBaseClass(), [] { return std::make_unique<TIcon>(); }};
    return cls;
}

} // namespace gz
