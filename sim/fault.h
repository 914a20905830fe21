// A fault to inject: strikes a given number of times, or always, with a given error number (which
// may be 0, for calls that fail without setting the last-error value).
#pragma once

#include "hid_bus.h"

#include <cstdint>

namespace tolvane::sim {

inline constexpr std::uint32_t kAlways = 0xFFFFFFFF;

struct Fault {
    SysError error = 0;
    std::uint32_t times = 0;  // strikes left; kAlways never runs out

    static Fault always(SysError error) { return Fault{error, kAlways}; }
    static Fault once(SysError error) { return Fault{error, 1}; }

    bool armed() const { return times != 0; }
    // True when the fault strikes now; uses up one strike.
    bool strike() {
        if (times == 0) return false;
        if (times != kAlways) --times;
        return true;
    }
};

}  // namespace tolvane::sim
