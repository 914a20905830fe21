// A command on one device, the engine's own (update, reset-to-isp, download, reset-to-ap): its
// outcome told with what may help after a failure, and its verdict returned as the exit code.
#pragma once

#include "options/options.h"
#include "tool/recording_run.h"
#include "tool/run_devices.h"
#include "tool/run_image.h"
#include "tool/run_interrupts.h"
#include "tool/tool_platform.h"
#include "tool/tool_report.h"
#include "update/simulation.h"

#include <string>
#include <vector>

namespace tolvane::cli {

class OneDeviceRun {
public:
    // `simulation` is the virtual target, whose memory is compared with the image; else null.
    OneDeviceRun(const Options& options, const RunImage& image, ToolReport& tool,
                 RunInterrupts& interrupts, const ToolPlatform& platform, RecordingRun& recording,
                 const Simulation* simulation);

    int run(const RunDevices& devices);

private:
    // What may help after a failure: access rights, a report length, a port with no device.
    std::vector<std::string> failureHints(const CommandOutcome& outcome,
                                          TrackingHidBus& tracked) const;
    void tellOutcome(const CommandOutcome& outcome, int exitCode,
                     const std::vector<std::string>& hints);
    // The virtual device's memory compared with the image.
    void tellSimulatedMemory();

    const Options& options_;
    const RunImage& image_;
    ToolReport& tool_;
    RunInterrupts& interrupts_;
    const ToolPlatform& platform_;
    RecordingRun& recording_;
    const Simulation* simulation_;
};

}  // namespace tolvane::cli
