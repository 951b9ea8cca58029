#include "MetafileBuilder.h"

#include "platform/Canvas.h"
#include "platform/Streams.h"

namespace gz::test {

void Put16(Bytes& b, int v)
{
    b.push_back(std::uint8_t(v & 0xFF));
    b.push_back(std::uint8_t((v >> 8) & 0xFF));
}

void Put32(Bytes& b, std::int64_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(std::uint8_t((v >> (8 * i)) & 0xFF));
}

WmfBuilder::WmfBuilder(int width, int height, int unitsPerInch)
{
    Put32(bytes_, 0x9AC6CDD7);
    Put16(bytes_, 0);
    for (int v : {0, 0, width, height, unitsPerInch})
        Put16(bytes_, v);
    Put32(bytes_, 0);
    Put16(bytes_, 0); // checksum, not checked by readers
    for (int v : {1, 9, 0x0300, 0, 0, 16, 0, 0, 0}) // type, header words, version, size, objects, max record, 0
        Put16(bytes_, v);
}

WmfBuilder& WmfBuilder::RawRecord(std::uint32_t words, std::uint16_t function, const Bytes& parameters)
{
    Put32(bytes_, words);
    Put16(bytes_, function);
    bytes_.insert(bytes_.end(), parameters.begin(), parameters.end());
    return *this;
}

WmfBuilder& WmfBuilder::RecordBytes(std::uint16_t function, const Bytes& parameters)
{
    Bytes padded = parameters;
    if (padded.size() % 2)
        padded.push_back(0);
    return RawRecord(std::uint32_t(3 + padded.size() / 2), function, padded);
}

WmfBuilder& WmfBuilder::Record(std::uint16_t function, std::initializer_list<int> words)
{
    Bytes parameters;
    for (int w : words)
        Put16(parameters, w);
    return RecordBytes(function, parameters);
}

WmfBuilder& WmfBuilder::SolidBrush(std::uint32_t colorRef)
{
    Bytes p;
    Put16(p, 0);
    Put32(p, colorRef);
    Put16(p, 0);
    return RecordBytes(0x02FC, p);
}

WmfBuilder& WmfBuilder::NullPen() { return Record(0x02FA, {5, 0, 0, 0, 0}); }

Bytes WmfBuilder::Finish()
{
    Record(0x0000, {});
    return bytes_;
}

EmfBuilder::EmfBuilder(int width, int height)
{
    // Frame in hundredths of a millimetre: 2540 per inch, 96 pixels per inch.
    const std::int64_t frameW = std::int64_t(width) * 2540 / 96, frameH = std::int64_t(height) * 2540 / 96;
    for (std::int64_t v : std::initializer_list<std::int64_t>{1, 88, 0, 0, width - 1, height - 1, 0, 0, frameW, frameH,
                                                              0x464D4520, 0x10000, 0, 0})
        Put32(bytes_, v);
    // handles and reserved (16-bit each), description, palette, reference device and millimetres
    Put16(bytes_, 1);
    Put16(bytes_, 0);
    for (std::int64_t v : {0, 0, 0, 960, 960, 254, 254})
        Put32(bytes_, v);
}

EmfBuilder& EmfBuilder::RecordBytes(std::uint32_t type, const Bytes& parameters)
{
    Put32(bytes_, type);
    Put32(bytes_, std::int64_t(8 + parameters.size()));
    bytes_.insert(bytes_.end(), parameters.begin(), parameters.end());
    ++records_;
    return *this;
}

EmfBuilder& EmfBuilder::Record(std::uint32_t type, std::initializer_list<std::int64_t> values)
{
    Bytes parameters;
    for (std::int64_t v : values)
        Put32(parameters, v);
    return RecordBytes(type, parameters);
}

Bytes EmfBuilder::Finish()
{
    Record(14, {0, 16, 20});
    Bytes out = bytes_;
    const std::uint32_t size = std::uint32_t(out.size());
    for (int i = 0; i < 4; ++i) {
        out[48 + i] = std::uint8_t(size >> (8 * i));
        out[52 + i] = std::uint8_t(records_ >> (8 * i));
    }
    return out;
}

std::unique_ptr<TMetafile> LoadMetafile(const Bytes& bytes)
{
    TMemoryViewStream stream(bytes.data(), bytes.size());
    auto picture = std::make_unique<TMetafile>();
    picture->LoadFromStream(stream);
    return picture;
}

TBitmap RenderOnWhite(const TMetafile& picture, int w, int h)
{
    if (w == 0 || h == 0) {
        TBitmap bitmap;
        bitmap.Assign(picture);
        return bitmap;
    }
    TBitmap bitmap(w, h, pf24bit);
    bitmap.Canvas().Brush.Color = clWhite;
    bitmap.Canvas().FillRect({0, 0, w, h});
    picture.Draw(bitmap.Canvas(), {0, 0, w, h});
    return bitmap;
}

} // namespace gz::test
