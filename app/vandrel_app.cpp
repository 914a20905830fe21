#include "vandrel_app.h"

#include "vandrel_dlg.h"

#include <commctrl.h>

CVandrelApp theApp;

namespace {

std::wstring ModuleBaseName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"Vandrel";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0) name.resize(dot);
    return name;
}

}  // namespace

CVandrelApp::CVandrelApp() noexcept : restartManagerSupportFlags_(kRestartSupportRestart) {}

int CVandrelApp::Run() noexcept {
    try {
        appName_ = ModuleBaseName();
        StartApplication();
    } catch (...) {
        // Nothing sensible remains to be shown; the process ends.
        return 1;
    }
    return 0;
}

BOOL CVandrelApp::StartApplication() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    if ((restartManagerSupportFlags_ & kRestartSupportRestart) != 0) {
        ::RegisterApplicationRestart(nullptr, 0);
    }

    CVandrelDlg dialog;
    dialog.DoModal();
    mainWindow_ = nullptr;
    return FALSE;
}

bool CVandrelApp::PumpMessage() noexcept {
    MSG message{};
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return false;
    if (got == -1) return true;  // nothing retrieved, nothing to dispatch
    if (mainWindow_ != nullptr && ::IsDialogMessageW(mainWindow_, &message)) return true;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    return true;
}
