// The Update Target handler's guard over its worker: on a way out by exception the worker is
// resumed if need be, kept supplied with dispatched messages until it ends, and waited for; pane 0
// is emptied and Exit enabled again.
#include "worker_attendance.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>

namespace vandrel {
namespace {

constexpr UINT kNotify = WM_APP + 1;
constexpr UINT kStatusBarId = 0xE801;

std::atomic<std::uint32_t> g_running{0};
HANDLE g_notified = nullptr;  // set by the window procedure when it receives kNotify
HWND g_window = nullptr;

LRESULT CALLBACK NotifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kNotify) {
        ::SetEvent(g_notified);
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// A worker like the update's: it asks for a notification that only the interface thread's
// dispatching delivers, waits for it as a reset waits for the watcher, and clears the run flag.
DWORD WINAPI WaitingWorker(LPVOID) {
    if (g_running.load() == 0) return 100;  // ended at once, as the update's worker does
    ::PostMessageW(g_window, kNotify, 0, 0);
    const DWORD waited = ::WaitForSingleObject(g_notified, 5000);
    g_running.store(0);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}

class WorkerAttendanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&controls);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &NotifyProc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"WorkerAttendanceTest";
        ::RegisterClassW(&windowClass);
        g_window = ::CreateWindowExW(0, L"WorkerAttendanceTest", L"", WS_OVERLAPPEDWINDOW, 0, 0,
                                     300, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
        ASSERT_NE(g_window, nullptr);
        exitButton = ::CreateWindowExW(0, L"BUTTON", L"Exit", WS_CHILD | WS_DISABLED, 0, 0, 50, 20,
                                       g_window, nullptr, windowClass.hInstance, nullptr);
        ASSERT_TRUE(statusBar.Create(g_window, 0x50008200, kStatusBarId));
        const UINT panes[] = {101, 102};
        statusBar.SetIndicators(panes, 2);
        statusBar.SetPaneText(0, L"Update Percentage = 42%");
        g_notified = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        ASSERT_NE(g_notified, nullptr);
    }
    void TearDown() override {
        if (worker != nullptr) ::CloseHandle(worker);
        ::CloseHandle(g_notified);
        ::DestroyWindow(g_window);
    }

    HANDLE StartSuspended() {
        worker = ::CreateThread(nullptr, 0, &WaitingWorker, nullptr, CREATE_SUSPENDED, nullptr);
        EXPECT_NE(worker, nullptr);
        return worker;
    }
    // A failed text allocation inside the attended part of the handler.
    void FailInsideAttendance() {
        try {
            WorkerAttendance attendance(worker, g_running, exitButton, statusBar);
            throw std::bad_alloc();
        } catch (const std::bad_alloc&) {
        }
    }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        ::GetExitCodeThread(worker, &code);
        return code;
    }
    std::wstring PaneText() const {
        wchar_t text[64] = {};
        ::SendMessageW(::GetDlgItem(g_window, static_cast<int>(kStatusBarId)), SB_GETTEXTW, 0,
                       reinterpret_cast<LPARAM>(text));
        return text;
    }

    HWND exitButton = nullptr;
    StatusBar statusBar;
    HANDLE worker = nullptr;
};

TEST_F(WorkerAttendanceTest, ARunningWorkerKeepsGettingItsNotificationsAndIsWaitedFor) {
    StartSuspended();
    g_running.store(1);
    ::ResumeThread(worker);
    FailInsideAttendance();
    EXPECT_EQ(::WaitForSingleObject(worker, 0), WAIT_OBJECT_0) << "the worker was left running";
    EXPECT_EQ(ExitCode(), 0u) << "the worker's wait ran out: nobody dispatched its notification";
    EXPECT_EQ(g_running.load(), 0u);
    EXPECT_TRUE(::IsWindowEnabled(exitButton));
    EXPECT_EQ(PaneText(), L"");
}

TEST_F(WorkerAttendanceTest, AWorkerStillSuspendedIsResumedAndEndsAtOnce) {
    StartSuspended();
    g_running.store(0);
    FailInsideAttendance();
    EXPECT_EQ(::WaitForSingleObject(worker, 0), WAIT_OBJECT_0) << "the worker was left suspended";
    EXPECT_EQ(ExitCode(), 100u);
    EXPECT_TRUE(::IsWindowEnabled(exitButton));
    EXPECT_EQ(PaneText(), L"");
}

TEST_F(WorkerAttendanceTest, ADismissedGuardLeavesEverythingToTheNormalPath) {
    StartSuspended();
    g_running.store(0);
    {
        WorkerAttendance attendance(worker, g_running, exitButton, statusBar);
        attendance.Dismiss();
    }
    EXPECT_EQ(::WaitForSingleObject(worker, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(::IsWindowEnabled(exitButton));
    EXPECT_EQ(PaneText(), L"Update Percentage = 42%");
    ::ResumeThread(worker);
    EXPECT_EQ(::WaitForSingleObject(worker, 5000), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace vandrel
