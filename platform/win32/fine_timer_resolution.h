// A 1 ms system timer resolution, held while a download runs: since Windows 10 2004 a process
// that does not ask for it sleeps in steps of about 15.6 ms, so an 8 ms retry pause doubles.
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
};

}  // namespace tolvane::win32
