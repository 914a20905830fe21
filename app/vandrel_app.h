// The application object: starts the common controls, runs the main dialog modally and lets the
// process end when it closes.
#pragma once

#include <windows.h>

#include <string>

class CVandrelApp {
public:
    CVandrelApp() noexcept;
    virtual ~CVandrelApp() = default;
    CVandrelApp(const CVandrelApp&) = delete;
    CVandrelApp& operator=(const CVandrelApp&) = delete;

    // Entry from the program's main function; the process's exit status.
    int Run() noexcept;
    // Start-up: always false, so no message loop of the application's own follows.
    virtual BOOL StartApplication();

    // One message through the application: retrieves the next message, waiting for one if need
    // be; false for the quit message; otherwise offers it to the main window's dialog keyboard
    // handling and, unless that takes it, translates and dispatches it.
    bool PumpMessage() noexcept;

    // The program file's name without its extension: the caption of boxes that name no caption.
    const std::wstring& ApplicationName() const noexcept { return appName_; }
    HWND MainWindow() const noexcept { return mainWindow_; }
    void SetMainWindow(HWND window) noexcept { mainWindow_ = window; }

private:
    // Restart support only: no recovery, no auto-save.
    static constexpr DWORD kRestartSupportRestart = 1;

    DWORD restartManagerSupportFlags_ = 0;
    std::wstring appName_;
    HWND mainWindow_ = nullptr;
};

extern CVandrelApp theApp;
