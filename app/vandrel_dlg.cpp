#include "vandrel_dlg.h"

#include "about_dlg.h"
#include "binary_resource.h"
#include "dfu_engine.h"
#include "hex_identifier.h"
#include "program_engine.h"
#include "resource.h"
#include "update_job.h"
#include "vandrel_app.h"
#include "wide_text.h"
#include "win_handles.h"

#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <new>

using vandrel::g_updateJob;

namespace {

// Style of the status bar: child, visible, and the bar bits for the bottom with a top border.
constexpr DWORD kStatusBarStyle = 0x50008200;
constexpr int kVersionPaneWidth = 100;
constexpr int kStatusBarMinHeight = 26;
constexpr int kIdentifierTextLimit = 6;  // "0x" and four digits
constexpr wchar_t kVersionText[] = L"2.4.0.0";

}  // namespace

CVandrelDlg::CVandrelDlg() noexcept
    : CDialogBase(IDD_MAIN, nullptr),
      icon_(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))) {}

CVandrelDlg::~CVandrelDlg() {
    ReleaseImage();
}

bool CVandrelDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != IDM_ABOUTBOX) return false;  // default system commands
            HandleSysCommand(static_cast<UINT>(wParam), lParam);
            result = TRUE;
            return true;
        case WM_PAINT:
            if (!PaintMainDialog()) return false;  // not minimised: the dialog's own painting
            result = TRUE;
            return true;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<INT_PTR>(QueryDragIcon());
            return true;
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED) return false;
            if (LOWORD(wParam) == IDC_UPDATE_TARGET) {
                OnUpdateTarget();
                result = TRUE;
                return true;
            }
            if (LOWORD(wParam) == IDC_EXIT) {
                OnExit();
                result = TRUE;
                return true;
            }
            return false;
        case WM_DESTROY:
            DestroyMainDialog();
            return false;
        default:
            return false;
    }
}

BOOL CVandrelDlg::OnInitDialog() {
    return InitMainDialog();
}

void CVandrelDlg::DoDataExchange(const vandrel::DataExchange& exchange) {
    ExchangeIdentifierTexts(exchange);
}

void CVandrelDlg::ExchangeIdentifierTexts(const vandrel::DataExchange& exchange) {
    exchange.Text(IDC_VID, vidText_);
    exchange.Text(IDC_PID, pidText_);
}

BOOL CVandrelDlg::InitMainDialog() {
    CDialogBase::OnInitDialog();
    theApp.SetMainWindow(GetSafeHwnd());

    if (HMENU systemMenu = ::GetSystemMenu(GetSafeHwnd(), FALSE); systemMenu != nullptr) {
        // Length 0 asks for a read-only pointer into the resource, bounded by the returned length.
        const wchar_t* text = nullptr;
        const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUTBOX,
                                         reinterpret_cast<LPWSTR>(&text), 0);
        if (length > 0 && text != nullptr) {
            const std::wstring about(text, static_cast<std::size_t>(length));
            ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }

    ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageW(GetSafeHwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));

    vandrel::ProgramEngine().StartProgramDeviceChangeWatcher();

    SetupDialog();
    return TRUE;  // the system gives the focus to the first tab stop, the Update button
}

void CVandrelDlg::SetupDialog() {
    SetupStatusBar();
    SetupCustomization();
}

void CVandrelDlg::SetupStatusBar() {
    statusBar_.Create(GetSafeHwnd(), kStatusBarStyle, IDC_STATUS_BAR);
    static constexpr UINT kPanes[] = {ID_PANE_MESSAGE, ID_PANE_VERSION};
    statusBar_.SetIndicators(kPanes, 2);  // no string 102: that pane starts empty

    RECT client{};
    ::GetClientRect(GetSafeHwnd(), &client);
    statusBar_.SetPaneInfo(0, ID_PANE_MESSAGE, 0, client.right - client.left - kVersionPaneWidth);
    statusBar_.SetPaneInfo(1, ID_PANE_VERSION, vandrel::StatusBar::kPaneStretch, 0);
    statusBar_.SetMinHeight(kStatusBarMinHeight);
    statusBar_.RepositionInParent();

    statusBar_.SetPaneText(0, L"", true);
    statusBar_.SetPaneText(1, kVersionText, true);
}

