// The runs that update several devices at once: update --all (every matching device present)
// and the station (each device once as it is plugged in), each device with an engine of its own.
#pragma once

#include "options/options.h"
#include "tool/run_devices.h"
#include "tool/run_image.h"
#include "tool/run_interrupts.h"
#include "tool/tool_platform.h"
#include "tool/tool_report.h"

namespace tolvane::cli {

class SeveralDevicesRun {
public:
    SeveralDevicesRun(const Options& options, const RunImage& image, ToolReport& tool,
                      RunInterrupts& interrupts, const ToolPlatform& platform);

    int updateAll(const RunDevices& devices);
    int station(const RunDevices& devices);

private:
    const Options& options_;
    const DownloadJob& job_;
    ToolReport& tool_;
    RunInterrupts& interrupts_;
    const ToolPlatform& platform_;
};

}  // namespace tolvane::cli
