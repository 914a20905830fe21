#include "about_dlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(HWND owner) noexcept : CDialogBase(IDD_ABOUTBOX, owner) {}
