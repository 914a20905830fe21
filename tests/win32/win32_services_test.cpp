// The Windows system services under Wine beyond their contract (tests/conformance): the dialog
// itself, the records it reads, waits on the window's thread, quit, ends on other threads.
#include "win32_services.h"

#include "win32_notify_window.h"

#include "platform.h"

#include "thread_windows.h"
#include "win32_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace tolvane {
namespace {

struct SeenChange {
    std::uint32_t eventType;
    std::uint32_t deviceType;
    std::u16string name;
    DWORD thread;
};

class RecordingHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.push_back({message.eventType, message.deviceType, std::u16string(message.name),
                        GetCurrentThreadId()});
    }
    std::vector<SeenChange> seen;
};

constexpr char16_t kBootLoaderPath[] =
    u"\\\\?\\HID#Vid_5c3b&Pid_030b#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

class Win32NotifyWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<NotifyWindow> create(NotifyWindowSpec config = {}) {
        SysError error = 1;
        auto window = services.createNotifyWindow(config, handler, error);
        EXPECT_EQ(error, 0u);
        return window;
    }
    HWND hwnd(const NotifyWindow& window) { return static_cast<HWND>(window.nativeHandle()); }

    Win32Services services;
    RecordingHandler handler;
};

TEST_F(Win32NotifyWindowTest, IsAHiddenDummyDialogOfTheCallingThreadWithAnOkButton) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    HWND dialog = hwnd(*window);
    EXPECT_EQ(testing::WindowTitle(dialog), L"Dummy Dialog");
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(GetWindowThreadProcessId(dialog, nullptr), GetCurrentThreadId());
    HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(testing::WindowTitle(ok), L"OK");
    EXPECT_EQ(window->destroy(), 0u);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(Win32NotifyWindowTest, ButtonHasTheSizeTheSpecGivesInDialogUnits) {
    for (const NotifyWindowSpec config : {NotifyWindowSpec{60, 14}, NotifyWindowSpec{80, 20}}) {
        auto window = create(config);
        ASSERT_NE(window, nullptr);
        RECT expected{0, 0, config.buttonWidth, config.buttonHeight};
        ASSERT_TRUE(MapDialogRect(hwnd(*window), &expected));
        RECT actual{};
        ASSERT_TRUE(GetWindowRect(GetDlgItem(hwnd(*window), IDOK), &actual));
        EXPECT_EQ(actual.right - actual.left, expected.right - expected.left);
        EXPECT_EQ(actual.bottom - actual.top, expected.bottom - expected.top);
    }
}

TEST_F(Win32NotifyWindowTest, OkButtonAndCloseCommandDoNothing) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    HWND dialog = hwnd(*window);
    SendMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    SendMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    services.dispatchMessages(0);
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(handler.seen.empty());
}

TEST_F(Win32NotifyWindowTest, ChangeFromTheOwnerItselfWaitsForDispatch) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    window->deliverDeviceChange(kDeviceRemoveComplete, u"\\\\?\\HID#Vid_5c3b&Pid_0332#1");
    window->deliverDeviceChange(kDeviceArrival, u"");
    EXPECT_TRUE(handler.seen.empty());
    services.dispatchMessages(0);
    ASSERT_EQ(handler.seen.size(), 2u);
    EXPECT_EQ(handler.seen[0].eventType, kDeviceRemoveComplete);
    EXPECT_EQ(handler.seen[0].name, u"\\\\?\\HID#Vid_5c3b&Pid_0332#1");
    EXPECT_EQ(handler.seen[1].name, u"");
}

TEST_F(Win32NotifyWindowTest, OnlyArrivalAndRemoveCompleteReachTheHandler) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    window->deliverDeviceChange(kDeviceQueryRemove, std::u16string(kBootLoaderPath));
    window->deliverDeviceChange(0x8003 /* DBT_DEVICEREMOVEPENDING */,
                                std::u16string(kBootLoaderPath));
    services.dispatchMessages(0);
    EXPECT_TRUE(handler.seen.empty());
    // DBT_DEVNODES_CHANGED carries no record.
    SendMessageW(hwnd(*window), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    SendMessageW(hwnd(*window), WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_TRUE(handler.seen.empty());
}

TEST_F(Win32NotifyWindowTest, OtherRecordTypesArriveWithTheirTypeAndNoName) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1 << 4;
    SendMessageW(hwnd(*window), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(&volume));
    ASSERT_EQ(handler.seen.size(), 1u);
    EXPECT_EQ(handler.seen[0].deviceType, static_cast<std::uint32_t>(DBT_DEVTYP_VOLUME));
    EXPECT_EQ(handler.seen[0].name, u"");
}

