#include "join/RowSource.h"

#include "join/JoinTypes.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <vector>

namespace gz {

void TRowSource::PassRows(int count)
{
    std::vector<std::uint8_t> scratch(std::size_t(width_) * 3);
    for (int i = 0; i < count; ++i)
        ReadRow(scratch.data());
}

void MirrorRow(std::uint8_t* bgr, int width)
{
    for (int l = 0, r = width - 1; l < r; ++l, --r)
        std::swap_ranges(bgr + 3 * std::size_t(l), bgr + 3 * std::size_t(l) + 3, bgr + 3 * std::size_t(r));
}

void MirrorAlphaRow(std::uint8_t* alpha, int width) { std::reverse(alpha, alpha + width); }

TRasterRowSource::TRasterRowSource(int width, int height, int flips, std::function<TPictureRaster()> load)
    : TRowSource(width, height), load_(std::move(load)), flips_(flips)
{
}

void TRasterRowSource::Load()
{
    raster_ = load_();
    load_ = nullptr;
    const TBitmap& alpha = raster_->Alpha;
    if (raster_->Colour.Width() != width_ || raster_->Colour.Height() != height_ ||
        (!alpha.Empty() && (alpha.Width() != width_ || alpha.Height() != height_)))
        throw EInvalidGraphic("The picture changed while it was being joined");
    if (!alpha.Empty())
        alpha_.resize(std::size_t(width_));
}

void TRasterRowSource::ReadRow(std::uint8_t* bgr)
{
    if (!raster_)
        Load();
    const int y = (flips_ & flipUB) ? height_ - 1 - RowsDone() : RowsDone();
    raster_->Colour.ReadRowBGR(y, bgr);
    if (flips_ & flipLR)
        MirrorRow(bgr, width_);
    if (!alpha_.empty()) {
        std::copy_n(raster_->Alpha.ScanLine(y), alpha_.size(), alpha_.begin());
        if (flips_ & flipLR)
            MirrorAlphaRow(alpha_.data(), width_);
        rowAlpha_ = alpha_.data();
    }
}

void TRasterRowSource::Finish()
{
    if (load_)
        Load(); // never read: read now for its faults
    raster_.reset();
    alpha_ = {};
    rowAlpha_ = nullptr;
}

} // namespace gz
