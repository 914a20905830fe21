// The one process-wide engine behind the six exports, bound to the platform of the build (or, in
// the library's demonstration build for tests, to a simulated target).
#pragma once

#include "dfu_engine.h"

#include <utility>

namespace tolvane::library {

tolvane::DfuEngine& LibraryEngine() noexcept;

// Storage whose object is never destroyed: the engine lives until the process ends and nothing
// is released at unload.
template <typename T>
union NoDestroy {
    template <typename... Args>
    explicit NoDestroy(Args&&... args) : value(std::forward<Args>(args)...) {}
    ~NoDestroy() {}
    NoDestroy(const NoDestroy&) = delete;
    NoDestroy& operator=(const NoDestroy&) = delete;
    T value;
};

}  // namespace tolvane::library
