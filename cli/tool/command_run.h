// One run of a parsed command line: the slots and the image read, the devices' side set up (the
// virtual target, a recording, the bus stack), and the run the command table calls for picked
// and handed what it needs.
#pragma once

#include "options/options.h"
#include "system/interrupt_guard.h"
#include "tool/run_image.h"
#include "tool/run_interrupts.h"
#include "tool/tool_platform.h"
#include "tool/tool_report.h"
#include "update/simulation.h"

#include <optional>

namespace tolvane::cli {

class RecordingRun;
struct RunDevices;

class CommandRun {
public:
    CommandRun(const Options& options, const ToolIo& io, const ToolPlatform& platform,
               InterruptGuard& guard);
    CommandRun(const CommandRun&) = delete;
    CommandRun& operator=(const CommandRun&) = delete;

    // Returns the exit code.
    int execute();

private:
    // Several devices match and the command was not told which: nothing is sent. One device
    // counted: every step keeps to its port, as with --port.
    std::optional<int> refuseToGuess(HidBus& bus);
    // The command's own run, on the finished bus stack.
    int dispatch(const RunDevices& devices, RecordingRun& recording);

    Options options_;
    const ToolPlatform& platform_;
    InterruptGuard& guard_;
    ToolReport tool_;
    RunImage image_;
    RunInterrupts interrupts_;
    // Last: the devices' clock goes before anything that might still refer to it.
    std::optional<Simulation> simulation_;
};

}  // namespace tolvane::cli
