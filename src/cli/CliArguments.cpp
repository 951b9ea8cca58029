#include "cli/CliArguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace gz::cli {

const char* const UsageText =
    "Usage: gazorin-cli [OPTION | FILE]... -o OUT\n"
    "Joins the FILEs in order, like a document window: the first becomes the picture, each\n"
    "further one is joined onto it with the settings given before it. ':blank' joins a white\n"
    "picture of the current size.\n"
    "\n"
    "Join settings (apply to every following FILE):\n"
    "  --direction up|down|left|right   side of the new picture (default right)\n"
    "  --position start|center|end      place along the shared edge (default start)\n"
    "  --at X,Y                         custom top-left corner on the canvas (may be negative)\n"
    "  --flip-lr, --flip-ud, --no-flip  mirror the new picture first\n"
    "  --keep-size, --grow              lay over the picture / grow the canvas (default)\n"
    "  --no-auto-orient, --auto-orient  keep photos as stored / turn them as their\n"
    "                                   orientation tag says (default)\n"
    "\n"
    "Output (by the extension of OUT: .png, .jpg or .jpeg):\n"
    "  -o, --output OUT                 file to write (replaced only when complete)\n"
    "  --interlace                      PNG: Adam7 interlace\n"
    "  --quality N                      JPEG: quality 1..100 (default 83)\n"
    "  --progressive                    JPEG: progressive encoding\n"
    "\n"
    "  --help                           show this text\n"
    "  --version                        show the version\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written, 2 on a usage error.\n";

namespace {

bool ParseInt(const std::string& text, int& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

} // namespace

std::string OutputKind(const std::string& fileName)
{
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    const std::string ext = Lower(fileName.substr(dot + 1));
    if (ext == "png")
        return "png";
    if (ext == "jpg" || ext == "jpeg")
        return "jpeg";
    return {};
}

std::variant<TCommandLine, TUsageError> ParseCommandLine(const std::vector<std::string>& args)
{
    static const std::map<std::string, int> directions{{"up", 1}, {"down", 2}, {"left", 3}, {"right", 4}};
    static const std::map<std::string, int> positions{{"start", 0}, {"center", 1}, {"centre", 1}, {"end", 2}};
    TCommandLine cmd;
    TJoinSettings settings;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) -> bool {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            cmd.help = true;
        } else if (arg == "--version") {
            cmd.version = true;
        } else if (arg == "--direction") {
            if (!value(v) || !directions.count(v))
                return TUsageError{"--direction takes up, down, left or right"};
            settings.direction = directions.at(v);
        } else if (arg == "--position") {
            if (!value(v) || !positions.count(v))
                return TUsageError{"--position takes start, center or end"};
            settings.position = positions.at(v);
            settings.at.reset();
        } else if (arg == "--at") {
            const auto comma = (value(v) ? v.find(',') : std::string::npos);
            int x = 0, y = 0;
            if (comma == std::string::npos || !ParseInt(v.substr(0, comma), x) || !ParseInt(v.substr(comma + 1), y))
                return TUsageError{"--at takes X,Y (whole numbers, negative allowed)"};
            settings.at = std::pair{x, y};
        } else if (arg == "--flip-lr") {
            settings.flips |= 1;
        } else if (arg == "--flip-ud") {
            settings.flips |= 2;
        } else if (arg == "--no-flip") {
            settings.flips = 0;
        } else if (arg == "--keep-size") {
            settings.keepSize = true;
        } else if (arg == "--grow") {
            settings.keepSize = false;
        } else if (arg == "--no-auto-orient") {
            settings.autoOrient = false;
        } else if (arg == "--auto-orient") {
            settings.autoOrient = true;
        } else if (arg == "-o" || arg == "--output") {
            if (!value(cmd.output))
                return TUsageError{arg + " takes a file name"};
        } else if (arg == "--quality") {
            if (!value(v) || !ParseInt(v, cmd.quality) || cmd.quality < 1 || cmd.quality > 100)
                return TUsageError{"--quality takes a whole number from 1 to 100"};
        } else if (arg == "--progressive") {
            cmd.progressive = true;
        } else if (arg == "--interlace") {
            cmd.interlace = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return TUsageError{"unknown option " + arg};
        } else {
            cmd.steps.push_back({arg, settings});
        }
    }
    if (cmd.help || cmd.version)
        return cmd;
    if (cmd.steps.empty())
        return TUsageError{"no picture given"};
    if (cmd.steps.front().fileName == ":blank")
        return TUsageError{":blank needs a picture before it"};
    if (cmd.output.empty())
        return TUsageError{"no output file given (-o OUT)"};
    if (OutputKind(cmd.output).empty())
        return TUsageError{"the output file must end in .png, .jpg or .jpeg: " + cmd.output};
    return cmd;
}

} // namespace gz::cli
