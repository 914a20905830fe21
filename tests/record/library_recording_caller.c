/* A C program linked against the library, run with TOLVANE_RECORD set by its test: it looks for a
   device that is not there, and the library leaves a recording of the search. */
#include "tolvane.h"

#include <stdio.h>

int main(void) {
    const uint32_t started = DFU_Initialize();
    const uint32_t reset = DFU_ResetToISP(0x5C3B, 0x1234);
    const uint32_t stopped = DFU_Deinitialize();
    printf("initialize %u, reset %u, deinitialize %u\n", (unsigned)started, (unsigned)reset,
           (unsigned)stopped);
    return reset == DFU_ERR_NOT_FOUND ? 0 : 1;
}
