#include "tool/command_run.h"

#include "buses/bus_stack.h"
#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "sys_error.h"
#include "tool/one_device_run.h"
#include "tool/plain_commands.h"
#include "tool/recording_run.h"
#include "tool/run_devices.h"
#include "tool/several_devices_run.h"
#include "tool/slot_commands.h"
#include "update/device_choice.h"
#include "update/json_fields.h"

namespace tolvane::cli {

CommandRun::CommandRun(const Options& options, const ToolIo& io, const ToolPlatform& platform,
                       InterruptGuard& guard)
    : options_(options),
      platform_(platform),
      guard_(guard),
      tool_(options_, io, platform),
      interrupts_(options_, guard, tool_, platform.exitNow) {}

int CommandRun::execute() {
    if (options_.command == Command::InstallUdevRules) {
        return InstallUdevRulesCommand(options_, platform_.udev, tool_);
    }
    if (options_.command == Command::Report) return StationReportCommand(options_, tool_);
    if (auto refused = LoadSlots(options_, tool_)) return *refused;
    if (TraitsOf(options_.command).needsImage) {
        if (auto refused = image_.load(options_, tool_)) return *refused;
    }
    if (guard_.abortRequested()) return interrupts_.abandonBeforeStart();

    HidBus* bus = &platform_.bus;
    SystemServices* services = &platform_.services;
    if (options_.simulation.enabled) {
        simulation_.emplace(options_.simulation, platform_.services);
        tool_.attachSimulation(&*simulation_, image_.image() ? &image_.image()->bytes : nullptr,
                               image_.job().address);
        bus = &simulation_->bus();
        services = &simulation_->services();
    }
    RecordingRun recording(options_, tool_);
    if (auto refused = recording.start(bus, services, image_.image())) return *refused;
    BusStack stack(*bus);
    const LockingHidBus* locks = nullptr;
    if (!simulation_ && !recording.replaying()) locks = &stack.lock(platform_.portLock);
    // Before the report log: the search is the tool's own, not the engine's.
    if (auto refused = refuseToGuess(stack.top())) return *refused;
    TrackingHidBus& tracked =
        stack.track([this] { guard_.deviceWritten(); },
                    [this](const std::string& port) { interrupts_.deviceSteps().written(port); });
    if (WorksOnOneDevice(options_)) stack.pinToFirstDevice();
    if (options_.verbose) {
        stack.log(
            tool_.err(), [services] { return services->nowMs(); }, platform_.nativeErrorDetail);
    }
    return dispatch(RunDevices{stack.top(), *services, tracked, locks}, recording);
}

int CommandRun::dispatch(const RunDevices& devices, RecordingRun& recording) {
    if (WorksOnOneDevice(options_)) {
        OneDeviceRun run(options_, image_, tool_, interrupts_, platform_, recording,
                         simulation_ ? &*simulation_ : nullptr);
        return run.run(devices);
    }
    SeveralDevicesRun several(options_, image_, tool_, interrupts_, platform_);
    switch (options_.command) {
        case Command::List:
            return ListCommand(devices.bus, options_, interrupts_, tool_);
        case Command::SlotsTeach:
            return TeachSlotsCommand(devices.bus, devices.services, options_, guard_, tool_);
        case Command::Station:
            return several.station(devices);
        default:
            return several.updateAll(devices);
    }
}

std::optional<int> CommandRun::refuseToGuess(HidBus& bus) {
    const DeviceChoice choice = ChooseDevice(options_, bus);
    if (choice.onlyPort) options_.port = choice.onlyPort;
    if (!choice.several) return std::nullopt;
    tool_.err() << "tolvane: " << kSeveralDevicesText << '\n';
    for (const DeviceCandidate& candidate : choice.candidates) {
        tool_.err() << FormatCandidate(candidate) << '\n';
    }
    RunReport& report = tool_.report();
    report.result = "SEVERAL_DEVICES";
    report.code = kErrorInvalidParameter;
    report.message = kSeveralDevicesText;
    report.extra["candidates"] = CandidatesJson(choice.candidates);
    return tool_.finish(kExitSeveralDevices);
}

}  // namespace tolvane::cli