TEST_F(Win32NotifyWindowTest, NameIsBoundedByTheRecordSize) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    // A record whose size covers three characters of a longer, unterminated name.
    std::vector<DWORD> storage(64, 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
    const std::size_t nameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    record->dbcc_size = static_cast<DWORD>(nameOffset + 3 * sizeof(wchar_t));
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(record->dbcc_name, L"ABCDEFGH", 8 * sizeof(wchar_t));
    SendMessageW(hwnd(*window), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                 reinterpret_cast<LPARAM>(record));
    ASSERT_EQ(handler.seen.size(), 1u);
    EXPECT_EQ(handler.seen[0].name, u"ABC");
}

TEST_F(Win32NotifyWindowTest, DestroyRefusedToAnotherThreadLeavesTheDialogUntilItsOwnerEndsIt) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    HWND dialog = hwnd(*window);
    std::thread other([&] { window->destroy(); });
    other.join();
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_EQ(window->destroy(), 0u);
    EXPECT_FALSE(IsWindow(dialog));
}

// The object given up on another thread while the owning thread is inside the procedure: the
// object's end waits for the procedure to return, and the window reaches no handler afterwards.
class SlowHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage&) override {
        entered = true;
        Sleep(100);
        returned = true;
    }
    std::atomic<bool> entered{false};
    std::atomic<bool> returned{false};
};

