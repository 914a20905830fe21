#include "simulation.h"

#include "real_timeline.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "transcript.h"
#include "virtual_target.h"

#include <algorithm>

namespace tolvane::cli {
namespace {

sim::DeviceSpec SpecFor(const SimulationOptions& options) {
    sim::VirtualTargetOptions target;
    target.reportLength = static_cast<std::uint16_t>(options.reportLength);
    target.bootLoaderProductId = options.bootLoaderPid;
    target.startsInBootLoader = options.inBootLoader;
    target.neverEntersBootLoader = options.neverEnters;
    target.refusedDataReport = options.refuseReport.value_or(0);
    target.unplugAtDataReport = options.unplugAt.value_or(0);
    target.wrongChecksum = options.wrongChecksum;
    // Paced on the virtual clock as well: it costs no real time there, and the times that -v
    // prints stay those of a real device.
    target.paced = true;
    sim::DeviceSpec config = sim::VirtualTarget::specFor(target);
    if (options.refuseReset) config.application.interfaces.at(0).acceptedResets = 0;
    if (options.bootLoaderRefusesReset) config.bootLoader.interfaces.at(0).acceptedResets = 0;
    config.leaveAfterResetMs = options.leaveDelayMs;
    return config;
}

}  // namespace

struct Simulation::Parts {
    sim::Transcript transcript;
    // Exactly one of the two clocks: the simulated services' virtual one, or the real one.
    std::unique_ptr<sim::SimServices> fastServices;
    std::unique_ptr<sim::RealTimeline> realTimeline;
    SystemServices* services = nullptr;
    std::unique_ptr<sim::SimBus> bus;
    sim::SimDevice* device = nullptr;
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
    parts_->bus = std::make_unique<sim::SimBus>(*timeline, parts_->transcript);
    parts_->device = &parts_->bus->addDevice(SpecFor(options));
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

MemoryCheck Simulation::check(const std::vector<std::uint8_t>& image, std::uint32_t address) const {
    const sim::DeviceMemory memory = parts_->device->memory();
    MemoryCheck check;
    check.written = memory.setups > 0;
    check.equal =
        check.written && memory.image == image && memory.loadAddress == (address & 0xFFFFFF);
    check.checksum = memory.checksum;
    return check;
}

}  // namespace tolvane::cli
