#include "fine_timer_resolution.h"

#include "win32_api.h"

#include <timeapi.h>

#include <atomic>
#include <new>

namespace tolvane::win32 {
namespace {

constexpr UINT kPeriodMs = 1;
std::atomic<int> periodsHeld{0};

}  // namespace

std::unique_ptr<FineTimerResolution> FineTimerResolution::Acquire() {
    if (timeBeginPeriod(kPeriodMs) != TIMERR_NOERROR) {
        return nullptr;
    }
    try {
        return std::make_unique<FineTimerResolution>(Acquired{});
    } catch (const std::bad_alloc&) {
        timeEndPeriod(kPeriodMs);
        return nullptr;
    }
}

FineTimerResolution::FineTimerResolution(Acquired) noexcept {
    ++periodsHeld;
}

FineTimerResolution::~FineTimerResolution() {
    timeEndPeriod(kPeriodMs);
    --periodsHeld;
}

int FineTimerResolution::PeriodsHeld() noexcept {
    return periodsHeld.load();
}

}  // namespace tolvane::win32
