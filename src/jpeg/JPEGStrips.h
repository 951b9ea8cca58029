#pragma once
// Baseline JPEG encoded in horizontal strips on several threads. Large pictures get a restart
// marker after every row of blocks (MCU row): the entropy-coded data of each interval then
// depends on nothing before it, so each strip of whole intervals is encoded by a compressor
// of its own and the strips' data are joined with the restart markers renumbered. The file is
// byte for byte what one libjpeg compressor with restart_in_rows = 1 writes, whatever the
// number of threads.

#include "jpeg/JPEGCodec.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace gz {

class TStream;
class TWorkerPool;

// Sets an encoder up for a picture: the library's defaults and tables at the quality, grey or
// colour, progressive scans; with restartEveryRow a restart marker after every MCU row. Call
// under the session's guard, before jpeg_start_compress.
void SetEncoderParameters(jpeg_compress_struct& c, int width, int height, const TJPEGEncodeOptions& options,
                          bool restartEveryRow);

// True when pictures of this size are written in strips (and so with restart markers):
// baseline files of at least four megapixels.
bool EncodesInStrips(int width, int height, const TJPEGEncodeOptions& options);

class TJPEGStripEncoder {
public:
    // Rows of one strip for this width: whole MCU rows, about a megabyte of input.
    static int StripRows(int width, bool grey);

    // Starts the file in dest; strips are encoded on pool.
    TJPEGStripEncoder(TStream& dest, int width, int height, const TJPEGEncodeOptions& options,
                      const TJPEGProgress* progress, TWorkerPool& pool);
    ~TJPEGStripEncoder();
    TJPEGStripEncoder(const TJPEGStripEncoder&) = delete;
    TJPEGStripEncoder& operator=(const TJPEGStripEncoder&) = delete;

    // 24-bit blue-green-red rows, top first; rows beyond the picture's height are ignored.
    void WriteRows(const std::uint8_t* const* rows, int count);
    // Encodes what is left and ends the file. Raises the first strip's error.
    void Finish();

private:
    struct TStrip;
    void StartStrip();
    void CollectOldest();
    void Splice(TStrip& strip);

    TStream& dest_;
    int width_, height_;
    TJPEGEncodeOptions options_;
    const TJPEGProgress* progress_;
    TWorkerPool& pool_;
    int stripRows_;
    std::size_t rowBytes_;
    int rowsTaken_ = 0;     // rows handed in so far
    int stripsStarted_ = 0;
    int stripsWritten_ = 0;
    int stripCount_;
    int intervalsWritten_ = 0; // restart intervals already in dest
    int lastPercent_ = -1;
    std::shared_ptr<TStrip> filling_;
    std::deque<std::shared_ptr<TStrip>> inFlight_;
    std::vector<std::vector<std::uint8_t>> spareInputs_; // buffers of strips written, for the next ones
    std::size_t maxInFlight_;
    bool finished_ = false;
};

} // namespace gz
