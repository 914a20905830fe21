#include "update/simulation.h"

#include "device_rack.h"
#include "dfu_constants.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "transcript.h"
#include "virtual_target.h"

#include <algorithm>

namespace tolvane::cli {
namespace {

// The options without the faults (report lengths and the boot loader's identity included): what
// the other devices of a bench are when one is faulty.
SimulationOptions Healthy(SimulationOptions options) {
    options.inBootLoader = false;
    options.neverEnters = false;
    options.neverReturns = false;
    options.refuseReport.reset();
    options.unplugAt.reset();
    options.holdReport.reset();
    options.wrongChecksum = false;
    options.refuseReset = false;
    options.bootLoaderRefusesReset = false;
    options.leaveDelayMs = 0;
    options.reportLength = SimulationOptions{}.reportLength;
    options.bootLoaderPid = SimulationOptions{}.bootLoaderPid;
    options.versionAfter.reset();
    return options;
}

sim::DeviceSpec SpecFor(const SimulationOptions& options) {
    sim::VirtualTargetOptions target;
    target.reportLength = static_cast<std::uint16_t>(options.reportLength);
    target.bootLoaderProductId = options.bootLoaderPid;
    target.startsInBootLoader = options.inBootLoader;
    target.neverEntersBootLoader = options.neverEnters;
    target.neverReturnsToApplication = options.neverReturns;
    target.refusedDataReport = options.refuseReport.value_or(0);
    target.unplugAtDataReport = options.unplugAt.value_or(0);
    if (options.holdReport) {
        target.heldDataReport = options.holdReport->report;
        target.holdMs = options.holdReport->ms;
    }
    target.wrongChecksum = options.wrongChecksum;
    // Paced on the virtual clock as well: it costs no real time there, and the times that -v
    // prints stay those of a real device.
    target.paced = true;
    sim::DeviceSpec config = sim::VirtualTarget::specFor(target);
    if (options.refuseReset) config.application.interfaces.at(0).acceptedResets = 0;
    if (options.bootLoaderRefusesReset) config.bootLoader.interfaces.at(0).acceptedResets = 0;
    config.leaveAfterResetMs = options.leaveDelayMs;
    config.application.versionNumber = options.version;
    config.versionAfterDownload =
        options.versionAfter ? options.versionAfter : options.imageVersion;
    return config;
}

}  // namespace

struct Simulation::Parts {
    sim::Transcript transcript;
    // Exactly one of the two clocks: the simulated services' virtual one, or the real one.
    std::unique_ptr<sim::SimServices> fastServices;
    std::unique_ptr<sim::RealTimeline> realTimeline;
    SystemServices* services = nullptr;
    sim::Timeline* timeline = nullptr;
    std::uint64_t startMs = 0;
    std::uint32_t arrivalIntervalMs = 0;
    std::unique_ptr<sim::SimBus> bus;
    std::vector<sim::SimDevice*> devices;  // in port order
};

Simulation::Simulation(const SimulationOptions& options, SystemServices& realServices)
    : parts_(std::make_unique<Parts>()) {
    parts_->transcript.setRecordReportBytes(false);
    sim::Timeline* timeline = nullptr;
    if (options.fast) {
        parts_->fastServices = std::make_unique<sim::SimServices>(parts_->transcript);
        parts_->services = parts_->fastServices.get();
        timeline = &parts_->fastServices->timeline();
    } else {
        parts_->realTimeline = std::make_unique<sim::RealTimeline>();
        parts_->services = &realServices;
        timeline = parts_->realTimeline.get();
    }
    parts_->timeline = timeline;
    parts_->bus = std::make_unique<sim::SimBus>(*timeline, parts_->transcript);
    parts_->startMs = timeline->nowMs();
    parts_->arrivalIntervalMs = options.arrivalIntervalMs;
    parts_->devices =
        sim::AddRack(*parts_->bus, SpecFor(Healthy(options)), SpecFor(options),
                     {options.devices, options.faultDevice.value_or(0), options.arrivalIntervalMs});
}

// The bus goes first: it cancels what the device has scheduled on the clock.
Simulation::~Simulation() {
    parts_->bus.reset();
}

HidBus& Simulation::bus() {
    return *parts_->bus;
}

SystemServices& Simulation::services() {
    return *parts_->services;
}

MemoryCheck Simulation::check(const std::vector<std::uint8_t>& image, std::uint32_t address,
                              const std::optional<std::string>& port) const {
    MemoryCheck check;
    const sim::SimDevice* device = parts_->devices.front();
    if (port) {
        const auto found = std::ranges::find(parts_->devices, *port, &sim::SimDevice::port);
        if (found == parts_->devices.end()) return check;
        device = *found;
    }
    const sim::DeviceMemory memory = device->memory();
    check.written = memory.setups > 0;
    check.equal = check.written && memory.image == image &&
                  memory.loadAddress == (address & BOOT_LOADER_LAST_ADDRESS);
    check.checksum = memory.checksum;
    return check;
}

std::vector<SimulatedDeviceCheck> Simulation::checkAll(const std::vector<std::uint8_t>* image,
                                                       std::uint32_t address) const {
    std::vector<SimulatedDeviceCheck> checks;
    for (const sim::SimDevice* device : parts_->devices) {
        SimulatedDeviceCheck entry;
        entry.port = device->port();
        if (image) {
            const sim::DeviceMemory memory = device->memory();
            entry.memoryEqualsImage = memory.setups > 0 && memory.image == *image &&
                                      memory.loadAddress == (address & BOOT_LOADER_LAST_ADDRESS);
        }
        checks.push_back(std::move(entry));
    }
    return checks;
}

std::uint64_t Simulation::nowMs() const {
    return parts_->timeline->nowMs();
}

std::uint64_t Simulation::arrivalMsOf(const std::string& port) const {
    for (std::size_t i = 0; i < parts_->devices.size(); ++i) {
        if (parts_->devices[i]->port() == port) {
            return parts_->startMs + parts_->arrivalIntervalMs * (i + 1);
        }
    }
    return parts_->startMs;
}

}  // namespace tolvane::cli
