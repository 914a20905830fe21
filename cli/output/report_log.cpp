#include "output/report_log.h"

#include <cstdio>

namespace tolvane::cli {

void ReportLog::write(const std::string& line) {
    const std::uint64_t now = clock_();
    const std::lock_guard lock(mutex_);
    if (!started_) {
        started_ = true;
        startMs_ = now;
    }
    const std::uint64_t ms = now - startMs_;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6llu.%03llu] ",
                  static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    // One piece per line, so that an unbuffered stream writes each line at once.
    std::string text = stamp;
    text += line;
    text += '\n';
    out_ << text << std::flush;
}

}  // namespace tolvane::cli
