// gazorin-cli: the joins and exports of the desktop program, from the command line.

#include "cli/CliArguments.h"
#include "cli/CliExport.h"
#include "platform/Exceptions.h"
#include "join/JoinEngine.h"
#include "join/FileRaster.h"
#include "susie/WinePlugin.h"

#include <cstdio>
#include <iostream>

using namespace gz;
using namespace gz::cli;

namespace {

// Answers the custom placement with the corner given by --at, fully opaque.
class TFixedCorner : public TPlacementRequest {
public:
    explicit TFixedCorner(std::pair<int, int> corner) : corner_(corner) {}
    TPlacement RunPlacementWizard(const TImageDocument&, const TABitmap& placed) override
    {
        const auto [x, y] = corner_;
        return {{x, y, x + placed.Width(), y + placed.Height()}, 255};
    }

private:
    std::pair<int, int> corner_;
};

void ApplySettings(TImageDocument& doc, const TJoinSettings& s, bool first)
{
    // The first picture opens the document: a growing new-window join at the start position.
    doc.joinDir = first ? jdNew : s.direction;
    doc.joinPos = first ? jpStart : (s.at ? jpCustom : s.position);
    doc.keepSize = first ? 0 : (s.keepSize ? 1 : 0);
    doc.flips = s.flips;
}

int Run(const TCommandLine& cmd)
{
    TImageDocument doc;
    bool first = true;
    for (const TPictureStep& step : cmd.steps) {
        std::unique_ptr<TFixedCorner> corner;
        if (step.settings.at && !first)
            corner = std::make_unique<TFixedCorner>(*step.settings.at);
        ApplySettings(doc, step.settings, first);
        try {
            if (step.fileName == ":blank") {
                JoinBlank(&doc, corner.get());
            } else {
                const std::string ext = ui::UpperFileExtension(step.fileName);
                if (ext == ".WMF" || ext == ".EMF")
                    StartMetafileText();
                const TBitmap picture = ui::LoadFileRaster(step.fileName, {.AutoOrient = step.settings.autoOrient});
                JoinPicture(doc, picture, corner.get());
            }
        } catch (const std::exception& e) {
            std::cerr << step.fileName << ": " << e.what() << "\n";
            return 1;
        }
        first = false;
    }
    try {
        ExportPicture(doc.workBmp, cmd.output, OutputKind(cmd.output), cmd.quality, cmd.progressive, cmd.interlace);
    } catch (const std::exception& e) {
        std::cerr << cmd.output << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = ParseCommandLine(args);
    if (const auto* error = std::get_if<TUsageError>(&parsed)) {
        std::cerr << "gazorin-cli: " << error->message << "\nTry 'gazorin-cli --help'.\n";
        return 2;
    }
    const auto& cmd = std::get<TCommandLine>(parsed);
    if (cmd.help) {
        std::cout << UsageText;
        return 0;
    }
    if (cmd.version) {
        std::cout << "gazorin-cli 2.3\n" << gz::WindowsPluginSupport() << "\n";
        return 0;
    }
    RegisterCliFormats();
    const int status = Run(cmd);
    UnregisterCliFormats();
    return status;
}
