// The update as one sequence over the engine: restart the application into its boot loader,
// download the image, restart the application; or any one of these steps alone. Every front end
// that updates runs it, and learns of each step's start and end through its observer.
#pragma once

#include "dfu_engine.h"
#include "update_steps.h"

#include <cstdint>
#include <functional>

namespace tolvane {

// The steps a run takes, in their fixed order.
struct UpdateSteps {
    bool enterBootLoader = false;
    bool download = false;
    bool resetToApplication = false;
};
inline constexpr UpdateSteps kWholeUpdate{true, true, true};

struct UpdateRequest {
    std::uint32_t vid = 0;  // the application's identifiers, for the reset to the boot loader
    std::uint32_t pid = 0;
    // The image, which must stay readable for the whole run; only the download reads it.
    const std::uint8_t* image = nullptr;
    std::uint32_t size = 0;
    std::uint32_t address = 0;
    std::uint32_t checksum = 0;
    UpdateSteps steps = kWholeUpdate;
    // When not 0, a reset to the boot loader that timed out is not yet a failure: once pending
    // device installations have settled (at most this long) one more look finds the boot loader
    // if a slow first installation kept it away (DfuEngine::LookOnceMoreForBootLoader).
    std::uint32_t lateInstallWaitMs = 0;
};

// Told on the running thread of EnterBootLoader, Download and ResetToApplication; either may be
// empty.
struct UpdateObserver {
    std::function<void(UpdateStep step)> stepStarts;
    std::function<void(UpdateStep step, ResultCode code)> stepEnds;
};

// Runs the requested steps in order and stops at the first that fails. The reset to the boot
// loader lets the run go on when it succeeded or found the device already there. Answers the
// last step's result (DFU_ALREADY_IN_DFU when that step was the reset alone and the device was
// already in its boot loader), or DFU_SUCCESS when no step was requested.
ResultCode RunUpdate(DfuEngine& engine, const UpdateRequest& request,
                     const UpdateObserver& observer = {});

}  // namespace tolvane
