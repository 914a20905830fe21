// Where -v writes: one line per bus call, stamped with the services' clock, safe to use from the
// engine's thread and the watcher's thread at once.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>

namespace tolvane::cli {

class ReportLog {
public:
    // `clock` gives milliseconds; lines show the time since the first line.
    ReportLog(std::ostream& out, std::function<std::uint64_t()> clock)
        : out_(out), clock_(std::move(clock)) {}

    void write(const std::string& line);

private:
    std::mutex mutex_;
    std::ostream& out_;
    std::function<std::uint64_t()> clock_;
    bool started_ = false;
    std::uint64_t startMs_ = 0;
};

}  // namespace tolvane::cli
