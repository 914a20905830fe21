// The About box, opened from the main window's system menu.
#pragma once

#include "dialog_base.h"

class CAboutDlg final : public vandrel::CDialogBase {
public:
    explicit CAboutDlg(HWND owner) noexcept;
    ~CAboutDlg() override = default;
};
