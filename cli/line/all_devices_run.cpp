#include "line/all_devices_run.h"

#include "device_candidates.h"
#include "output/exit_codes.h"
#include "output/run_report.h"
#include "output/text_format.h"
#include "result_message.h"
#include "text.h"
#include "update/clock_sharing_thread.h"
#include "update/update_verdict.h"
#include "versions/release_number.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

namespace tolvane::cli {

PortedDevices FindPortedDevices(HidBus& bus, std::uint16_t vendorId, std::uint16_t productId) {
    PortedDevices found;
    const CandidateSearch search = FindCandidates(bus, vendorId, productId);
    found.error = search.error;
    for (const std::string& port : CandidatePorts(search.candidates)) {
        PortedDevice device{port, {}};
        for (const DeviceCandidate& candidate : search.candidates) {
            if (candidate.port == port && !candidate.serial.empty()) {
                device.serial = candidate.serial;
                break;
            }
        }
        found.devices.push_back(std::move(device));
    }
    return found;
}

void AnnounceDevice(const ContextFactory& contextFor, const std::string& port) {
    std::ostream discard(nullptr);
    ProgressDisplay none(discard, false, false);
    const CommandContext context = contextFor(none);
    if (context.steps) context.steps->enter(port, RunStage::Preparing);
}

DeviceResult UpdateDeviceAt(const PortedDevice& device, const Options& options,
                            const DownloadJob& job, const CommandContext& context) {
    Options scoped = options;
    scoped.command = Command::Update;
    scoped.port = device.port;
    scoped.all = false;
    DeviceResult result;
    result.port = device.port;
    result.slot = options.slots.nameOf(device.port);
    result.serial = device.serial;
    const std::uint64_t startMs = context.services.nowMs();
    result.outcome = RunEngineCommand(Command::Update, scoped, job, context);
    result.durationMs = context.services.nowMs() - startMs;
    // The engine saw only a refused report; the lock says why.
    if (context.heldElsewhere && context.heldElsewhere(device.port)) {
        result.outcome.code = kErrorBusy;
    }
    result.exitCode = VerdictExitCode(result.outcome, options);
    result.result = VerdictResult(result.outcome, options);
    result.message = VerdictMessage(Command::Update, result.outcome, options, job);
    return result;
}

AllDevicesResult UpdateAllDevices(const Options& options, const DownloadJob& job,
                                  std::ostream& progress, bool terminal, bool showProgress,
                                  const ContextFactory& contextFor, HidBus& bus) {
    AllDevicesResult all;
    const PortedDevices found =
        FindPortedDevices(bus, static_cast<std::uint16_t>(options.vid.value_or(0)),
                          static_cast<std::uint16_t>(options.pid.value_or(0)));
    all.listError = found.error;
    if (found.error != 0 || found.devices.empty()) return all;

    std::vector<std::string> labels;
    for (const PortedDevice& device : found.devices) {
        AnnounceDevice(contextFor, device.port);
        labels.push_back(PortLabel(device.port, options.slots.nameOf(device.port)));
    }
    ProgressBoard board(progress, terminal, showProgress, labels);
    all.devices.resize(found.devices.size());
    {
        std::ostream discard(nullptr);
        ProgressDisplay none(discard, false, false);
        const CommandContext shared = contextFor(none);
        SystemServices& services = shared.services;
        std::vector<std::jthread> workers;
        workers.reserve(found.devices.size());
        // Holds a simulated clock until every device's thread has its share: all start at once.
        std::unique_ptr<ClockShare> starting = services.shareClock();
        if (starting) starting->attach();
        for (std::size_t i = 0; i < found.devices.size(); ++i) {
            workers.push_back(StartClockSharingThread(services, [&, i] {
                BoardLineStream lines(board, i);
                ProgressDisplay display(lines, false, true);
                const CommandContext context = contextFor(display);
                all.devices[i] = UpdateDeviceAt(found.devices[i], options, job, context);
            }));
        }
        starting.reset();
    }
    board.finish();
    return all;
}

int AllDevicesExitCode(const AllDevicesResult& result) {
    if (result.listError != 0) return kExitSystemError;
    if (result.devices.empty()) return kExitNotFound;
    for (const DeviceResult& device : result.devices) {
        if (device.exitCode != kExitSuccess) return device.exitCode;
    }
    return kExitSuccess;
}

void AddDeviceTotals(Json& extra, const std::vector<DeviceResult>& devices,
                     const DownloadJob& job) {
    std::uint64_t sent = 0;
    for (const DeviceResult& device : devices) sent += device.outcome.bytesSent;
    const std::uint64_t image = job.image ? job.image->bytes.size() : 0;
    extra["bytes_sent_all_devices"] = sent;
    extra["bytes_total_all_devices"] = image * devices.size();
}

std::string PortLabel(const std::string& port, const std::string& slot) {
    return slot.empty() ? Printable(port) : Printable(port) + " (" + Printable(slot) + ")";
}

std::string FormatResultTable(const std::vector<DeviceResult>& devices) {
    const bool slots =
        std::ranges::any_of(devices, [](const DeviceResult& d) { return !d.slot.empty(); });
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"port", "slot", "serial", "result", "version", "seconds"});
    // What a device or a slot file says is shown with its control characters escaped.
    const auto shown = [](const std::string& text) {
        return text.empty() ? std::string("-") : Printable(text);
    };
    for (const DeviceResult& device : devices) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", device.outcome.seconds);
        const auto& after = device.outcome.versionAfter ? device.outcome.versionAfter
                                                        : device.outcome.versionBefore;
        rows.push_back({shown(device.port), shown(device.slot), shown(ToUtf8(device.serial)),
                        device.result, after ? ReleaseText(*after) : "-", seconds});
    }
    std::vector<std::size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
    }
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (c == 1 && !slots) continue;
            line += row[c];
            if (c + 1 < row.size()) line.resize(line.size() + widths[c] + 2 - row[c].size(), ' ');
        }
        table += line + "\n";
    }
    return table;
}

Json DeviceJson(const DeviceResult& device, const DownloadJob& job) {
    // Seconds to the millisecond, as the run's own object has them.
    const double seconds = static_cast<double>(std::llround(device.outcome.seconds * 1000)) / 1000;
    Json item;
    item["port"] = device.port;
    item["serial"] = ToUtf8(device.serial);
    item["exit_code"] = device.exitCode;
    item["result"] = device.result;
    item["message"] = device.message;
    item["bytes_sent"] = device.outcome.bytesSent;
    item["seconds"] = seconds;
    item["duration_ms"] = device.durationMs;
    // Only a command with an image expects a checksum.
    item["expected_checksum"] =
        job.image ? Json(static_cast<std::uint16_t>(job.checksum & 0xFFFF)) : Json(nullptr);
    item["reported_checksum"] =
        device.outcome.reportedChecksum ? Json(*device.outcome.reportedChecksum) : Json(nullptr);
    item["slot"] = device.slot.empty() ? Json(nullptr) : Json(device.slot);
    AddImageFields(item, job);
    AddVersionsAndPhases(item, device.outcome);
    return item;
}

Json DevicesJson(const std::vector<DeviceResult>& devices, const DownloadJob& job) {
    Json array = Json::array();
    for (const DeviceResult& device : devices) array.push_back(DeviceJson(device, job));
    return array;
}

}  // namespace tolvane::cli
