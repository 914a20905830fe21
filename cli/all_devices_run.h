// update --all: every matching application device and every boot loader present, each updated by
// an engine of its own confined to its port, all at once.
#pragma once

#include "engine_command.h"
#include "options.h"
#include "progress_board.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::cli {

// The outcome for one device, as the end table and the JSON `devices` array show it.
struct DeviceResult {
    std::string port;
    std::u16string serial;
    CommandOutcome outcome;
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

// Updates the device at `port` with its own engine and watcher; progress goes to `display`.
DeviceResult UpdateDeviceAt(const PortedDevice& device, const Options& options,
                            const DownloadJob& job, HidBus& bus, SystemServices& services,
                            ProgressDisplay& display);

// Updates every device found, in parallel; returns once all are done.
AllDevicesResult UpdateAllDevices(const Options& options, const DownloadJob& job, HidBus& bus,
                                  SystemServices& services, std::ostream& progress, bool terminal,
                                  bool showProgress);

// The exit code of the whole run: 0 when every device succeeded, else the first failure's in
// port order; no device at all is "not found".
int AllDevicesExitCode(const AllDevicesResult& result);

// "port  serial     result        seconds" and one row per device.
std::string FormatResultTable(const std::vector<DeviceResult>& devices);

// ",\"devices\":[...]" for the one JSON object at the end.
std::string DevicesMember(const std::vector<DeviceResult>& devices, const DownloadJob& job);

}  // namespace tolvane::cli
