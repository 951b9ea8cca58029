#pragma once
// gazorin-cli's way through a join sequence: the plan's canvas composed band by band of rows
// straight from the inputs, each input decoded as its rows are reached, the pictures of a
// band decoded side by side on the worker pool while the encoder takes the band before.
// The result equals the join engine's, pixel for pixel.

#include "join/InputPicture.h"
#include "join/JoinPlan.h"
#include "join/PictureExport.h"
#include "platform/Exceptions.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gz {

class TWorkerPool;

// An input that failed while its rows were read: its file and the reader's message.
class EJoinInputError : public Exception {
public:
    EJoinInputError(std::string fileName, const std::string& message)
        : Exception(message), fileName_(std::move(fileName))
    {
    }
    const std::string& FileName() const { return fileName_; }

private:
    std::string fileName_;
};

class TJoinCompositor {
public:
    // inputs[i] is input i of the plan; uncovered canvas gets background.
    TJoinCompositor(const TJoinPlan& plan, const std::vector<TInputPicture*>& inputs, TColor background,
                    TWorkerPool& pool);
    ~TJoinCompositor();
    TJoinCompositor(const TJoinCompositor&) = delete;
    TJoinCompositor& operator=(const TJoinCompositor&) = delete;

    int Width() const { return plan_.width; }
    int Height() const { return plan_.height; }
    // Composes canvas rows [y, y + count) into rows[0..count), each Width() * 3 bytes. Bands
    // come top to bottom, each once.
    void Compose(int y, int count, std::uint8_t* const* rows);
    // Reads the inputs that no part of the canvas shows, for their faults.
    void ReadUnused();
    // The file read last (for a progress line).
    std::string Reading() const;

private:
    struct TPiece;
    void DecodeBand(TPiece& piece, int y0, int y1, std::uint8_t* const* rows);

    const TJoinPlan& plan_;
    std::vector<TInputPicture*> inputs_;
    TColor background_;
    TWorkerPool& pool_;
    std::vector<std::unique_ptr<TPiece>> pieces_;
    std::atomic<int> reading_{-1};
};

// Called after each band: rows done, rows in all, the file read last.
using TJoinProgress = std::function<void(int done, int total, const std::string& reading)>;

// Composes the plan's canvas and writes it to fileName the way ExportPicture writes a raster,
// byte for byte (PNG apart from its time stamp). Bands are encoded as they are composed; an
// interlaced PNG, whose rows are written pass by pass, is composed whole first.
void WriteJoin(TJoinCompositor& compositor, TExportFormat format, const TPictureExportOptions& options,
               const std::string& fileName, const TJoinProgress& progress);

} // namespace gz
