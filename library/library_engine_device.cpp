// The library's engine on this build's platform: the real HID bus and system services.
#include "environment_recording.h"
#include "library_engine.h"
#include "platform.h"

namespace tolvane::library {

tolvane::DfuEngine& LibraryEngine() noexcept {
    // TOLVANE_RECORD=FILE: the engine's calls are recorded into FILE.
    static const record::EngineSeams seams = record::SeamsFromEnvironment(
        tolvane::platform::DefaultHidBus(), tolvane::platform::DefaultServices(), "libtolvane");
    static NoDestroy<tolvane::DfuEngine> engine(seams.bus, seams.services);
    return engine.value;
}

}  // namespace tolvane::library
