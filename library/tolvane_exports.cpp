// The six exports of the library, each forwarding to the one process-wide engine.
#include "library_engine.h"

// After the engine's headers: the C header's result-code macros share the engine's names.
#include "tolvane.h"

// Callers compare DFU_GetPercentage with the C header's value.
static_assert(DFU_PERCENTAGE_NONE == tolvane::PERCENTAGE_NONE);

namespace {

tolvane::DfuEngine& Engine() noexcept {
    return tolvane::library::LibraryEngine();
}

}  // namespace

extern "C" {

uint32_t TOLVANE_CALL DFU_Initialize(void) {
    return Engine().StartDeviceChangeWatcher();
}

uint32_t TOLVANE_CALL DFU_ResetToISP(uint32_t vid, uint32_t pid) {
    return Engine().ResetToIsp(vid, pid);
}

uint32_t TOLVANE_CALL DFU_Download(const uint8_t* image, uint32_t address, uint32_t size,
                                   uint32_t checksum) {
    return Engine().Download(image, address, size, checksum);
}

uint32_t TOLVANE_CALL DFU_GetPercentage(void) {
    return Engine().GetPercentage();
}

uint32_t TOLVANE_CALL DFU_ResetToAP(void) {
    return Engine().ResetToAp();
}

uint32_t TOLVANE_CALL DFU_Deinitialize(void) {
    return Engine().StopDeviceChangeWatcher();
}

}  // extern "C"
