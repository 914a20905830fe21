/* A program of a library user, built against an installed package: it calls the functions that
 * need no device and exits with 0 when each answers as documented. */
#include <stdio.h>
#include <tolvane.h>

int main(void) {
    int faults = 0;
    uint32_t percentage = DFU_GetPercentage();
    if (percentage != DFU_PERCENTAGE_NONE) {
        printf("DFU_GetPercentage before any download: %u, expected %u\n", percentage,
               DFU_PERCENTAGE_NONE);
        ++faults;
    }
    uint32_t result = DFU_Download(NULL, 0, 0, 0);
    if (result != DFU_SUCCESS) {
        printf("DFU_Download of an empty image: 0x%08X, expected success\n", result);
        ++faults;
    }
    result = DFU_Deinitialize();
    if (result != DFU_SUCCESS) {
        printf("DFU_Deinitialize without a watcher: 0x%08X, expected success\n", result);
        ++faults;
    }
    if (faults == 0) printf("caller: the library answers\n");
    return faults == 0 ? 0 : 1;
}
