// A modal dialog on the plain Win32 API: the dialog procedure binds the object to its window at
// WM_INITDIALOG and routes every later message to the object's HandleMessage, whose switch is
// the class's message map, one small handler per entry.
#pragma once

#include "data_exchange.h"

#include <windows.h>

namespace vandrel {

class CDialogBase {
public:
    CDialogBase(UINT templateId, HWND parent) noexcept : templateId_(templateId), parent_(parent) {}
    virtual ~CDialogBase() = default;
    CDialogBase(const CDialogBase&) = delete;
    CDialogBase& operator=(const CDialogBase&) = delete;

    // Creates the window from the template in the program file and runs it modally; the result
    // of EndDialog, or -1 when the window could not be created.
    INT_PTR DoModal() noexcept;
    HWND GetSafeHwnd() const noexcept { return window_; }

protected:
    // The message map. Answers true when a handler took the message, with the dialog
    // procedure's result in `result`; false hands the message to the default handling below.
    virtual bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    // Default handling: data exchange towards the controls; true lets the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(const DataExchange& exchange);
    // Default OK: data exchange from the controls, then the dialog ends with IDOK.
    virtual void OnOK();
    // Default Cancel: the dialog ends with IDCANCEL.
    virtual void OnCancel();

    bool UpdateData(bool saveAndValidate);
    void EndDialog(INT_PTR result) noexcept;

private:
    // Places the window as the framework's modal dialogs open, whatever the template says.
    void CentreWindow() noexcept;
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Route(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId_;
    HWND parent_;
    HWND window_ = nullptr;
};

}  // namespace vandrel
