#include "fine_timer_resolution.h"

#include "win32_api.h"

#include <timeapi.h>

#include <mutex>
#include <new>

namespace tolvane::win32 {
namespace {

constexpr UINT kPeriodMs = 1;

// The process's holds, and whether its opt-out of timer-resolution throttling is in force.
struct Holds {
    std::mutex mutex;
    int periods = 0;
    bool throttlingOptOut = false;
};

Holds& ProcessHolds() {
    static Holds holds;
    return holds;
}

using SetProcessInformationFunction = BOOL(WINAPI*)(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID,
                                                    DWORD);

// SetProcessInformation(ProcessPowerThrottling) with IGNORE_TIMER_RESOLUTION under our control:
// `optOut` keeps the requested resolution even while every window of the process is hidden or
// minimised (Windows 11 ignores it then otherwise); false gives the decision back to the
// system. Looked up at run time: systems before Windows 10 1709 lack the call or the class.
bool ControlTimerResolutionThrottling(bool optOut) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) {
        return false;
    }
    const auto setInformation = reinterpret_cast<SetProcessInformationFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetProcessInformation")));
    if (setInformation == nullptr) {
        return false;
    }
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = optOut ? PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION : 0;
    state.StateMask = 0;
    return setInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof(state)) !=
           FALSE;
}

}  // namespace

std::unique_ptr<FineTimerResolution> FineTimerResolution::Acquire() {
    Holds& holds = ProcessHolds();
    const std::lock_guard lock(holds.mutex);
    if (timeBeginPeriod(kPeriodMs) != TIMERR_NOERROR) {
        return nullptr;
    }
    try {
        auto hold = std::make_unique<FineTimerResolution>(Acquired{});
        if (++holds.periods == 1) {
            holds.throttlingOptOut = ControlTimerResolutionThrottling(true);
        }
        return hold;
    } catch (const std::bad_alloc&) {
        timeEndPeriod(kPeriodMs);
        return nullptr;
    }
}

FineTimerResolution::FineTimerResolution(Acquired) noexcept {}

FineTimerResolution::~FineTimerResolution() {
    Holds& holds = ProcessHolds();
    const std::lock_guard lock(holds.mutex);
    if (--holds.periods == 0 && holds.throttlingOptOut) {
        ControlTimerResolutionThrottling(false);
        holds.throttlingOptOut = false;
    }
    timeEndPeriod(kPeriodMs);
}

int FineTimerResolution::PeriodsHeld() noexcept {
    Holds& holds = ProcessHolds();
    const std::lock_guard lock(holds.mutex);
    return holds.periods;
}

bool FineTimerResolution::ThrottlingOptOutHeld() noexcept {
    Holds& holds = ProcessHolds();
    const std::lock_guard lock(holds.mutex);
    return holds.throttlingOptOut;
}

}  // namespace tolvane::win32
