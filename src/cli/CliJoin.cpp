#include "cli/CliJoin.h"

#include "cli/CliExport.h"
#include "cli/CliProgress.h"
#include "join/FileRaster.h"
#include "join/JoinRun.h"
#include "join/StreamedJoin.h"
#include "jpeg/JPEGCodec.h"
#include "platform/FileExtension.h"
#include "platform/WorkerPool.h"

#include <iostream>
#include <memory>
#include <new>

namespace gz::cli {

namespace {

int Fail(const std::string& fileName, const std::string& message)
{
    std::cerr << fileName << ": " << message << "\n";
    return 1;
}

const char* const kNoMemory = "Out of system resources: not enough memory";

// Runs step and turns its failure into a message about fileName (an input's failure names
// the input).
template <class Step>
int Guarded(const std::string& fileName, Step&& step) // fileName is read when step fails
{
    try {
        step();
        return 0;
    } catch (const EJoinInputError& e) {
        return Fail(e.FileName(), e.what());
    } catch (const std::bad_alloc&) {
        return Fail(fileName, kNoMemory);
    } catch (const std::exception& e) {
        return Fail(fileName, e.what());
    }
}

} // namespace

int RunJoin(const TCommandLine& cmd)
{
    TProgressLine progress(!cmd.quiet && ErrorIsTerminal());
    std::vector<std::unique_ptr<TInputPicture>> inputs;
    std::vector<TLayoutStep> steps;
    std::size_t files = 0;
    for (const TPictureStep& step : cmd.steps)
        files += step.fileName != ":blank";
    for (const TPictureStep& step : cmd.steps) {
        if (step.fileName == ":blank") {
            steps.push_back({kBlankInput, step.settings});
            continue;
        }
        progress.Reading(step.fileName, int(inputs.size()), int(files));
        const std::string ext = UpperFileExtension(step.fileName);
        if (ext == ".WMF" || ext == ".EMF")
            StartMetafileText();
        if (!ui::ReadsWithoutRegistry(step.fileName))
            StartPlugins();
        const TRasterOptions options{.AutoOrient = step.settings.autoOrient};
        if (const int status = Guarded(
                step.fileName, [&] { inputs.push_back(std::make_unique<TInputPicture>(step.fileName, options)); }))
            return status;
        steps.push_back({int(inputs.size()) - 1, step.settings});
    }

    const std::vector<TJoinOp> ops = ExpandLayout(steps);
    std::vector<TPictureSize> sizes;
    std::vector<TInputPicture*> pictures;
    for (const auto& input : inputs) {
        sizes.push_back(input->Size());
        pictures.push_back(input.get());
    }
    TJoinPlan plan;
    if (const int status = Guarded(cmd.output, [&] { plan = BuildJoinPlan(ops, sizes); }))
        return status;

    const TExportFormat format = OutputKind(cmd.output) == "png" ? TExportFormat::Png : TExportFormat::Jpeg;
    if (format == TExportFormat::Jpeg && (plan.width > kMaxJPEGDimension || plan.height > kMaxJPEGDimension))
        return Fail(cmd.output, "a JPEG file holds at most " + std::to_string(kMaxJPEGDimension) + " x " +
                                    std::to_string(kMaxJPEGDimension) + " pixels; the joined picture is " +
                                    std::to_string(plan.width) + " x " + std::to_string(plan.height) +
                                    " (write it as PNG)");
    TPictureExportOptions options;
    options.quality = cmd.quality;
    options.progressive = cmd.progressive;
    options.interlace = cmd.interlace;

    if (!cmd.stream) {
        TABitmap joined;
        int loaded = 0;
        std::string joining = cmd.output; // a join that fails names the picture read last
        const int status = Guarded(joining, [&] {
            joined = RunJoinsInMemory(ops, [&](int i) {
                TInputPicture& input = *inputs[std::size_t(i)];
                joining = input.FileName();
                progress.Reading(input.FileName(), loaded++, int(files));
                try {
                    return input.Picture();
                } catch (const std::bad_alloc&) {
                    throw;
                } catch (const std::exception& e) {
                    throw EJoinInputError(input.FileName(), e.what());
                }
            });
        });
        if (status)
            return status;
        if (cmd.background != clWhite)
            PaintUncovered(joined, plan, cmd.background);
        return Guarded(cmd.output, [&] { ExportPicture(joined, format, cmd.output, options); });
    }

    TJoinCompositor compositor(plan, pictures, cmd.background, SharedWorkers());
    return Guarded(cmd.output, [&] {
        WriteJoin(compositor, format, options, cmd.output,
                  [&](int done, int total, const std::string& reading) { progress.Rows(done, total, reading); });
    });
}

} // namespace gz::cli
