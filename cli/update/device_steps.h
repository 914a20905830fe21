// Where each device of a run with several devices stands, for an interrupt that ends the run at
// once: its step, whether anything was written to it, and the bytes it has accepted so far.
#pragma once

#include "system/interrupt_guard.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tolvane::cli {

struct DeviceStep {
    std::string port;
    RunStep step = RunStage::Preparing;
    bool written = false;
    std::uint64_t bytesSent = 0;
};

// Thread-safe: each device's engine reports from its own thread.
class DeviceSteps {
public:
    void enter(const std::string& port, RunStep step);
    void written(const std::string& port);
    void sent(const std::string& port, std::uint64_t bytes);
    // Every device met so far, in port order.
    std::vector<DeviceStep> snapshot() const;

private:
    DeviceStep& entry(const std::string& port);

    mutable std::mutex mutex_;
    std::map<std::string, DeviceStep> devices_;
};

}  // namespace tolvane::cli