TEST_F(Win32NotifyWindowTest, ObjectEndedOnAnotherThreadWaitsForTheProcedureInProgress) {
    SlowHandler slow;
    SysError error = 1;
    auto window = services.createNotifyWindow({}, slow, error);
    ASSERT_NE(window, nullptr);
    HWND dialog = hwnd(*window);
    bool returnedFirst = false;
    std::thread other([&] {
        while (!slow.entered) {
            Sleep(1);
        }
        window.reset();
        returnedFirst = slow.returned;
    });
    SendMessageW(dialog, win32::kDeliverQueuedMessage, 0, 0);  // nothing queued: no handler
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    SendMessageW(dialog, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    other.join();
    EXPECT_TRUE(returnedFirst);
    ASSERT_TRUE(IsWindow(dialog));
    slow.entered = false;
    SendMessageW(dialog, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    EXPECT_FALSE(slow.entered);
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(Win32NotifyWindowTest, WindowLeftBehindByAnotherThreadNoLongerReachesTheHandler) {
    auto window = create();
    ASSERT_NE(window, nullptr);
    HWND dialog = hwnd(*window);
    std::thread other([&] { window.reset(); });
    other.join();
    ASSERT_TRUE(IsWindow(dialog));
    DEV_BROADCAST_VOLUME volume{};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    SendMessageW(dialog, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    EXPECT_TRUE(handler.seen.empty());
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST(Win32Services, DispatchReturnsWhenNothingArrives) {
    Win32Services services;
    services.dispatchMessages(10);
    EXPECT_FALSE(services.quitRequested());
}

TEST(Win32Services, QuitEndsDispatchAndIsRemembered) {
    Win32Services services;
    PostQuitMessage(3);
    services.dispatchMessages(0);
    EXPECT_TRUE(services.quitRequested());
    EXPECT_EQ(services.quitExitCode(), 3);
    MSG message{};
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

class SignallingHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage&) override {
        if (event != nullptr) {
            event->signal();
        }
    }
    AutoResetEvent* event = nullptr;
};

bool ThreadMessageQueued(UINT message) {
    MSG queued{};
    return PeekMessageW(&queued, nullptr, message, message, PM_NOREMOVE) != FALSE;
}

// One thread for everything: a wait on the window's own thread would never see the change it
// waits for unless it dispatches the thread's messages itself.
TEST(Win32AutoResetEvent, WaitOnTheWindowsOwnThreadDispatchesItsNotifications) {
    Win32Services services;
    SignallingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    ASSERT_NE(window, nullptr);
    auto event = services.createEvent(error);
    ASSERT_NE(event, nullptr);
    handler.event = event.get();

    std::thread other([&] {
        Sleep(50);
        window->deliverDeviceChange(kDeviceArrival, kBootLoaderPath);
    });
    EXPECT_EQ(event->wait(10000), WaitResult::Signaled);
    other.join();
    EXPECT_EQ(event->wait(0), WaitResult::TimedOut);
    EXPECT_EQ(window->destroy(), 0u);

    // Without a window the thread's messages are left to its own loop.
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, 0, 0);
    EXPECT_EQ(event->wait(20), WaitResult::TimedOut);
    EXPECT_TRUE(ThreadMessageQueued(WM_APP + 7));
    MSG message{};
    PeekMessageW(&message, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE);
}

TEST(Win32AutoResetEvent, WaitOnAThreadWithoutTheWindowDispatchesNothing) {
    Win32Services services;
    RecordingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    ASSERT_NE(window, nullptr);
    std::thread other([&] {
        SysError otherError = 0;
        auto event = services.createEvent(otherError);
        PostThreadMessageW(GetCurrentThreadId(), WM_APP + 8, 0, 0);
        EXPECT_EQ(event->wait(20), WaitResult::TimedOut);
        EXPECT_TRUE(ThreadMessageQueued(WM_APP + 8));
    });
    other.join();
    EXPECT_EQ(window->destroy(), 0u);
}

// WM_QUIT is the thread's loop's business: the wait does not end for it, and it is still queued
// afterwards.
TEST(Win32AutoResetEvent, QuitIsLeftToTheThreadsOwnLoop) {
    Win32Services services;
    RecordingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    ASSERT_NE(window, nullptr);
    auto event = services.createEvent(error);
    PostQuitMessage(7);
    EXPECT_EQ(event->wait(50), WaitResult::TimedOut);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
    EXPECT_EQ(window->destroy(), 0u);
}

// The host program's own window, counting the messages its procedure receives.
int hostMessagesHandled = 0;
LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 9) {
        ++hostMessagesHandled;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A reset waiting on the window's own thread: the arrival reaches the notify window, but a click
// the host has queued (a message posted to its own window) is not handled inside the wait.
TEST(Win32AutoResetEvent, WaitOnTheWindowsThreadRunsNoHostHandlerButSeesTheArrival) {
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = &HostWindowProc;
    hostClass.hInstance = GetModuleHandleW(nullptr);
    hostClass.lpszClassName = L"TolvaneTestHost";
    RegisterClassW(&hostClass);
    HWND host = CreateWindowExW(0, L"TolvaneTestHost", L"host", 0, 0, 0, 10, 10, nullptr, nullptr,
                                hostClass.hInstance, nullptr);
    ASSERT_NE(host, nullptr);

    Win32Services services;
    SignallingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    ASSERT_NE(window, nullptr);
    auto event = services.createEvent(error);
    ASSERT_NE(event, nullptr);
    handler.event = event.get();

    hostMessagesHandled = 0;
    PostMessageW(host, WM_APP + 9, 0, 0);
    std::thread other([&] {
        Sleep(50);
        window->deliverDeviceChange(kDeviceArrival, kBootLoaderPath);
    });
    EXPECT_EQ(event->wait(10000), WaitResult::Signaled);
    other.join();
    EXPECT_EQ(hostMessagesHandled, 0);

    // The host's loop handles it afterwards.
    services.dispatchMessages(0);
    EXPECT_EQ(hostMessagesHandled, 1);
    EXPECT_EQ(window->destroy(), 0u);
    DestroyWindow(host);
}

TEST(SystemErrorText, IsTheSystemsOwnMessageWithoutItsEnding) {
    EXPECT_EQ(platform::SystemErrorText(ERROR_DEVICE_NOT_CONNECTED), "The device is not connected");
    const std::string aborted = platform::SystemErrorText(ERROR_OPERATION_ABORTED);
    ASSERT_FALSE(aborted.empty());
    EXPECT_NE(aborted.back(), '.');
    EXPECT_NE(aborted.back(), '\n');
    // A number the system has no text for still gets one.
    EXPECT_FALSE(platform::SystemErrorText(0xE0001234).empty());
    // A thread whose transfers all ended in time has nothing to add to a number.
    std::string detail = "unset";
    std::thread fresh([&] { detail = platform::LastNativeErrorDetail(); });
    fresh.join();
    EXPECT_EQ(detail, "");
}

}  // namespace
}  // namespace tolvane
