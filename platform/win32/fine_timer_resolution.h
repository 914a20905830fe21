// A 1 ms system timer resolution, held while a download runs: since Windows 10 2004 a process
// that does not ask for it sleeps in steps of about 15.6 ms, so an 8 ms retry pause doubles.
// Windows 11 may ignore the request for a process whose windows are all hidden or minimised (the
// command-line tool always, the program when minimised): while any hold exists, the process opts
// out of that throttling (SetProcessInformation, ProcessPowerThrottling,
// IGNORE_TIMER_RESOLUTION), and the last hold gives the decision back to the system.
#pragma once

#include "system_services.h"

#include <memory>

namespace tolvane::win32 {

class FineTimerResolution final : public TimerResolutionHold {
    struct Acquired {};  // only Acquire() makes one, after timeBeginPeriod succeeded

public:
    // timeBeginPeriod(1); null when the system refused it.
    static std::unique_ptr<FineTimerResolution> Acquire();
    explicit FineTimerResolution(Acquired) noexcept;
    // timeEndPeriod(1).
    ~FineTimerResolution() override;
    FineTimerResolution(const FineTimerResolution&) = delete;
    FineTimerResolution& operator=(const FineTimerResolution&) = delete;

    // How many periods this process holds through these objects at the moment.
    static int PeriodsHeld() noexcept;
    // Whether the opt-out of timer-resolution throttling is in force (false also where the
    // system has no such control).
    static bool ThrottlingOptOutHeld() noexcept;
};

}  // namespace tolvane::win32
