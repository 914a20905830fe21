/* Tells whether a new program can make a top-level window in this Wine session: creates one hidden
 * window, destroys it, and exits 0, or prints the error and exits 1.
 *
 * Wine starts its session's desktop process (explorer.exe /desktop) when a program first needs
 * the desktop, and that program waits at most 10 s for it. When the desktop process is later than
 * that, the program is given no display driver for the rest of its life: every top-level window it
 * makes fails (a dialog with 1400), and trying again in the same process fails as well. A program
 * started once the desktop process is ready works. A test script therefore runs this probe, one
 * process per attempt, until it succeeds before it starts the programs it tests.
 *
 * "first_window_probe.exe MS" tries a second time MS milliseconds after a failure, in the same
 * process, to show that the failure stays. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static int TryWindow(void) {
    const DWORD start = GetTickCount();
    HWND window = CreateWindowExW(0, L"STATIC", L"first window probe", WS_POPUP, 0, 0, 10, 10, NULL,
                                  NULL, NULL, NULL);
    const DWORD error = GetLastError();
    const DWORD elapsed = GetTickCount() - start;
    if (window == NULL) {
        printf("first window: failed with error %lu after %lu ms\n", (unsigned long)error,
               (unsigned long)elapsed);
        return 0;
    }
    printf("first window: created after %lu ms\n", (unsigned long)elapsed);
    DestroyWindow(window);
    return 1;
}

int main(int argc, char** argv) {
    int created = TryWindow();
    if (!created && argc > 1) {
        Sleep((DWORD)strtoul(argv[1], NULL, 10));
        created = TryWindow();
    }
    fflush(stdout);
    return created ? 0 : 1;
}
