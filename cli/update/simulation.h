// The built-in virtual target of --simulate: a simulated bus holding a device shaped by the
// --sim-* options, on the real clock at a realistic pace, or on a virtual clock with --sim-fast.
#pragma once

#include "hid_bus.h"
#include "options/options.h"
#include "system_services.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

// What the virtual device holds after a run, compared with the image.
struct MemoryCheck {
    bool written = false;        // the boot loader received a download
    bool equal = false;          // what it holds at `address` equals the image
    std::uint16_t checksum = 0;  // the 16-bit sum of what it received
};

// One virtual device after a run: its port and whether its memory holds exactly the image.
struct SimulatedDeviceCheck {
    std::string port;
    bool memoryEqualsImage = false;
};

class Simulation {
public:
    // `realServices` are used unless the options ask for the virtual clock.
    Simulation(const SimulationOptions& options, SystemServices& realServices);
    ~Simulation();
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;

    HidBus& bus();
    SystemServices& services();
    // The device at `port`, or the first device when no port is given.
    MemoryCheck check(const std::vector<std::uint8_t>& image, std::uint32_t address,
                      const std::optional<std::string>& port = std::nullopt) const;
    // Every device, in port order; none holds the image when there is none.
    std::vector<SimulatedDeviceCheck> checkAll(const std::vector<std::uint8_t>* image,
                                               std::uint32_t address) const;
    // The simulated bus's clock, and when the device at `port` is first plugged in on it.
    std::uint64_t nowMs() const;
    std::uint64_t arrivalMsOf(const std::string& port) const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace tolvane::cli
