/* A caller as an MSVC project builds it: compiled for the MSVC target with only tolvane.h, linked
 * by an MSVC-style linker against Tolvane.lib. It is linked, never run: no C runtime is used, and
 * `entry` stands in for the runtime's start-up. */
#include "tolvane.h"

int entry(void) {
    static const uint8_t image[4] = {1, 2, 3, 4};
    uint32_t result = DFU_Initialize();
    result |= DFU_ResetToISP(0x5C3B, 0x0326);
    result |= DFU_Download(image, 0, 4, 10);
    result |= DFU_GetPercentage();
    result |= DFU_ResetToAP();
    result |= DFU_Deinitialize();
    return (int)result;
}