void CVandrelDlg::SetupCustomization() {
    HWND window = GetSafeHwnd();
    ::SendDlgItemMessageW(window, IDC_VID, EM_LIMITTEXT, kIdentifierTextLimit, 0);
    ::SendDlgItemMessageW(window, IDC_PID, EM_LIMITTEXT, kIdentifierTextLimit, 0);

    vidText_ = L"0x" + vandrel::BinaryResourceText(IDR_DEFAULT_VID);
    g_updateJob.vid = vandrel::ParseHexIdentifier(tolvane::win32::FromWide(vidText_));
    pidText_ = L"0x" + vandrel::BinaryResourceText(IDR_DEFAULT_PID);
    g_updateJob.pid = vandrel::ParseHexIdentifier(tolvane::win32::FromWide(pidText_));

    ::SetWindowTextW(window, vandrel::BinaryResourceText(IDR_TITLE_TEXT).c_str());
    ::SetDlgItemTextW(window, IDC_MESSAGE, vandrel::BinaryResourceText(IDR_MESSAGE_TEXT).c_str());
    ::SetDlgItemTextW(window, IDC_EXIT, vandrel::BinaryResourceText(IDR_EXIT_TEXT).c_str());
    ::SetDlgItemTextW(window, IDC_UPDATE_TARGET,
                      vandrel::BinaryResourceText(IDR_UPDATE_TEXT).c_str());
    ::SetDlgItemTextW(window, IDC_HID_GROUP, vandrel::BinaryResourceText(IDR_GROUP_TEXT).c_str());

    LoadFirmwareImage();
    UpdateData(false);
}

void CVandrelDlg::LoadFirmwareImage() {
    const auto image = vandrel::BinaryResource(IDR_FIRMWARE);
    if (image.empty()) return;  // size 0, no image, checksum 0
    // The size field of UpdateJob has 32 bits; a resource cannot be larger.
    const auto size = static_cast<std::uint32_t>(image.size());
    std::unique_ptr<std::uint8_t[]> buffer;
    try {
        buffer = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
        return;  // no memory: the program behaves as without an image
    }
    std::copy(image.begin(), image.end(), buffer.get());
    imageBuffer_ = std::move(buffer);
    g_updateJob.size = size;
    g_updateJob.image = imageBuffer_.get();
    g_updateJob.checksum = 0;
    g_updateJob.checksum = tolvane::ImageChecksum(imageBuffer_.get(), size);
}

void CVandrelDlg::HandleSysCommand(UINT, LPARAM) {
    CAboutDlg about(GetSafeHwnd());
    about.DoModal();
}

bool CVandrelDlg::PaintMainDialog() {
    HWND window = GetSafeHwnd();
    if (!::IsIconic(window)) return false;  // the system's ordinary dialog painting
    vandrel::PaintContext paint(window);
    ::SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.dc()), 0);
    const int cx = ::GetSystemMetrics(SM_CXICON);
    const int cy = ::GetSystemMetrics(SM_CYICON);
    RECT client{};
    ::GetClientRect(window, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    // Signed division truncating toward zero: width 0 with a 32-pixel icon gives -15.
    ::DrawIcon(paint.dc(), (w - cx + 1) / 2, (h - cy + 1) / 2, icon_);
    return true;
}

HCURSOR CVandrelDlg::QueryDragIcon() const noexcept {
    return static_cast<HCURSOR>(icon_);
}

void CVandrelDlg::OnExit() {
    // Exit is disabled while an update runs, so the worker never loses the image it reads.
    if (vandrel::UpdateRunning.load() != 0) return;
    ReleaseImage();
    OnOK();
}

void CVandrelDlg::DestroyMainDialog() {
    vandrel::ProgramEngine().StopProgramDeviceChangeWatcher();
    ReleaseImage();
    theApp.SetMainWindow(nullptr);
}

void CVandrelDlg::ReleaseImage() noexcept {
    g_updateJob.image = nullptr;
    imageBuffer_.reset();
}
