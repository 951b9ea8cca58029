#pragma once
// Rows of one placed picture, top row first, as 24-bit blue-green-red rows, already mirrored
// the way the join places it, with their opacity where the picture has one. A streamed source decodes its file as rows are asked for; a
// whole source serves them from a raster decoded in one go.

#include "join/PictureRaster.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace gz {

class TRowSource {
public:
    TRowSource(int width, int height) : width_(width), height_(height) {}
    virtual ~TRowSource() = default;
    TRowSource(const TRowSource&) = delete;
    TRowSource& operator=(const TRowSource&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    int RowsDone() const { return done_; }
    // The next row, width * 3 bytes, into bgr.
    void NextRow(std::uint8_t* bgr)
    {
        ReadRow(bgr);
        ++done_;
    }
    // The opacity of the row NextRow gave last, Width() bytes mirrored as the row (0 clear …
    // 255 opaque); null when the picture is opaque.
    const std::uint8_t* RowAlpha() const { return rowAlpha_; }
    // Passes over rows that are not drawn.
    void SkipRows(int count)
    {
        PassRows(count);
        done_ += count;
    }
    // Reads what is left of the picture without using it, so that a fault anywhere in the
    // file is found as a whole read would find it, and lets go of the decoder.
    void Drain()
    {
        if (done_ < height_)
            SkipRows(height_ - done_);
        Finish();
    }

protected:
    virtual void ReadRow(std::uint8_t* bgr) = 0;
    virtual void PassRows(int count);
    virtual void Finish() {}

    int width_, height_;
    const std::uint8_t* rowAlpha_ = nullptr; // set by sources of pictures with opacity

private:
    int done_ = 0;
};

// Reverses the order of the pixels of a blue-green-red row in place.
void MirrorRow(std::uint8_t* bgr, int width);
// The same for a row of one byte a pixel (opacity).
void MirrorAlphaRow(std::uint8_t* alpha, int width);

// Rows of a raster decoded whole, mirrored as flips says. The raster is read by load the
// first time a row is wanted, so that it takes memory only from then on.
class TRasterRowSource : public TRowSource {
public:
    TRasterRowSource(int width, int height, int flips, std::function<TPictureRaster()> load);

protected:
    void ReadRow(std::uint8_t* bgr) override;
    void PassRows(int) override {}
    void Finish() override;

private:
    void Load();

    std::function<TPictureRaster()> load_;
    std::optional<TPictureRaster> raster_;
    std::vector<std::uint8_t> alpha_;
    int flips_;
};

} // namespace gz
