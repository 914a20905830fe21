#include "update/interrupt_report.h"

namespace tolvane::cli {
namespace {

const char* StepName(RunStep step) {
    switch (step) {
        case RunStep::Preparing:
            return "preparing";
        case RunStep::EnteringBootLoader:
            return "entering the boot loader";
        case RunStep::Downloading:
            return "writing the firmware";
        case RunStep::ResettingToAp:
            return "restarting the application";
        case RunStep::Listing:
            return "listing the interfaces";
        case RunStep::Finishing:
            return "reporting the outcome";
    }
    return "?";
}

// What the device is most likely doing after the tool stopped during `step`.
std::string LikelyDeviceState(RunStep step, bool written) {
    if (!written) return "nothing was sent to the device; it is as it was.";
    switch (step) {
        case RunStep::EnteringBootLoader:
            return "the device was told to restart into its boot loader and is probably there "
                   "now, its firmware unchanged: run the update again, or reset-to-ap to return "
                   "to the application.";
        case RunStep::Downloading:
            return "the device is in its boot loader with the new firmware only partly written, "
                   "and stays unusable until an update completes: run the update again "
                   "(power-cycle the device first if it does not answer).";
        case RunStep::ResettingToAp:
            return "the new firmware was written and verified; the device is restarting into its "
                   "application (if it stays in its boot loader, run reset-to-ap).";
        default:
            return "the device's part of the run had ended.";
    }
}

}  // namespace

InterruptedStep DescribeInterruptedStep(RunStep step, bool written) {
    const bool atDevice = step == RunStep::EnteringBootLoader || step == RunStep::Downloading ||
                          step == RunStep::ResettingToAp;
    return {atDevice && !written ? "looking for the device" : StepName(step),
            LikelyDeviceState(step, written)};
}

std::vector<std::string> InterruptedDevicesText(const std::vector<DeviceStep>& devices) {
    std::vector<std::string> lines;
    for (const DeviceStep& device : devices) {
        const InterruptedStep at = DescribeInterruptedStep(device.step, device.written);
        std::string line = device.port + ": " + at.stepName;
        if (device.bytesSent > 0) line += " (" + std::to_string(device.bytesSent) + " bytes sent)";
        lines.push_back(line + ": " + at.state);
    }
    return lines;
}

Json InterruptedDevicesJson(const std::vector<DeviceStep>& devices) {
    Json array = Json::array();
    for (const DeviceStep& device : devices) {
        const InterruptedStep at = DescribeInterruptedStep(device.step, device.written);
        Json item;
        item["port"] = device.port;
        item["step"] = at.stepName;
        item["device_written"] = device.written;
        item["bytes_sent"] = device.bytesSent;
        item["state"] = at.state;
        array.push_back(std::move(item));
    }
    return array;
}

}  // namespace tolvane::cli
