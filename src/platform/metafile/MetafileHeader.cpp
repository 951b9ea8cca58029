#include "platform/metafile/MetafileHeader.h"

#include "platform/Exceptions.h"
#include "platform/metafile/RecordReader.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace gz::metafile {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kWmfHeaderSize = 18;
constexpr std::size_t kEmfMinHeaderSize = 88;
constexpr std::uint32_t kEmfSignature = 0x464D4520; // " EMF"

int PixelsFrom(double extent)
{
    // Anything this large is refused by CheckPictureSize anyway.
    return int(std::lround(std::min(std::fabs(extent), 1e9)));
}

void CheckPictureSize(int width, int height)
{
    if (width < 1 || height < 1)
        throw EInvalidGraphic("Metafile has an empty picture size (" + std::to_string(width) + " x " +
                              std::to_string(height) + ")");
    if (std::int64_t(width) * height > kMaxPicturePixels)
        throw EInvalidGraphic("Metafile picture is too large (" + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels)");
}

// Checks the 18-byte metafile header at offset and returns where the records start.
std::size_t CheckWmfHeader(const RecordReader& file, std::size_t offset)
{
    if (!file.Has(offset, kWmfHeaderSize))
        throw EInvalidGraphic("Metafile is truncated: the metafile header is incomplete");
    const std::uint16_t type = file.U16(offset);
    const std::uint16_t headerWords = file.U16(offset + 2);
    if ((type != 1 && type != 2) || headerWords != 9)
        throw EInvalidGraphic("Not a metafile: the metafile header is not valid");
    return offset + kWmfHeaderSize;
}

// A plain WMF carries no size: its first window extent (and origin) stands for the picture.
bool FindFirstWindow(const RecordReader& file, std::size_t pos, MetafileHeader& h)
{
    bool haveOrg = false, haveExt = false;
    double orgX = 0, orgY = 0, extX = 0, extY = 0;
    while (file.Has(pos, 6) && !(haveOrg && haveExt)) {
        const std::uint64_t bytes = std::uint64_t(file.U32(pos)) * 2;
        const std::uint16_t function = file.U16(pos + 4);
        if (bytes < 6 || bytes > file.Size() - pos || function == 0)
            break;
        if (bytes >= 10 && (function == 0x020B || function == 0x020C)) {
            const double y = file.I16(pos + 6), x = file.I16(pos + 8);
            if (function == 0x020B && !haveOrg)
                orgX = x, orgY = y, haveOrg = true;
            else if (function == 0x020C && !haveExt)
                extX = x, extY = y, haveExt = true;
        }
        pos += std::size_t(bytes);
    }
    if (!haveExt)
        return false;
    h.Left = orgX, h.Top = orgY, h.Right = orgX + extX, h.Bottom = orgY + extY;
    h.Width = PixelsFrom(extX), h.Height = PixelsFrom(extY);
    return true;
}

MetafileHeader ReadPlaceable(const RecordReader& file)
{
    if (!file.Has(0, kPlaceableSize))
        throw EInvalidGraphic("Metafile is truncated: the placeable header is incomplete");
    MetafileHeader h;
    h.Placeable = true;
    h.Left = file.I16(6), h.Top = file.I16(8), h.Right = file.I16(10), h.Bottom = file.I16(12);
    const std::uint16_t unitsPerInch = file.U16(14);
    if (unitsPerInch == 0)
        throw EInvalidGraphic("Metafile has no units per inch in its placeable header");
    h.Width = PixelsFrom((h.Right - h.Left) * 96.0 / unitsPerInch);
    h.Height = PixelsFrom((h.Bottom - h.Top) * 96.0 / unitsPerInch);
    h.RecordsOffset = CheckWmfHeader(file, kPlaceableSize);
    h.ObjectCount = file.U16(kPlaceableSize + 10);
    return h;
}

MetafileHeader ReadPlainWmf(const RecordReader& file)
{
    MetafileHeader h;
    h.RecordsOffset = CheckWmfHeader(file, 0);
    h.ObjectCount = file.U16(10);
    if (!FindFirstWindow(file, h.RecordsOffset, h))
        throw EInvalidGraphic("Metafile has no size: it has no placeable header and sets no window extent");
    return h;
}

MetafileHeader ReadEmf(const RecordReader& file)
{
    if (!file.Has(0, kEmfMinHeaderSize))
        throw EInvalidGraphic("Metafile is truncated: the enhanced metafile header is incomplete");
    const std::uint32_t headerSize = file.U32(4);
    if (file.U32(40) != kEmfSignature || headerSize < kEmfMinHeaderSize || headerSize > file.Size())
        throw EInvalidGraphic("Not a metafile: the enhanced metafile header is not valid");
    MetafileHeader h;
    h.Kind = MetafileKind::Emf;
    h.ObjectCount = file.U16(56);
    const double boundsL = file.I32(8), boundsT = file.I32(12), boundsR = file.I32(16), boundsB = file.I32(20);
    const double frameL = file.I32(24), frameT = file.I32(28), frameR = file.I32(32), frameB = file.I32(36);
    const double devX = file.I32(72), devY = file.I32(76), mmX = file.I32(80), mmY = file.I32(84);
    if (devX > 0 && devY > 0 && mmX > 0 && mmY > 0)
        h.DevicePxPerMmX = devX / mmX, h.DevicePxPerMmY = devY / mmY;
    if (frameR > frameL && frameB > frameT) {
        // The frame is in hundredths of a millimetre.
        h.Width = PixelsFrom((frameR - frameL) * 96.0 / 2540.0);
        h.Height = PixelsFrom((frameB - frameT) * 96.0 / 2540.0);
        h.Left = frameL / 100 * h.DevicePxPerMmX, h.Right = frameR / 100 * h.DevicePxPerMmX;
        h.Top = frameT / 100 * h.DevicePxPerMmY, h.Bottom = frameB / 100 * h.DevicePxPerMmY;
    } else if (boundsR >= boundsL && boundsB >= boundsT) {
        // Bounds are inclusive device pixels.
        h.Left = boundsL, h.Top = boundsT, h.Right = boundsR + 1, h.Bottom = boundsB + 1;
        h.Width = PixelsFrom(h.Right - h.Left), h.Height = PixelsFrom(h.Bottom - h.Top);
    }
    return h;
}

} // namespace

MetafileHeader ReadMetafileHeader(const std::uint8_t* data, std::size_t size)
{
    const RecordReader file(data, size);
    if (size < 4)
        throw EInvalidGraphic("Not a metafile: the file is too short");
    MetafileHeader h;
    if (file.U32(0) == kPlaceableKey)
        h = ReadPlaceable(file);
    else if (file.U32(0) == 1 && file.Has(40, 4) && file.U32(40) == kEmfSignature)
        h = ReadEmf(file);
    else
        h = ReadPlainWmf(file);
    CheckPictureSize(h.Width, h.Height);
    return h;
}

} // namespace gz::metafile
