// What an interrupt does to a run of the tool: the notice when it is put off because a device is
// being written, and the report when it ends the run at once, for one device or for each of
// several at work.
#pragma once

#include "options/options.h"
#include "system/interrupt_guard.h"
#include "tool/tool_report.h"
#include "update/device_steps.h"
#include "update/engine_command.h"

#include <functional>
#include <mutex>

namespace tolvane::cli {

class RunInterrupts {
public:
    // `exitNow` ends the process with the report's exit code; when empty, the run returns it.
    RunInterrupts(const Options& options, InterruptGuard& guard, ToolReport& tool,
                  std::function<void(int)> exitNow);
    RunInterrupts(const RunInterrupts&) = delete;
    RunInterrupts& operator=(const RunInterrupts&) = delete;

    InterruptGuard& guard() { return guard_; }
    // Filled by the engines of --all and the station only.
    DeviceSteps& deviceSteps() { return deviceSteps_; }

    // The first interrupt after the device was written to: the run goes on to its end.
    void tellPutOff();
    // An interrupt ends the run now; the engine may still be at work on another thread.
    void abandon(const CommandOutcome& sofar);
    // The same for several devices at work, which may all be abandoned at once: one report.
    void abandonOnce(const CommandOutcome& sofar);
    // An interrupt before any device was touched; returns the exit code.
    int abandonBeforeStart();

private:
    const Options& options_;
    InterruptGuard& guard_;
    ToolReport& tool_;
    std::function<void(int)> exitNow_;
    DeviceSteps deviceSteps_;
    std::once_flag abandoned_;
};

}  // namespace tolvane::cli
