/* A C program that uses Tolvane.dll as a third party would: loaded with LoadLibraryW, the six
 * functions taken with GetProcAddress through stdcall pointer types. Exits 0 when every call
 * answered as expected on a machine without our devices; prints each mismatch. */
#include <stdio.h>
#include <windows.h>

#include "tolvane.h"

typedef uint32_t(TOLVANE_CALL* InitializeFn)(void);
typedef uint32_t(TOLVANE_CALL* ResetToIspFn)(uint32_t vid, uint32_t pid);
typedef uint32_t(TOLVANE_CALL* DownloadFn)(const uint8_t* image, uint32_t address, uint32_t size,
                                           uint32_t checksum);
typedef uint32_t(TOLVANE_CALL* GetPercentageFn)(void);
typedef uint32_t(TOLVANE_CALL* ResetToApFn)(void);
typedef uint32_t(TOLVANE_CALL* DeinitializeFn)(void);

static int failures = 0;

static void expect(const char* what, uint32_t actual, uint32_t expected) {
    if (actual != expected) {
        printf("FAILED: %s answered 0x%08lX, expected 0x%08lX\n", what, (unsigned long)actual,
               (unsigned long)expected);
        ++failures;
    } else {
        printf("ok: %s = 0x%08lX\n", what, (unsigned long)actual);
    }
}

/* GetProcAddress's FARPROC goes through the generic function pointer type first. */
typedef void (*AnyFunction)(void);
static AnyFunction take(HMODULE module, const char* name) {
    AnyFunction function = (AnyFunction)GetProcAddress(module, name);
    if (function == NULL) {
        printf("FAILED: Tolvane.dll exports no %s\n", name);
        ++failures;
    }
    return function;
}

int main(void) {
    HMODULE module = LoadLibraryW(L"Tolvane.dll");
    if (module == NULL) {
        printf("FAILED: LoadLibraryW(Tolvane.dll): error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    InitializeFn initialize = (InitializeFn)take(module, "DFU_Initialize");
    ResetToIspFn resetToIsp = (ResetToIspFn)take(module, "DFU_ResetToISP");
    DownloadFn download = (DownloadFn)take(module, "DFU_Download");
    GetPercentageFn getPercentage = (GetPercentageFn)take(module, "DFU_GetPercentage");
    ResetToApFn resetToAp = (ResetToApFn)take(module, "DFU_ResetToAP");
    DeinitializeFn deinitialize = (DeinitializeFn)take(module, "DFU_Deinitialize");
    if (failures != 0) {
        return 1;
    }

    expect("DFU_GetPercentage() first", getPercentage(), DFU_PERCENTAGE_NONE);
    expect("DFU_Initialize()", initialize(), DFU_SUCCESS);
    expect("DFU_Initialize() again", initialize(), DFU_SUCCESS);
    expect("DFU_ResetToISP(0x1234, 0x5678)", resetToIsp(0x1234, 0x5678), DFU_ERR_NOT_FOUND);
    expect("DFU_ResetToAP()", resetToAp(), DFU_ERR_NOT_FOUND);
    {
        static const uint8_t image[4] = {1, 2, 3, 4};
        expect("DFU_Download(image, 0, 0, 10)", download(image, 0, 0, 10), DFU_SUCCESS);
    }
    expect("DFU_GetPercentage()", getPercentage(), DFU_PERCENTAGE_NONE);
    expect("DFU_Deinitialize()", deinitialize(), DFU_SUCCESS);
    expect("DFU_Deinitialize() again", deinitialize(), DFU_SUCCESS);

    FreeLibrary(module);
    printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
