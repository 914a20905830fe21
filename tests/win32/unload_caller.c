/* A careless caller: it loads the library, starts the watcher and unloads the library without
 * stopping it. The hidden window lives on, so its code must stay loaded: a message sent to the
 * window afterwards must not crash the process. Loading the library again and stopping the
 * watcher on the owning thread then lets the module go. Exits 0 when all went as expected. */
#include <stdio.h>
#include <windows.h>

/* After windows.h, whose types it uses. */
#include <dbt.h>

#include "tolvane.h"

typedef uint32_t(TOLVANE_CALL* NoArgumentFn)(void);

static int failures = 0;

static void check(int condition, const char* what) {
    printf("%s: %s\n", condition ? "ok" : "FAILED", what);
    if (!condition) {
        ++failures;
    }
}

static BOOL CALLBACK FindDummyDialog(HWND window, LPARAM result) {
    wchar_t title[64] = {0};
    GetWindowTextW(window, title, 64);
    if (lstrcmpW(title, L"Dummy Dialog") == 0) {
        *(HWND*)result = window;
        return FALSE;
    }
    return TRUE;
}

static HWND ThreadDummyDialog(void) {
    HWND found = NULL;
    EnumThreadWindows(GetCurrentThreadId(), FindDummyDialog, (LPARAM)&found);
    return found;
}

static NoArgumentFn take(HMODULE module, const char* name) {
    return (NoArgumentFn)(void (*)(void))GetProcAddress(module, name);
}

int main(void) {
    static const wchar_t path[] =
        L"\\\\?\\HID#Vid_5c3b&Pid_030b#7&1&0&0000#"
        L"{4d1e55b2-f16f-11cf-88cb-001111000030}";
    struct {
        DEV_BROADCAST_DEVICEINTERFACE_W header;
        wchar_t rest[sizeof path / sizeof path[0]];
    } record;
    HWND window;
    MSG message;
    HMODULE module = LoadLibraryW(L"Tolvane.dll");
    if (module == NULL) {
        printf("FAILED: LoadLibraryW: error %lu\n", (unsigned long)GetLastError());
        return 1;
    }
    check(take(module, "DFU_Initialize")() == DFU_SUCCESS, "DFU_Initialize()");
    check(FreeLibrary(module) != 0, "FreeLibrary without DFU_Deinitialize");
    check(GetModuleHandleW(L"Tolvane.dll") != NULL, "the module stays loaded for its window");
    window = ThreadDummyDialog();
    check(window != NULL, "the hidden window still exists");

    ZeroMemory(&record, sizeof record);
    record.header.dbcc_size = (DWORD)sizeof record;
    record.header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    CopyMemory(record.header.dbcc_name, path, sizeof path);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)&record);
    SendMessageW(window, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, (LPARAM)&record);
    SendMessageW(window, WM_COMMAND, IDOK, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
    check(IsWindow(window), "messages to the window were handled");

    module = LoadLibraryW(L"Tolvane.dll");
    check(module != NULL, "LoadLibraryW again");
    check(take(module, "DFU_Deinitialize")() == DFU_SUCCESS, "DFU_Deinitialize() on the owner");
    check(!IsWindow(window), "the window is gone");
    FreeLibrary(module);
    check(GetModuleHandleW(L"Tolvane.dll") == NULL, "the module is unloaded after the stop");
    printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
