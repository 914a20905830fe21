/* A library user's whole update through libtolvane.so: the six calls in their documented order,
 * against whatever device answers 5C3B:0326. Usage: six_calls IMAGE. Exits 0 when every call
 * answered as documented, else 1 (or 2 when the image cannot be read). */
#include <stdio.h>
#include <stdlib.h>
#include <tolvane.h>

static int Check(const char* call, uint32_t result, uint32_t allowed) {
    printf("%s: 0x%08X\n", call, result);
    return result == DFU_SUCCESS || (allowed != DFU_SUCCESS && result == allowed) ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: six_calls IMAGE\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (file == NULL) return 2;
    static uint8_t image[1 << 20];
    const size_t size = fread(image, 1, sizeof image, file);
    fclose(file);
    uint32_t checksum = 0;
    for (size_t i = 0; i < size; ++i) checksum += image[i];

    int faults = Check("DFU_Initialize", DFU_Initialize(), DFU_SUCCESS);
    faults += Check("DFU_ResetToISP", DFU_ResetToISP(0x5C3B, 0x0326), DFU_ALREADY_IN_DFU);
    if (faults == 0) {
        faults += Check("DFU_Download", DFU_Download(image, 0, (uint32_t)size, checksum & 0xFFFF),
                        DFU_SUCCESS);
        const uint32_t percentage = DFU_GetPercentage();
        printf("DFU_GetPercentage: %u\n", percentage);
        faults += percentage == 100 ? 0 : 1;
        faults += Check("DFU_ResetToAP", DFU_ResetToAP(), DFU_SUCCESS);
    }
    faults += Check("DFU_Deinitialize", DFU_Deinitialize(), DFU_SUCCESS);
    return faults == 0 ? 0 : 1;
}
