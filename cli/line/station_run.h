// The station: waits for devices to be plugged in and updates each matching device once, several
// at a time, each with its own engine confined to its port. A device that stays plugged in is not
// updated again; one that is unplugged and plugged back in is. It wakes on the bus's arrival and
// removal notifications, never on a polling interval.
#pragma once

#include "line/all_devices_run.h"
#include "line/station_log_file.h"
#include "options/options.h"

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::cli {

struct StationOutput {
    std::ostream* lines = nullptr;      // one line per device started and finished (people)
    std::ostream* jsonLines = nullptr;  // one JSON line per finished device
    StationLogFile* log = nullptr;      // the --log file: the same JSON lines
    // Where a line the log did not take is reported at once, and a failed device without `lines`.
    std::ostream* errors = nullptr;
    // Called on the station's thread as each device's update starts, as it finishes, and once
    // its port is free for the next device (unplugged after its update).
    std::function<void(const std::string& port)> started;
    std::function<void(const std::string& port)> finished;
    std::function<void(const std::string& port)> freed;
};

struct StationSummary {
    SysError error = 0;                  // the station could not listen for devices
    bool interrupted = false;            // an interrupt stopped it
    std::string logError;                // the first log line that could not be written, and why
    std::vector<DeviceResult> finished;  // in the order they finished
};

class Station {
public:
    // Each device's engine runs on the context `contextFor` gives; after an interrupt (as
    // `guard` counts them) no further device is started, and the devices being written follow
    // the guard's rules.
    Station(const Options& options, const DownloadJob& job, HidBus& bus, SystemServices& services,
            InterruptGuard& guard, ContextFactory contextFor);
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Runs until options.count devices have finished (without a count: until the process ends).
    StationSummary run(const StationOutput& output);

private:
    enum class PortState {
        Busy,      // being updated
        Settling,  // done; its device may still be changing identity
        Present,   // done and still plugged in
    };
    struct PortEntry {
        PortState state = PortState::Busy;
        std::uint64_t sinceMs = 0;
    };

    void scan(const StationOutput& output);
    void start(const PortedDevice& device, const StationOutput& output);
    void reap(const StationOutput& output, StationSummary& summary);
    std::uint32_t waitTimeoutMs();
    bool countReached() const;

    const Options& options_;
    const DownloadJob& job_;
    HidBus& bus_;
    SystemServices& services_;
    InterruptGuard& guard_;
    ContextFactory contextFor_;
    std::unique_ptr<AutoResetEvent> wake_;
    std::map<std::string, PortEntry> ports_;
    std::map<std::string, std::jthread> jobs_;
    std::time_t startTime_ = 0;  // the wall clock when the station started
    std::uint64_t startMs_ = 0;  // the run's clock then
    std::uint32_t started_ = 0;
    std::uint32_t finished_ = 0;
    bool logFailed_ = false;  // no further device is started once a log line is lost
    // The log ends inside a line (cut off by an earlier run, or by this one's failed write): the
    // next line starts with a line's end, so that it stays a record of its own.
    bool logMidLine_ = false;
    std::mutex doneMutex_;
    std::vector<DeviceResult> done_;  // finished, not yet reaped
};

}  // namespace tolvane::cli
