#pragma once
// The command line of gazorin-cli: a sequence of settings and pictures, read in order.

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace gz::cli {

// The join settings in force when a picture is joined.
struct TJoinSettings {
    int direction = 4;            // TJoinDir, right by default
    int position = 0;             // TJoinPos
    std::optional<std::pair<int, int>> at; // custom top-left corner on the canvas
    int flips = 0;
    bool keepSize = false;
    bool autoOrient = true;       // turn photos as their orientation tag says
};

struct TPictureStep {
    std::string fileName;         // ":blank" for the blank join
    TJoinSettings settings;
};

struct TCommandLine {
    std::vector<TPictureStep> steps;
    std::string output;
    int quality = 83;
    bool progressive = false;     // JPEG
    bool interlace = false;       // PNG
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
