#include "cli/CliArguments.h"

#include "platform/FileExtension.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>

namespace gz::cli {

const char* const UsageText =
    "Usage: gazorin-cli [OPTION | FILE]... -o OUT\n"
    "Joins the FILEs in order, like a document window: the first becomes the picture, each\n"
    "further one is joined onto it with the settings given before it. ':blank' joins a white\n"
    "picture of the current size. Pictures are never scaled; canvas that no picture covers\n"
    "is white.\n"
    "\n"
    "Join settings (apply to every following FILE):\n"
    "  --direction up|down|left|right   side of the new picture (default right)\n"
    "  --position start|center|end      place along the shared edge (default start); the\n"
    "                                   picture joined onto stays at the start\n"
    "  --at X,Y                         custom top-left corner on the canvas (may be negative)\n"
    "  --flip-lr, --flip-ud, --no-flip  mirror the new picture first\n"
    "  --keep-size, --grow              lay over the picture / grow the canvas (default)\n"
    "  --no-auto-orient, --auto-orient  keep photos as stored / turn them as their\n"
    "                                   orientation tag says (default)\n"
    "  --see-through, --opaque          let what lies beneath show through the transparent\n"
    "                                   parts of a picture / lay them over white (default)\n"
    "  --gap N                          a white strip N pixels deep before each following\n"
    "                                   picture of a growing join, in its direction (default 0)\n"
    "  --across N                       grid: the following pictures go in rows of N, each\n"
    "                                   joined to the right; each full row (and the last) is\n"
    "                                   joined below the picture so far. --position aligns\n"
    "                                   pictures within a row and rows against each other,\n"
    "                                   --gap separates both; ':blank' is an empty cell the\n"
    "                                   size of the picture before it. Not with --at or\n"
    "                                   --keep-size; --direction does not apply\n"
    "\n"
    "Output (by the extension of OUT: .png, .jpg or .jpeg; JPEG holds at most 65500 pixels\n"
    "each way, and a larger JPEG output is refused before any picture is decoded):\n"
    "  -o, --output OUT                 file to write (replaced only when complete)\n"
    "  --interlace                      PNG: Adam7 interlace\n"
    "  --quality N                      JPEG: quality 1..100 (default 83)\n"
    "  --progressive                    JPEG: progressive encoding\n"
    "  --background #RRGGBB             colour of canvas that no picture covers, ':blank'\n"
    "                                   pictures and gaps included (default #FFFFFF)\n"
    "\n"
    "Running:\n"
    "  --threads N                      threads to use (default: one per processor core);\n"
    "                                   the output is the same for every N\n"
    "  --no-stream                      join whole pictures in memory, one join after the\n"
    "                                   other, as the desktop program does (same output,\n"
    "                                   more memory)\n"
    "  --quiet                          no progress line (shown on a terminal only, once a\n"
    "                                   join takes more than a second)\n"
    "  --help                           show this text\n"
    "  --version                        show the version\n"
    "\n"
    "Pictures are read as the output reaches them: baseline JPEG, non-interlaced PNG and\n"
    "uncompressed bitmap files row by row; other pictures (progressive JPEG, photos their\n"
    "orientation tag turns, interlaced PNG, PNG with one transparent colour, compressed\n"
    "bitmaps, a JPEG or PNG mirrored upside down, metafiles, icons, plug-in formats) are\n"
    "decoded whole first.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written, 2 on a usage error.\n";

namespace {

bool ParseInt(const std::string& text, int& value)
{
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && !text.empty();
}

bool ParseColour(std::string text, TColor& colour)
{
    if (!text.empty() && text[0] == '#')
        text.erase(0, 1);
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); }))
        return false;
    const unsigned v = unsigned(std::stoul(text, nullptr, 16));
    colour = RGBColor(std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v));
    return true;
}

} // namespace

std::string OutputKind(const std::string& fileName)
{
    const std::string ext = UpperFileExtension(fileName);
    if (ext == ".PNG")
        return "png";
    if (ext == ".JPG" || ext == ".JPEG")
        return "jpeg";
    return {};
}

std::variant<TCommandLine, TUsageError> ParseCommandLine(const std::vector<std::string>& args)
{
    static const std::map<std::string, TJoinDir> directions{{"up", jdUp}, {"down", jdDown}, {"left", jdLeft}, {"right", jdRight}};
    static const std::map<std::string, TJoinPos> positions{{"start", jpStart}, {"center", jpCenter}, {"centre", jpCenter}, {"end", jpEnd}};
    TCommandLine cmd;
    TLayoutSettings settings;
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
            settings.at = TPoint{x, y};
        } else if (arg == "--flip-lr") {
            settings.flips |= flipLR;
        } else if (arg == "--flip-ud") {
            settings.flips |= flipUB;
        } else if (arg == "--no-flip") {
            settings.flips = 0;
        } else if (arg == "--keep-size") {
            settings.keepSize = smKeep;
        } else if (arg == "--grow") {
            settings.keepSize = smGrow;
        } else if (arg == "--no-auto-orient") {
            settings.autoOrient = false;
        } else if (arg == "--auto-orient") {
            settings.autoOrient = true;
        } else if (arg == "--see-through") {
            settings.seeThrough = true;
        } else if (arg == "--opaque") {
            settings.seeThrough = false;
        } else if (arg == "--gap") {
            if (!value(v) || !ParseInt(v, settings.gap) || settings.gap < 0)
                return TUsageError{"--gap takes a whole number of pixels, 0 or more"};
        } else if (arg == "--across") {
            if (!value(v) || !ParseInt(v, settings.across) || settings.across < 1)
                return TUsageError{"--across takes a whole number of pictures, 1 or more"};
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
        } else if (arg == "--background") {
            if (!value(v) || !ParseColour(v, cmd.background))
                return TUsageError{"--background takes a colour as #RRGGBB"};
        } else if (arg == "--threads") {
            if (!value(v) || !ParseInt(v, cmd.threads) || cmd.threads < 1 || cmd.threads > 1024)
                return TUsageError{"--threads takes a whole number from 1 to 1024"};
        } else if (arg == "--no-stream") {
            cmd.stream = false;
        } else if (arg == "--quiet" || arg == "-q") {
            cmd.quiet = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return TUsageError{"unknown option " + arg};
        } else {
            if (settings.across > 0 && (settings.keepSize == smKeep || settings.at))
                return TUsageError{"--across cannot be combined with --keep-size or --at"};
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
