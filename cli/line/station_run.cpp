#include "line/station_run.h"

#include "line/arrival_listener.h"
#include "line/station_log.h"
#include "output/text_format.h"
#include "text.h"
#include "update/clock_sharing_thread.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace tolvane::cli {

namespace {

// How long a finished device's port is held after its update: the device comes back as its
// application within this time, and must not be taken for a newly plugged one.
constexpr std::uint64_t kSettleMs = 10000;

// Control characters of a device's serial number are shown escaped, never sent to the terminal.
std::string Shown(const std::string& text) {
    return text.empty() ? "-" : Printable(text);
}

}  // namespace

Station::Station(const Options& options, const DownloadJob& job, HidBus& bus,
                 SystemServices& services, InterruptGuard& guard, ContextFactory contextFor)
    : options_(options),
      job_(job),
      bus_(bus),
      services_(services),
      guard_(guard),
      contextFor_(std::move(contextFor)) {}

// Joins any update still running before the rest goes away.
Station::~Station() {
    jobs_.clear();
}

bool Station::countReached() const {
    return (options_.count && started_ >= *options_.count) || guard_.interrupted() || logFailed_;
}

StationSummary Station::run(const StationOutput& output) {
    StationSummary summary;
    SysError error = 0;
    wake_ = services_.createEvent(error);
    if (!wake_) {
        summary.error = error != 0 ? error : kErrorGenFailure;
        return summary;
    }
    logMidLine_ = output.log != nullptr && LogEndsMidLine(output.log->path());
    // The station's own thread keeps the times of the devices' lines on a simulated clock.
    const std::unique_ptr<ClockShare> share = services_.shareClock();
    if (share) share->attach();
    const InterruptWake interruptWake(guard_, [this] { wake_->signal(); });
    startTime_ = std::time(nullptr);
    startMs_ = services_.nowMs();
    ArrivalListener listener(bus_, services_, [this] { wake_->signal(); });
    if (const SysError started = listener.start(); started != 0) {
        summary.error = started;
        return summary;
    }
    // Devices already plugged in when the station starts count as newly plugged in.
    for (;;) {
        reap(output, summary);
        if (countReached() && jobs_.empty()) {
            summary.interrupted = guard_.interrupted() && !logFailed_;
            break;
        }
        scan(output);
        wake_->wait(waitTimeoutMs());
    }
    listener.stop();
    return summary;
}

void Station::scan(const StationOutput& output) {
    const PortedDevices found =
        FindPortedDevices(bus_, static_cast<std::uint16_t>(options_.vid.value_or(0)),
                          static_cast<std::uint16_t>(options_.pid.value_or(0)));
    if (found.error != 0) return;
    const std::uint64_t now = services_.nowMs();
    for (auto it = ports_.begin(); it != ports_.end();) {
        const bool present = std::ranges::any_of(
            found.devices, [&](const PortedDevice& d) { return d.port == it->first; });
        PortEntry& entry = it->second;
        if (present && entry.state == PortState::Settling) entry.state = PortState::Present;
        // Unplugged after its update, or never back from it: the port is free again.
        const bool freed =
            !present && (entry.state == PortState::Present ||
                         (entry.state == PortState::Settling && now - entry.sinceMs >= kSettleMs));
        if (!freed) {
            ++it;
            continue;
        }
        if (output.freed) output.freed(it->first);
        if (output.lines) {
            *output.lines << PortLabel(it->first, options_.slots.nameOf(it->first))
                          << "  free for the next device\n";
            output.lines->flush();
        }
        it = ports_.erase(it);
    }
    for (const PortedDevice& device : found.devices) {
        // A device whose port is unknown cannot be followed through its boot loader.
        if (device.port.empty() || ports_.contains(device.port) || countReached()) continue;
        start(device, output);
    }
}

void Station::start(const PortedDevice& device, const StationOutput& output) {
    ports_[device.port] = PortEntry{PortState::Busy, services_.nowMs()};
    ++started_;
    AnnounceDevice(contextFor_, device.port);
    if (output.started) output.started(device.port);
    if (output.lines) {
        *output.lines << PortLabel(device.port, options_.slots.nameOf(device.port)) << "  "
                      << Shown(ToUtf8(device.serial)) << "  updating...\n";
        output.lines->flush();
    }
    jobs_[device.port] = StartClockSharingThread(services_, [this, device] {
        std::ostream discard(nullptr);
        ProgressDisplay quiet(discard, false, false);
        DeviceResult result = UpdateDeviceAt(device, options_, job_, contextFor_(quiet));
        {
            const std::lock_guard lock(doneMutex_);
            done_.push_back(std::move(result));
        }
        wake_->signal();
    });
}

void Station::reap(const StationOutput& output, StationSummary& summary) {
    std::vector<DeviceResult> done;
    {
        const std::lock_guard lock(doneMutex_);
        done.swap(done_);
    }
    for (DeviceResult& result : done) {
        jobs_.erase(result.port);  // joins the thread, which has finished its work
        ports_[result.port] = PortEntry{PortState::Settling, services_.nowMs()};
        ++finished_;
        // On the station's clock from its start, so that a simulated line keeps its pace.
        const auto when =
            startTime_ + static_cast<std::time_t>((services_.nowMs() - startMs_) / 1000);
        const std::string line = StationLogLine(result, job_, when);
        // Each line reaches the disk on its own, so that a stop or a power loss keeps every
        // finished one; one that does not is said at once, and no further device is started.
        if (output.log) {
            const std::string failed = output.log->append(logMidLine_ ? "\n" + line : line);
            // A write that failed may have left part of the line.
            logMidLine_ = !failed.empty();
            if (!failed.empty()) {
                const std::string text = Printable(output.log->path()) + ": the line of " +
                                         Printable(result.port) +
                                         " could not be written to the log: " + failed;
                if (output.errors) {
                    *output.errors << "tolvane: " << text
                                   << (logFailed_ ? "" : "; no further device is started") << '\n';
                    output.errors->flush();
                }
                if (!logFailed_) summary.logError = text;
                logFailed_ = true;
            }
        }
        if (output.jsonLines) {
            *output.jsonLines << line << '\n';
            output.jsonLines->flush();
        }
        // Without the lines for people (-q), a failed device is still an error to tell.
        std::ostream* shown = output.lines;
        if (!shown && result.exitCode != 0) shown = output.errors;
        if (shown) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%.1f s", result.outcome.seconds);
            *shown << PortLabel(result.port, result.slot) << "  " << Shown(ToUtf8(result.serial))
                   << "  " << result.result << "  " << seconds << "  " << result.message << '\n';
            shown->flush();
        }
        if (output.finished) output.finished(result.port);
        summary.finished.push_back(std::move(result));
    }
}

std::uint32_t Station::waitTimeoutMs() {
    const std::uint64_t now = services_.nowMs();
    std::uint64_t earliest = 0;
    bool any = false;
    for (const auto& [port, entry] : ports_) {
        if (entry.state != PortState::Settling) continue;
        const std::uint64_t due = entry.sinceMs + kSettleMs;
        if (!any || due < earliest) earliest = due;
        any = true;
    }
    // Arrivals, removals, finished updates and interrupts wake the station: without a port to
    // free it sleeps until one of them comes.
    if (!any) return kInfinite;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(earliest > now ? earliest - now : 0, kInfinite - 1));
}

}  // namespace tolvane::cli
