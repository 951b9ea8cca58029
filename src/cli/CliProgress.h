#pragma once
// The progress line of gazorin-cli: one line on standard error, rewritten in place, shown
// only on a terminal and only once a join has taken about a second.

#include <chrono>
#include <string>

namespace gz::cli {

class TProgressLine {
public:
    // enabled: standard error is a terminal and the user did not ask for quiet.
    explicit TProgressLine(bool enabled);
    ~TProgressLine();
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    // done of total rows of the output are written; reading is the file read last.
    void Rows(int done, int total, const std::string& reading);
    // Before the output: the file being read whole.
    void Reading(const std::string& fileName, int index, int count);
    // Clears the line.
    void Done();

private:
    void Show(const std::string& text);

    bool enabled_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point last_;
    std::size_t width_ = 0;
};

// True when the standard error stream is a terminal.
bool ErrorIsTerminal();

} // namespace gz::cli
