#include "all_devices_run.h"

#include "device_candidates.h"
#include "exit_codes.h"
#include "result_message.h"
#include "run_report.h"
#include "text.h"

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
    if (context.steps) context.steps->enter(port, RunStep::Preparing);
}

DeviceResult UpdateDeviceAt(const PortedDevice& device, const Options& options,
                            const DownloadJob& job, const CommandContext& context) {
    Options scoped = options;
    scoped.command = Command::Update;
    scoped.port = device.port;
    scoped.all = false;
    DeviceResult result;
    result.port = device.port;
    result.serial = device.serial;
    result.outcome = RunEngineCommand(Command::Update, scoped, job, context);
    result.exitCode = ExitCodeFor(result.outcome.code);
    result.result = ResultName(result.outcome.code);
    result.message = ToUtf8(
        ResultMessageFor(result.outcome.code, options.vid.value_or(0), options.pid.value_or(0))
            .text);
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

    std::vector<std::string> ports;
    for (const PortedDevice& device : found.devices) ports.push_back(device.port);
    for (const std::string& port : ports) AnnounceDevice(contextFor, port);
    ProgressBoard board(progress, terminal, showProgress, ports);
    all.devices.resize(found.devices.size());
    {
        std::vector<std::jthread> workers;
        workers.reserve(found.devices.size());
        for (std::size_t i = 0; i < found.devices.size(); ++i) {
            workers.emplace_back([&, i] {
                BoardLineStream lines(board, i);
                ProgressDisplay display(lines, false, true);
                all.devices[i] =
                    UpdateDeviceAt(found.devices[i], options, job, contextFor(display));
            });
        }
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

std::string FormatResultTable(const std::vector<DeviceResult>& devices) {
    std::size_t portWidth = 4;
    std::size_t serialWidth = 6;
    std::size_t resultWidth = 6;
    for (const DeviceResult& device : devices) {
        portWidth = std::max(portWidth, device.port.size());
        serialWidth = std::max(serialWidth, ToUtf8(device.serial).size());
        resultWidth = std::max(resultWidth, device.result.size());
    }
    const auto row = [&](const std::string& port, const std::string& serial,
                         const std::string& result, const std::string& seconds) {
        std::string line = port;
        line.resize(portWidth + 2, ' ');
        line += serial;
        line.resize(portWidth + 2 + serialWidth + 2, ' ');
        line += result;
        line.resize(portWidth + 2 + serialWidth + 2 + resultWidth + 2, ' ');
        return line + seconds + "\n";
    };
    std::string table = row("port", "serial", "result", "seconds");
    for (const DeviceResult& device : devices) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.1f", device.outcome.seconds);
        const std::string serial = ToUtf8(device.serial);
        table += row(device.port.empty() ? "-" : device.port, serial.empty() ? "-" : serial,
                     device.result, seconds);
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
    // Only a command with an image expects a checksum.
    item["expected_checksum"] =
        job.image ? Json(static_cast<std::uint16_t>(job.checksum & 0xFFFF)) : Json(nullptr);
    item["reported_checksum"] =
        device.outcome.reportedChecksum ? Json(*device.outcome.reportedChecksum) : Json(nullptr);
    return item;
}

Json DevicesJson(const std::vector<DeviceResult>& devices, const DownloadJob& job) {
    Json array = Json::array();
    for (const DeviceResult& device : devices) array.push_back(DeviceJson(device, job));
    return array;
}

}  // namespace tolvane::cli
