// The library's engine on this build's platform: the real HID bus and system services.
#include "library_engine.h"
#include "platform.h"

namespace tolvane::library {

tolvane::DfuEngine& LibraryEngine() noexcept {
    static NoDestroy<tolvane::DfuEngine> engine(tolvane::platform::DefaultHidBus(),
                                                tolvane::platform::DefaultServices());
    return engine.value;
}

}  // namespace tolvane::library
