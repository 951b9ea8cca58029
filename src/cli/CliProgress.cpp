#include "cli/CliProgress.h"

#include <cstdio>
#include <unistd.h>

namespace gz::cli {

namespace {
constexpr auto kQuietStart = std::chrono::milliseconds(1000);
constexpr auto kInterval = std::chrono::milliseconds(200);

std::string BaseName(const std::string& fileName)
{
    const auto slash = fileName.rfind('/');
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}
} // namespace

bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

TProgressLine::TProgressLine(bool enabled)
    : enabled_(enabled), start_(std::chrono::steady_clock::now()), last_(start_)
{
}

TProgressLine::~TProgressLine() { Done(); }

void TProgressLine::Show(const std::string& text)
{
    if (!enabled_)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kQuietStart || (shown_ && now - last_ < kInterval))
        return;
    last_ = now;
    std::string line = "\rgazorin-cli: " + text;
    const std::size_t visible = line.size();
    if (visible < width_)
        line.append(width_ - visible, ' ');
    width_ = visible;
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    shown_ = true;
}

void TProgressLine::Rows(int done, int total, const std::string& reading)
{
    const int percent = total > 0 ? int(std::int64_t(done) * 100 / total) : 100;
    std::string text = std::to_string(percent) + " % of rows written";
    if (!reading.empty())
        text += ", reading " + BaseName(reading);
    Show(text);
}

void TProgressLine::Reading(const std::string& fileName, int index, int count)
{
    Show("reading " + BaseName(fileName) + " (" + std::to_string(index + 1) + " of " + std::to_string(count) + ")");
}

void TProgressLine::Done()
{
    if (!shown_)
        return;
    std::string blank(width_ + 2, ' ');
    blank.front() = blank.back() = '\r';
    std::fputs(blank.c_str(), stderr);
    std::fflush(stderr);
    shown_ = false;
}

} // namespace gz::cli
