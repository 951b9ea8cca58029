#pragma once
// Metafiles built in memory for tests: a placeable WMF or an EMF, record by record.

#include "platform/Bitmap.h"
#include "platform/metafile/Metafile.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace gz::test {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& b, int v);
void Put32(Bytes& b, std::int64_t v);

class WmfBuilder {
public:
    // A placeable WMF whose bounding box is (0, 0, width, height) at unitsPerInch.
    WmfBuilder(int width, int height, int unitsPerInch = 96);
    // Parameters are 16-bit words, in the order the record stores them.
    WmfBuilder& Record(std::uint16_t function, std::initializer_list<int> words);
    WmfBuilder& RecordBytes(std::uint16_t function, const Bytes& parameters);
    // A record whose size field says words (for malformed input).
    WmfBuilder& RawRecord(std::uint32_t words, std::uint16_t function, const Bytes& parameters);
    WmfBuilder& SolidBrush(std::uint32_t colorRef);
    WmfBuilder& NullPen();
    Bytes Finish();

private:
    Bytes bytes_;
};

class EmfBuilder {
public:
    // An EMF whose frame is width x height pixels at 96 pixels per inch, on a 96-dpi device.
    EmfBuilder(int width, int height);
    EmfBuilder& Record(std::uint32_t type, std::initializer_list<std::int64_t> values);
    EmfBuilder& RecordBytes(std::uint32_t type, const Bytes& parameters);
    Bytes Finish();

private:
    Bytes bytes_;
    std::uint32_t records_ = 1;
};

std::unique_ptr<TMetafile> LoadMetafile(const Bytes& bytes);
// The picture drawn on white at size w x h (its own size when 0).
TBitmap RenderOnWhite(const TMetafile& picture, int w = 0, int h = 0);

} // namespace gz::test
