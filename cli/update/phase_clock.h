// Where the time of one update goes, in milliseconds on the run's clock: finding the device and
// entering the boot loader, waiting for the boot loader, the download (its pause included), the
// verification, and the return to the application. Fed on the engine's thread by the steps of
// the command and by every report written; read once the steps are done.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace tolvane::cli {

struct PhaseTimes {
    std::optional<std::uint64_t> enterMs;     // start to the reset report (the device found)
    std::optional<std::uint64_t> waitMs;      // the reset report to the boot loader's first report
    std::optional<std::uint64_t> downloadMs;  // the first report to the last data report
    std::optional<std::uint64_t> verifyMs;    // the last data report to the checksum's answer
    std::optional<std::uint64_t> returnMs;    // the reset to the application until it is back
};

class PhaseClock {
public:
    // `now` reads the run's clock; `allSent` tells whether every data report has been accepted.
    PhaseClock(std::function<std::uint64_t()> now, std::function<bool()> allSent)
        : now_(std::move(now)), allSent_(std::move(allSent)) {}

    void start() { start_ = now_(); }
    // Before each report written to the device.
    void written() {
        const std::uint64_t now = now_();
        if (reached_ && !firstToBootLoader_) {
            firstToBootLoader_ = now;
        } else if (!reached_ && !resetSent_) {
            resetSent_ = now;
        } else if (firstToBootLoader_ && !lastData_ && allSent_()) {
            lastData_ = now;
        }
    }
    // The boot loader is there (the reset returned, or the device was in it already).
    void bootLoaderReached() {
        reached_ = now_();
        if (!resetSent_) resetSent_ = reached_;
    }
    void downloadReturned() { downloaded_ = now_(); }
    void applicationBack() { back_ = now_(); }

    PhaseTimes times() const {
        PhaseTimes times;
        times.enterMs = span(start_, resetSent_);
        times.waitMs = span(resetSent_, firstToBootLoader_);
        times.downloadMs = span(firstToBootLoader_, lastData_);
        times.verifyMs = span(lastData_, lastData_ ? downloaded_ : std::nullopt);
        times.returnMs = span(downloaded_, back_);
        return times;
    }

private:
    static std::optional<std::uint64_t> span(std::optional<std::uint64_t> from,
                                             std::optional<std::uint64_t> to) {
        if (!from || !to || *to < *from) return std::nullopt;
        return *to - *from;
    }

    std::function<std::uint64_t()> now_;
    std::function<bool()> allSent_;
    std::optional<std::uint64_t> start_, resetSent_, reached_, firstToBootLoader_, lastData_,
        downloaded_, back_;
};

}  // namespace tolvane::cli
