#include "update/interrupt_report.h"

#include <variant>

namespace tolvane::cli {
namespace {

const char* StageName(RunStage stage) {
    switch (stage) {
        case RunStage::Preparing:
            return "preparing";
        case RunStage::Listing:
            return "listing the interfaces";
        case RunStage::Finishing:
            return "reporting the outcome";
    }
    return "?";
}

// The tool's own words for a step: the finding and the wait belong to entering the boot loader,
// the verification to the download.
const char* ToolStepName(UpdateStep step) {
    switch (step) {
        case UpdateStep::Finding:
        case UpdateStep::EnterBootLoader:
        case UpdateStep::Waiting:
            return "entering the boot loader";
        case UpdateStep::Download:
        case UpdateStep::Verification:
            return "writing the firmware";
        case UpdateStep::ResetToApplication:
            return "restarting the application";
    }
    return "?";
}

// What the device is most likely doing after the tool stopped during `step`, once written to.
std::string LikelyDeviceState(UpdateStep step) {
    switch (step) {
        case UpdateStep::Finding:
        case UpdateStep::EnterBootLoader:
        case UpdateStep::Waiting:
            return "the device was told to restart into its boot loader and is probably there "
                   "now, its firmware unchanged: run the update again, or reset-to-ap to return "
                   "to the application.";
        case UpdateStep::Download:
        case UpdateStep::Verification:
            return "the device is in its boot loader with the new firmware only partly written, "
                   "and stays unusable until an update completes: run the update again "
                   "(power-cycle the device first if it does not answer).";
        case UpdateStep::ResetToApplication:
            return "the new firmware was written and verified; the device is restarting into its "
                   "application (if it stays in its boot loader, run reset-to-ap).";
    }
    return {};
}

}  // namespace

InterruptedStep DescribeInterruptedStep(RunStep step, bool written) {
    const char* const untouched = "nothing was sent to the device; it is as it was.";
    if (const auto* stage = std::get_if<RunStage>(&step)) {
        return {StageName(*stage), written ? "the device's part of the run had ended." : untouched};
    }
    // At a device that was not written to, the step was still the search for it.
    if (!written) return {"looking for the device", untouched};
    const UpdateStep at = std::get<UpdateStep>(step);
    return {ToolStepName(at), LikelyDeviceState(at)};
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
