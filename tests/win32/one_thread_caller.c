/* A console program that uses the library from one thread only: it initialises, switches the
 * device into its boot loader, downloads and switches back, all on the thread that owns the
 * hidden window, which never runs a message loop of its own. Run against the demonstration
 * build of the library (argv[1]), whose simulated device re-enumerates as a real one does.
 * Exits 0 when every call answered success. */
#include <stdio.h>
#include <windows.h>

#include "tolvane.h"

typedef uint32_t(TOLVANE_CALL* NoArgumentFn)(void);
typedef uint32_t(TOLVANE_CALL* ResetToIspFn)(uint32_t vid, uint32_t pid);
typedef uint32_t(TOLVANE_CALL* DownloadFn)(const uint8_t* image, uint32_t address, uint32_t size,
                                           uint32_t checksum);
typedef void (*AnyFunction)(void);

static int failures = 0;

static AnyFunction take(HMODULE module, const char* name) {
    AnyFunction function = (AnyFunction)GetProcAddress(module, name);
    if (function == NULL) {
        printf("FAILED: no export %s\n", name);
        ++failures;
    }
    return function;
}

static void expect(const char* what, uint32_t actual, uint32_t expected, DWORD startTicks) {
    printf("%s: %s = 0x%08lX after %lu ms\n", actual == expected ? "ok" : "FAILED", what,
           (unsigned long)actual, (unsigned long)(GetTickCount() - startTicks));
    if (actual != expected) {
        ++failures;
    }
}

int wmain(int argc, wchar_t** argv) {
    static uint8_t image[1000];
    uint32_t checksum = 0;
    uint32_t i;
    HMODULE module;
    DWORD start = GetTickCount();
    if (argc < 2) {
        printf("usage: one_thread_caller LIBRARY.dll\n");
        return 2;
    }
    module = LoadLibraryW(argv[1]);
    if (module == NULL) {
        printf("FAILED: LoadLibraryW: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    {
        NoArgumentFn initialize = (NoArgumentFn)take(module, "DFU_Initialize");
        ResetToIspFn resetToIsp = (ResetToIspFn)take(module, "DFU_ResetToISP");
        DownloadFn download = (DownloadFn)take(module, "DFU_Download");
        NoArgumentFn getPercentage = (NoArgumentFn)take(module, "DFU_GetPercentage");
        NoArgumentFn resetToAp = (NoArgumentFn)take(module, "DFU_ResetToAP");
        NoArgumentFn deinitialize = (NoArgumentFn)take(module, "DFU_Deinitialize");
        if (failures != 0) {
            return 1;
        }
        for (i = 0; i < sizeof image; ++i) {
            image[i] = (uint8_t)(i * 7 + 3);
            checksum += image[i];
        }
        expect("DFU_Initialize()", initialize(), DFU_SUCCESS, start);
        expect("DFU_ResetToISP(0x5C3B, 0x0326)", resetToIsp(0x5C3B, 0x0326), DFU_SUCCESS, start);
        expect("DFU_Download(image, 0, 1000, checksum)",
               download(image, 0, (uint32_t)sizeof image, checksum), DFU_SUCCESS, start);
        expect("DFU_GetPercentage()", getPercentage(), 100u, start);
        expect("DFU_ResetToAP()", resetToAp(), DFU_SUCCESS, start);
        expect("DFU_Deinitialize()", deinitialize(), DFU_SUCCESS, start);
    }
    FreeLibrary(module);
    printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
