// update --all: every matching application device and every boot loader present, each updated by
// an engine of its own confined to its port, all at once.
#pragma once

#include "line/progress_board.h"
#include "options/options.h"
#include "output/run_report.h"
#include "update/engine_command.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvane::cli {

// The outcome for one device, as the end table and the JSON `devices` array show it.
struct DeviceResult {
    std::string port;
    std::string slot;  // its name in --slots; empty when it has none
    std::u16string serial;
    CommandOutcome outcome;
    std::uint64_t durationMs = 0;  // start to end on the run's clock (virtual when simulated)
    int exitCode = 0;
    std::string result;  // the result code's name
    std::string message;
};

struct AllDevicesResult {
    SysError listError = 0;             // the bus gave no list: nothing was started
    std::vector<DeviceResult> devices;  // in port order
};

// The ports an update --all (or a station) works on, with the serial each device reports.
struct PortedDevice {
    std::string port;
    std::u16string serial;
};
struct PortedDevices {
    SysError error = 0;
    std::vector<PortedDevice> devices;  // in port order
};
PortedDevices FindPortedDevices(HidBus& bus, std::uint16_t vendorId, std::uint16_t productId);

// What one device's engine runs on, given the display its progress goes to.
using ContextFactory = std::function<CommandContext(ProgressDisplay& display)>;

// Makes the device at `port` known to the run's DeviceSteps (when its contexts carry them) before
// its engine starts, so that an interrupt tells of it even if it has not begun.
void AnnounceDevice(const ContextFactory& contextFor, const std::string& port);

// Updates the device at `port` with its own engine and watcher.
DeviceResult UpdateDeviceAt(const PortedDevice& device, const Options& options,
                            const DownloadJob& job, const CommandContext& context);

// Updates every device found on `bus`, in parallel; returns once all are done.
AllDevicesResult UpdateAllDevices(const Options& options, const DownloadJob& job,
                                  std::ostream& progress, bool terminal, bool showProgress,
                                  const ContextFactory& contextFor, HidBus& bus);

// The exit code of the whole run: 0 when every device succeeded, else the first failure's in
// port order; no device at all is "not found".
int AllDevicesExitCode(const AllDevicesResult& result);

// "port  slot  serial  result  version  seconds" and one row per device; the slot column only
// when a device has a name.
std::string FormatResultTable(const std::vector<DeviceResult>& devices);

// The totals of a run over several devices, named for what they count: `bytes_sent_all_devices`
// (the image bytes every device took, together) and `bytes_total_all_devices` (the image's size
// times the devices). The run's `bytes_sent` is the same sum and its `bytes_total` one image.
void AddDeviceTotals(Json& extra, const std::vector<DeviceResult>& devices, const DownloadJob& job);

// "1-2", or "1-2 (slot-3)" when the port has a name; control characters shown escaped.
std::string PortLabel(const std::string& port, const std::string& slot);

// One item of the JSON `devices` array (and of a station's log line).
Json DeviceJson(const DeviceResult& device, const DownloadJob& job);
// The JSON `devices` array, in the order given.
Json DevicesJson(const std::vector<DeviceResult>& devices, const DownloadJob& job);

}  // namespace tolvane::cli
