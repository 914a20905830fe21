#include "dialog_base.h"

#include "window_placement.h"

namespace vandrel {

INT_PTR CDialogBase::DoModal() noexcept {
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_), parent_,
                             &CDialogBase::DialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogBase*>(lParam);
        self->window_ = window;
        ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;  // messages before WM_INITDIALOG, such as WM_SETFONT
    INT_PTR result = FALSE;
    try {
        result = self->Route(message, wParam, lParam);
    } catch (...) {
        // No exception may cross the system's dialog manager; the message counts as unhandled.
        result = FALSE;
    }
    if (message == WM_INITDIALOG) self->CentreWindow();
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
    }
    return result;
}

INT_PTR CDialogBase::Route(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    if (HandleMessage(message, wParam, lParam, result)) return result;
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED || lParam == 0) {
                if (LOWORD(wParam) == IDOK) {
                    OnOK();
                    return TRUE;
                }
                if (LOWORD(wParam) == IDCANCEL) {
                    OnCancel();
                    return TRUE;
                }
            }
            return FALSE;
        default:
            return FALSE;
    }
}

void CDialogBase::CentreWindow() noexcept {
    const auto toScreenRect = [](const RECT& rect) {
        return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
    };
    RECT window{};
    if (!::GetWindowRect(window_, &window)) return;
    // An owned dialog opens over its owner, an unowned one in the work area of its monitor.
    HWND owner = ::GetWindow(window_, GW_OWNER);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(
            ::MonitorFromWindow(owner != nullptr ? owner : window_, MONITOR_DEFAULTTONEAREST),
            &monitor)) {
        return;
    }
    RECT over = monitor.rcWork;
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
        ::GetWindowRect(owner, &over);
    }
    const ScreenPoint origin =
        CentredOrigin(toScreenRect(window), toScreenRect(over), toScreenRect(monitor.rcWork));
    ::SetWindowPos(window_, nullptr, origin.x, origin.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CDialogBase::HandleMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

BOOL CDialogBase::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialogBase::DoDataExchange(const DataExchange&) {}

void CDialogBase::OnOK() {
    if (UpdateData(true)) EndDialog(IDOK);
}

void CDialogBase::OnCancel() {
    EndDialog(IDCANCEL);
}

bool CDialogBase::UpdateData(bool saveAndValidate) {
    DoDataExchange(DataExchange(window_, saveAndValidate));
    return true;
}

void CDialogBase::EndDialog(INT_PTR result) noexcept {
    if (window_ != nullptr) ::EndDialog(window_, result);
}

}  // namespace vandrel
