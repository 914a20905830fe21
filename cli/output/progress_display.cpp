#include "output/progress_display.h"

#include <cmath>
#include <cstdio>

namespace tolvane::cli {
namespace {

constexpr int kBarWidth = 30;
constexpr double kMinRateSeconds = 0.2;

std::string Details(const ProgressSample& sample) {
    // A rate over the first moments says nothing yet.
    const double rate = sample.seconds >= kMinRateSeconds
                            ? static_cast<double>(sample.bytesSent) / sample.seconds
                            : -1;
    char text[128];
    std::snprintf(text, sizeof text, "%3u%%  %llu/%llu bytes  %s  %s", sample.percent,
                  static_cast<unsigned long long>(sample.bytesSent),
                  static_cast<unsigned long long>(sample.bytesTotal), FormatRate(rate).c_str(),
                  FormatElapsed(sample.seconds).c_str());
    return text;
}

}  // namespace

std::string FormatRate(double bytesPerSecond) {
    if (!(bytesPerSecond >= 0)) return "-";
    char text[32];
    if (bytesPerSecond < 1024) {
        std::snprintf(text, sizeof text, "%.0f B/s", bytesPerSecond);
    } else if (bytesPerSecond < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB/s", bytesPerSecond / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB/s", bytesPerSecond / (1024 * 1024));
    }
    return text;
}

std::string FormatElapsed(double seconds) {
    const auto whole = static_cast<unsigned long long>(seconds > 0 ? std::floor(seconds) : 0);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%llu:%02llu:%02llu", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%02llu:%02llu", whole / 60, whole % 60);
    }
    return text;
}

std::string FormatProgressBar(const ProgressSample& sample) {
    const std::uint32_t percent = sample.percent > 100 ? 100 : sample.percent;
    const int filled = static_cast<int>(percent) * kBarWidth / 100;
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kBarWidth - filled), '-');
    return bar + "] " + Details(sample);
}

std::string FormatProgressLine(const ProgressSample& sample) {
    return Details(sample);
}

void ProgressDisplay::phase(const std::string& text) {
    if (!enabled_) return;
    finish();
    out_ << text << '\n' << std::flush;
}

void ProgressDisplay::update(const ProgressSample& sample) {
    if (!enabled_) return;
    if (terminal_) {
        std::string bar = FormatProgressBar(sample);
        if (bar == lastBar_) return;
        // Pad over the remains of a longer previous line.
        const std::size_t width = bar.size();
        if (lastBar_.size() > width) bar.append(lastBar_.size() - width, ' ');
        out_ << '\r' << bar << std::flush;
        lastBar_ = bar.substr(0, width);
        barShown_ = true;
        return;
    }
    const int tenth = static_cast<int>(sample.percent > 100 ? 100 : sample.percent) / 10;
    if (tenth <= lastTenth_) return;
    lastTenth_ = tenth;
    out_ << FormatProgressLine(sample) << '\n' << std::flush;
}

void ProgressDisplay::finish() {
    if (!enabled_ || !barShown_) return;
    out_ << '\n' << std::flush;
    barShown_ = false;
    lastBar_.clear();
}

}  // namespace tolvane::cli
