// What an interrupt that ends a run at once tells: the step that was under way and the likely
// state of the device, for one device or for each of several.
#pragma once

#include "output/run_report.h"
#include "system/interrupt_guard.h"
#include "update/device_steps.h"

#include <string>
#include <vector>

namespace tolvane::cli {

struct InterruptedStep {
    std::string stepName;  // "writing the firmware"
    std::string state;     // what the device is most likely doing now
};

InterruptedStep DescribeInterruptedStep(RunStep step, bool written);

// "1-2: writing the firmware (16384 bytes accepted): the device is in its boot loader ..."
std::vector<std::string> InterruptedDevicesText(const std::vector<DeviceStep>& devices);
// The `devices` array: `port`, `step`, `device_written`, `bytes_sent`, `state`.
Json InterruptedDevicesJson(const std::vector<DeviceStep>& devices);

}  // namespace tolvane::cli
