#include "options/station_options.h"

#include "options/non_empty_option.h"

namespace tolvane::cli {

namespace {

// More virtual devices than any bench holds only costs memory and threads.
constexpr std::uint32_t kMaxSimulatedDevices = 256;

}  // namespace

void AddPortOption(CLI::App& command, Options& options) {
    Valued(command.add_option("--port", options.port,
                              "only the device at this port (as `tolvane list` shows it), in both "
                              "its identities"))
        ->type_name("PORT");
}

void AddAllOption(CLI::App& update, Options& options) {
    update.add_flag("--all", options.all,
                    "every matching device and every boot loader present, in parallel");
}

void AddStationOptions(CLI::App& station, Options& options) {
    Valued(station.add_option("--log", options.logPath,
                              "append one JSON line per finished device, each forced to the disk"))
        ->type_name("FILE");
    Valued(station.add_option("--count", options.count, "stop after this many devices"))
        ->type_name("N");
}

void AddStationSimulationOptions(CLI::App& app, SimulationOptions& sim, const std::string& group) {
    Valued(
        app.add_option("--sim-devices", sim.devices, "N identical targets on N ports (default 1)"))
        ->type_name("N")
        ->group(group);
    Valued(app.add_option("--sim-fault-device", sim.faultDevice,
                          "the --sim-* faults and --sim-report-length shape the K-th device only "
                          "(default: every device)"))
        ->type_name("K")
        ->group(group);
    Valued(app.add_option("--sim-arrival-interval", sim.arrivalIntervalMs,
                          "plug the devices in one after another, MS apart"))
        ->type_name("MS")
        ->group(group);
}

void CheckStationOptions(const Options& options) {
    const SimulationOptions& sim = options.simulation;
    if (sim.devices == 0 || sim.devices > kMaxSimulatedDevices) {
        throw StationUsageError{"--sim-devices: from 1 to " + std::to_string(kMaxSimulatedDevices)};
    }
    if (sim.faultDevice && (*sim.faultDevice == 0 || *sim.faultDevice > sim.devices)) {
        throw StationUsageError{"--sim-fault-device: devices are counted from 1 to " +
                                std::to_string(sim.devices)};
    }
    if (options.port && options.port->empty()) {
        throw StationUsageError{"--port: give a port as `tolvane list` shows it"};
    }
    if (options.port && options.all) {
        throw StationUsageError{"--port and --all exclude each other"};
    }
    if (options.count && *options.count == 0) {
        throw StationUsageError{"--count: devices are counted from 1"};
    }
    if (options.command == Command::Station && !options.logPath.empty() &&
        options.logPath.find_first_not_of(" \t") == std::string::npos) {
        throw StationUsageError{"--log: give a file name"};
    }
}

}  // namespace tolvane::cli
