#pragma once
// One input file of a join sequence. Opening it reads only what its size needs: the header of
// a bitmap, PNG or JPEG file; a picture whose format cannot tell its size without decoding
// (metafiles, icons, plug-in formats) is decoded whole at once. Its rows are then read as
// the join reaches them, straight from the file where the format and the flips allow (JPEG
// scanlines of baseline files, rows of non-interlaced PNG files, bitmap rows), else from the
// whole picture decoded by the reader the desktop program uses. Rows are rows of the picture's
// raster: colours in sRGB, transparent parts over white with their opacity beside; a photo
// that its orientation tag turns is decoded whole.

#include "join/JoinPlan.h"
#include "join/PictureRaster.h"
#include "join/RowSource.h"

#include <memory>
#include <optional>
#include <string>

namespace gz {

class TInputPicture {
public:
    // Raises the reader's error when the file cannot be opened or its header is refused.
    // options are those the desktop program reads the picture with.
    explicit TInputPicture(std::string fileName, TRasterOptions options = {});
    ~TInputPicture();
    TInputPicture(const TInputPicture&) = delete;
    TInputPicture& operator=(const TInputPicture&) = delete;

    const std::string& FileName() const { return fileName_; }
    TPictureSize Size() const { return size_; }
    // True when rows mirrored by flips come from the file as they are needed.
    bool Streams(int flips) const;
    // The rows of the picture mirrored by flips; the source reads the file on its own.
    std::unique_ptr<TRowSource> OpenRows(int flips);
    // The whole picture as the desktop program reads it, with its opacity.
    TPictureRaster Picture();

private:
    enum class TKind { Whole, Bitmap, Png, Jpeg };

    std::string fileName_;
    TRasterOptions options_;
    TKind kind_ = TKind::Whole;
    bool fileOrderOnly_ = true; // rows can only be read in the file's order
    TPictureSize size_;
    std::optional<TPictureRaster> raster_; // decoded when the size asked for it
};

} // namespace gz
