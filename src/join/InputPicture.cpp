#include "join/InputPicture.h"

#include "join/FileRaster.h"
#include "join/JoinTypes.h"
#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "join/PictureRaster.h"
#include "photo/Orientation.h"
#include "platform/BmpFile.h"
#include "platform/Exceptions.h"
#include "platform/FileExtension.h"
#include "platform/PixelRows.h"
#include "platform/Streams.h"
#include "png/PngFormat.h"
#include "png/PngReader.h"
#include "registry/PictureFormats.h"

#include <algorithm>
#include <vector>

namespace gz {

namespace {

// Rows of an uncompressed bitmap file, read at their offsets: any order, so any flips.
class TBitmapFileRows : public TRowSource {
public:
    TBitmapFileRows(const std::string& fileName, int flips) : TRowSource(0, 0), file_(fileName, fmOpenRead), flips_(flips)
    {
        const std::int64_t size = file_.Size();
        std::vector<std::uint8_t> head(std::size_t(std::min<std::int64_t>(size, std::int64_t(kDibHeadBytes))));
        file_.ReadBuffer(head.data(), head.size());
        // Offsets and sizes are checked against the whole file; the headers lie in its head.
        const TDibOptions options = BitmapFileOptions(head.data(), head.size());
        layout_ = ParseDibLayout(head.data(), std::size_t(size), options);
        width_ = layout_.width;
        height_ = layout_.height;
        stored_.resize(std::size_t(layout_.stride));
        decoded_.resize(std::size_t((std::uint64_t(width_) * BitsPerPixel(layout_.format) + 7) / 8) + 4);
    }
    const TDibLayout& Layout() const { return layout_; }

protected:
    void ReadRow(std::uint8_t* bgr) override
    {
        // Row y from the top of the placed picture; the file stores the bottom row first
        // unless its height is negative.
        const int y = (flips_ & flipUB) ? height_ - 1 - RowsDone() : RowsDone();
        const std::int64_t fileRow = layout_.topDown ? y : height_ - 1 - y;
        file_.SetPosition(std::int64_t(layout_.bitsStart) + fileRow * std::int64_t(layout_.stride));
        file_.ReadBuffer(stored_.data(), stored_.size());
        DecodeDibRow(layout_, stored_.data(), decoded_.data());
        DecodeRowBGR(decoded_.data(), width_, layout_.format, layout_.palette, bgr);
        if (flips_ & flipLR)
            MirrorRow(bgr, width_);
    }
    void PassRows(int) override {}

private:
    TFileStream file_;
    TDibLayout layout_;
    int flips_;
    std::vector<std::uint8_t> stored_, decoded_;
};

// Rows of a non-interlaced PNG file, in file order, made raster rows as the PNG raster makes
// them (colour profile, mask over white).
class TPngFileRows : public TRowSource {
public:
    explicit TPngFileRows(const std::string& fileName, bool start = true) : TRowSource(0, 0), file_(fileName, fmOpenRead)
    {
        reader_.BeginRows(file_);
        width_ = reader_.Width();
        height_ = reader_.Height();
        if (start)
            Start();
    }
    bool Interlaced() const { return reader_.Interlace() == 1; }
    // A single transparent colour is applied only when the whole file reads (TKroPNG): such
    // pictures are read whole.
    bool Keyed() const { return reader_.TransparentColor() != png::kNoColor && !reader_.RowsMasked(); }
    void Start()
    {
        reader_.StartRows();
        format_ = reader_.RowFormat();
        rows_ = std::make_unique<TPngRasterRows>(format_, reader_.RowPalette(), png::kNoColor, reader_.RowsMasked(),
                                                 reader_.IccProfile(), reader_.GrayScale());
        if (!rows_->Plain() || format_ != pf24bit)
            row_.resize(std::size_t((std::uint64_t(width_) * BitsPerPixel(format_) + 7) / 8) + 4);
        if (rows_->HasAlpha())
            mask_.resize(std::size_t(width_)), alpha_.resize(std::size_t(width_));
    }
    void Mirror(bool lr) { mirror_ = lr; }

protected:
    void ReadRow(std::uint8_t* bgr) override
    {
        if (row_.empty()) {
            reader_.ReadRow(bgr);
        } else {
            reader_.ReadRow(row_.data(), mask_.empty() ? nullptr : mask_.data());
            if (rows_->Plain())
                DecodeRowBGR(row_.data(), width_, format_, reader_.RowPalette(), bgr);
            else
                rows_->Row(row_.data(), mask_.data(), width_, bgr, alpha_.empty() ? nullptr : alpha_.data());
        }
        if (mirror_)
            MirrorRow(bgr, width_);
        if (!alpha_.empty()) {
            if (mirror_)
                MirrorAlphaRow(alpha_.data(), width_);
            rowAlpha_ = alpha_.data();
        }
    }

private:
    TFileStream file_;
    TKroPNGReadStream reader_;
    TPixelFormat format_ = pf24bit;
    std::unique_ptr<TPngRasterRows> rows_;
    std::vector<std::uint8_t> row_, mask_, alpha_;
    bool mirror_ = false;
};

// Scanlines of a JPEG file, decoded as TJPEGImage decodes it.
class TJpegFileRows : public TRowSource {
public:
    TJpegFileRows(const std::string& fileName, bool start = true)
        : TRowSource(0, 0), file_(fileName, fmOpenRead), decoder_(file_, TJPEGDecodeOptions{})
    {
        if (start)
            Start();
    }
    void Start()
    {
        decoder_.Start();
        width_ = decoder_.Width();
        height_ = decoder_.Height();
        format_ = decoder_.Format();
        palette_ = decoder_.Palette();
        if (format_ != pf24bit)
            row_.resize(std::size_t(width_));
    }
    void Mirror(bool lr) { mirror_ = lr; }

protected:
    void ReadRow(std::uint8_t* bgr) override
    {
        std::uint8_t* target = format_ == pf24bit ? bgr : row_.data();
        decoder_.ReadRows(&target, 1);
        if (format_ != pf24bit)
            DecodeRowBGR(row_.data(), width_, format_, palette_, bgr);
        if (mirror_)
            MirrorRow(bgr, width_);
        if (decoder_.RowsDone() == height_)
            decoder_.Finish(); // reads the rest of the file, as a whole decode does
    }

private:
    TFileStream file_;
    TJPEGRowDecoder decoder_;
    TPixelFormat format_ = pf24bit;
    std::vector<TPaletteEntry> palette_;
    std::vector<std::uint8_t> row_;
    bool mirror_ = false;
};

TJPEGHeader JpegHeaderOf(const std::string& fileName)
{
    TFileStream file(fileName, fmOpenRead);
    return ReadJPEGHeader(file);
}

} // namespace

TInputPicture::TInputPicture(std::string fileName, TRasterOptions options)
    : fileName_(std::move(fileName)), options_(options)
{
    const std::string ext = UpperFileExtension(fileName_);
    const TGraphicClass* registered = nullptr;
    if (ext != ".BMP" && ext != ".PNG" && ext != ".JPG" && ext != ".WMF" && ext != ".EMF" && ext != ".ICO")
        registered = FindPictureClass(ext.empty() ? std::string() : ext.substr(1));
    if (ext == ".BMP") {
        TBitmapFileRows rows(fileName_, 0);
        size_ = {rows.Width(), rows.Height()};
        if (!rows.Layout().compressed) {
            kind_ = TKind::Bitmap;
            fileOrderOnly_ = false;
        }
    } else if (ext == ".PNG") {
        TPngFileRows rows(fileName_, false);
        size_ = {rows.Width(), rows.Height()};
        if (!rows.Interlaced()) {
            rows.Start();
            if (!rows.Keyed())
                kind_ = TKind::Png;
        }
    } else if (ext == ".JPG" || (registered && registered == &JPEGImageClass())) {
        const TJPEGHeader header = JpegHeaderOf(fileName_);
        const bool turned = options_.AutoOrient && header.Orientation != 1;
        size_ = turned && photo::SwapsSides(header.Orientation) ? TPictureSize{header.Height, header.Width}
                                                                : TPictureSize{header.Width, header.Height};
        if (!header.Progressive && !turned) // a turned photo is turned whole
            kind_ = TKind::Jpeg;
    }
    if (size_.width == 0 && size_.height == 0) {
        // Metafiles, icons and plug-in formats tell their size only by decoding.
        raster_ = ui::LoadFilePicture(fileName_, options_);
        size_ = {raster_->Colour.Width(), raster_->Colour.Height()};
    }
}

TInputPicture::~TInputPicture() = default;

bool TInputPicture::Streams(int flips) const
{
    return kind_ != TKind::Whole && (!(flips & flipUB) || !fileOrderOnly_);
}

TPictureRaster TInputPicture::Picture()
{
    if (raster_) {
        TPictureRaster picture = *raster_;
        raster_.reset();
        return picture;
    }
    return ui::LoadFilePicture(fileName_, options_);
}

std::unique_ptr<TRowSource> TInputPicture::OpenRows(int flips)
{
    if (!Streams(flips))
        return std::make_unique<TRasterRowSource>(size_.width, size_.height, flips, [this] { return Picture(); });
    const bool lr = (flips & flipLR) != 0;
    std::unique_ptr<TRowSource> rows;
    switch (kind_) {
    case TKind::Bitmap:
        rows = std::make_unique<TBitmapFileRows>(fileName_, flips);
        break;
    case TKind::Png: {
        auto png = std::make_unique<TPngFileRows>(fileName_);
        png->Mirror(lr);
        rows = std::move(png);
        break;
    }
    default: {
        auto jpeg = std::make_unique<TJpegFileRows>(fileName_);
        jpeg->Mirror(lr);
        rows = std::move(jpeg);
        break;
    }
    }
    if (rows->Width() != size_.width || rows->Height() != size_.height)
        throw EInvalidGraphic("The picture changed while it was being joined");
    return rows;
}

} // namespace gz
