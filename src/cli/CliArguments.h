#pragma once
// The command line of gazorin-cli: a sequence of settings and pictures, read in order.

#include "join/JoinLayout.h"
#include "platform/Types.h"

#include <string>
#include <variant>
#include <vector>

namespace gz::cli {

struct TPictureStep {
    std::string fileName;         // ":blank" for the blank join
    TLayoutSettings settings;     // the settings in force for it
};

struct TCommandLine {
    std::vector<TPictureStep> steps;
    std::string output;
    int quality = 83;
    bool progressive = false;     // JPEG
    bool interlace = false;       // PNG
    TColor background = clWhite;  // canvas no picture covers
    int threads = 0;              // 0: one per processor core
    bool stream = true;           // false: every join on whole rasters (--no-stream)
    bool quiet = false;
    bool help = false;
    bool version = false;
};

struct TUsageError {
    std::string message;
};

// Parses the arguments (without the program name).
std::variant<TCommandLine, TUsageError> ParseCommandLine(const std::vector<std::string>& args);

// "png" or "jpeg" for a supported output name, empty otherwise.
std::string OutputKind(const std::string& fileName);

extern const char* const UsageText;

} // namespace gz::cli
