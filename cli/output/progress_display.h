// Progress on the console: a bar redrawn in place on a terminal, one line per tenth otherwise.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace tolvane::cli {

struct ProgressSample {
    std::uint32_t percent = 0;  // 0 to 100
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesTotal = 0;
    double seconds = 0;  // since the first data went out
};

// "[##########----------]  50%  8192/16384 bytes  4.0 KiB/s  00:02"
std::string FormatProgressBar(const ProgressSample& sample);
// " 50%  8192/16384 bytes  4.0 KiB/s  00:02"
std::string FormatProgressLine(const ProgressSample& sample);
// "812 B/s", "4.0 KiB/s", "1.2 MiB/s"; "-" before any time has passed.
std::string FormatRate(double bytesPerSecond);
// "mm:ss", or "h:mm:ss" from an hour on.
std::string FormatElapsed(double seconds);

class ProgressDisplay {
public:
    // Writes nothing when `enabled` is false.
    ProgressDisplay(std::ostream& out, bool terminal, bool enabled) noexcept
        : out_(out), terminal_(terminal), enabled_(enabled) {}
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // A phase of the run, such as "Searching device...", on a line of its own.
    void phase(const std::string& text);
    // On a terminal redraws the bar when anything shown changed; otherwise prints a line each time
    // a new tenth is reached.
    void update(const ProgressSample& sample);
    // Ends a bar line in progress.
    void finish();

private:
    std::ostream& out_;
    bool terminal_;
    bool enabled_;
    bool barShown_ = false;
    std::string lastBar_;
    int lastTenth_ = -1;
};

}  // namespace tolvane::cli
