#include "target_program.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <utility>

namespace gui {
namespace {

using namespace std::chrono_literals;

constexpr UINT kReplyLimitMs = 5000;

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

struct ThreadWindows {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    reinterpret_cast<ThreadWindows*>(parameter)->windows.push_back(window);
    return TRUE;
}

// Memory inside the program's process, released on every path.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, std::size_t size) : process_(process) {
        address_ = ::VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
        Expect(address_ != nullptr, "VirtualAllocEx failed: " + std::to_string(::GetLastError()));
    }
    ~RemoteMemory() { ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    void* address() const noexcept { return address_; }
    void read(void* into, std::size_t size) const {
        SIZE_T done = 0;
        Expect(::ReadProcessMemory(process_, address_, into, size, &done) && done == size,
               "ReadProcessMemory failed");
    }

private:
    HANDLE process_;
    void* address_ = nullptr;
};

}  // namespace

namespace {
void (*g_failureHook)() = nullptr;
}  // namespace

void SetFailureHook(void (*hook)()) {
    g_failureHook = hook;
}

void Fail(const std::string& what) {
    if (auto hook = std::exchange(g_failureHook, nullptr)) {
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
        hook();
    }
    throw DriverFailure(what);
}

void Expect(bool condition, const std::string& what) {
    if (!condition) Fail(what);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<COLORREF> ScreenPixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<COLORREF> pixels;
    if (width <= 0 || height <= 0) return pixels;
    HDC screen = ::GetDC(nullptr);
    HDC memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    ::SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    ::GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return pixels;
}

// The pixels of `area` once they are drawn: on a busy machine a box appears before its icon, so
// the area is read until it holds more than one colour and stays the same for 300 ms (at most
// 10 s).
std::vector<COLORREF> SettledPixels(const RECT& area) {
    std::vector<COLORREF> previous;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(300ms);
        std::vector<COLORREF> now = ScreenPixels(area);
        const bool drawn =
            std::adjacent_find(now.begin(), now.end(), std::not_equal_to<>()) != now.end();
        if (drawn && now == previous) return now;
        previous = std::move(now);
    }
    return previous;
}

std::vector<COLORREF> StandardIconPixels(UINT iconType) {
    std::atomic<DWORD> boxThread{0};
    std::thread box([iconType, &boxThread] {
        boxThread = ::GetCurrentThreadId();
        ::MessageBoxW(nullptr, L"icon reference", L"icon reference", MB_OK | iconType);
    });
    std::vector<COLORREF> pixels;
    HWND found = nullptr;
    for (int i = 0; i < 500 && found == nullptr; ++i) {
        std::this_thread::sleep_for(10ms);
        ThreadWindows windows;
        if (boxThread != 0) {
            ::EnumThreadWindows(boxThread, &CollectWindow, reinterpret_cast<LPARAM>(&windows));
        }
        for (HWND window : windows.windows) {
            if (ClassName(window) == L"#32770" && ::IsWindowVisible(window)) found = window;
        }
    }
    if (found != nullptr) {
        for (HWND child = ::GetWindow(found, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            const LONG style = ::GetWindowLongW(child, GWL_STYLE);
            if (ClassName(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                ::IsWindowVisible(child)) {
                RECT area{};
                ::GetWindowRect(child, &area);
                pixels = SettledPixels(area);
                break;
            }
        }
        ::PostMessageW(found, WM_COMMAND, IDOK, 0);
    } else if (boxThread != 0) {
        ::PostThreadMessageW(boxThread, WM_QUIT, 0, 0);  // ends the box's own loop
    }
    box.join();
    return pixels;
}

TargetProgram::TargetProgram(const std::wstring& path, std::chrono::milliseconds startLimit,
                             const std::wstring& arguments) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + path + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    Expect(::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process_),
           "cannot start " + Narrow(path) + ": error " + std::to_string(::GetLastError()));
    const auto deadline = std::chrono::steady_clock::now() + startLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        ThreadWindows found;
        ::EnumThreadWindows(process_.dwThreadId, &CollectWindow, reinterpret_cast<LPARAM>(&found));
        for (HWND window : found.windows) {
            // The main dialog: visible, and the parent of the status bar.
            if (ClassName(window) == L"#32770" && ::IsWindowVisible(window) &&
                ::GetDlgItem(window, 1000) != nullptr && ::GetDlgItem(window, 0xE801) != nullptr) {
                main_ = window;
                // Until its loop has once found no message, a dialog may still be shown anew,
                // which would undo a minimise or a move sent before (bounded; no failure).
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                ::WaitForInputIdle(process_.hProcess,
                                   static_cast<DWORD>(std::max<long long>(left.count(), 0)));
                return;
            }
        }
        DWORD code = 0;
        if (::GetExitCodeProcess(process_.hProcess, &code) && code != STILL_ACTIVE) {
            Fail("the program ended before showing its window, exit code " + std::to_string(code));
        }
        std::this_thread::sleep_for(50ms);
    }
    Fail("the main window did not appear");
}

TargetProgram::~TargetProgram() {
    if (process_.hProcess != nullptr) {
        if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.hProcess, 1);
            ::WaitForSingleObject(process_.hProcess, 5000);
        }
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }
}

HWND TargetProgram::control(int id) const {
    HWND window = ::GetDlgItem(main_, id);
    Expect(window != nullptr, "no control " + std::to_string(id));
    return window;
}

std::wstring TargetProgram::text(HWND window) const {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    Expect(::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                                 SMTO_ABORTIFHUNG, kReplyLimitMs, &copied) != 0,
           "the program did not answer WM_GETTEXT");
    return std::wstring(buffer, copied);
}

HWND TargetProgram::statusBar() const {
    HWND bar = control(0xE801);
    Expect(ClassName(bar) == STATUSCLASSNAMEW, "child 0xE801 is not a status bar");
    return bar;
}

std::wstring TargetProgram::paneText(int pane) const {
    HWND bar = statusBar();
    RemoteMemory memory(process_.hProcess, 2048);
    DWORD_PTR result = 0;
    Expect(::SendMessageTimeoutW(bar, SB_GETTEXTW, static_cast<WPARAM>(pane),
                                 reinterpret_cast<LPARAM>(memory.address()), SMTO_ABORTIFHUNG,
                                 kReplyLimitMs, &result) != 0,
           "the program did not answer SB_GETTEXT");
    const std::size_t length = LOWORD(result);
    std::wstring text(length, L'\0');
    if (length > 0) memory.read(text.data(), length * sizeof(wchar_t));
    return text;
}

std::vector<int> TargetProgram::paneEdges() const {
    HWND bar = statusBar();
    RemoteMemory memory(process_.hProcess, 64 * sizeof(int));
    DWORD_PTR count = 0;
    Expect(::SendMessageTimeoutW(bar, SB_GETPARTS, 64, reinterpret_cast<LPARAM>(memory.address()),
                                 SMTO_ABORTIFHUNG, kReplyLimitMs, &count) != 0,
           "the program did not answer SB_GETPARTS");
    std::vector<int> edges(count);
    if (count > 0) memory.read(edges.data(), count * sizeof(int));
    return edges;
}

void TargetProgram::click(HWND button) const {
    Expect(::PostMessageW(button, BM_CLICK, 0, 0) != 0, "cannot post BM_CLICK");
}

void TargetProgram::pressKey(HWND window, WPARAM key) const {
    const auto scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    Expect(::PostMessageW(window, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16))) != 0,
           "cannot post a key");
    ::PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | 0xC0000000u));
}

std::vector<HWND> TargetProgram::otherDialogs() const {
    ThreadWindows found;
    ::EnumThreadWindows(process_.dwThreadId, &CollectWindow, reinterpret_cast<LPARAM>(&found));
    std::vector<HWND> dialogs;
    for (HWND window : found.windows) {
        if (window != main_ && ClassName(window) == L"#32770" && ::IsWindowVisible(window)) {
            dialogs.push_back(window);
        }
    }
    return dialogs;
}

DialogView TargetProgram::view(HWND dialog) const {
    DialogView view;
    view.window = dialog;
    view.caption = text(dialog);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        const std::wstring kind = ClassName(child);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if (kind == L"Button") {
            view.buttons.push_back(text(child));
        } else if (kind == L"Static" && (style & SS_TYPEMASK) == SS_ICON) {
            DWORD_PTR icon = 0;
            ::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kReplyLimitMs, &icon);
            if (icon != 0 && !view.hasIcon) ::GetWindowRect(child, &view.iconArea);
            view.hasIcon = view.hasIcon || icon != 0;
        } else if (kind == L"Static" && view.text.empty()) {
            view.text = text(child);
        }
    }
    return view;
}

DialogView TargetProgram::waitForDialog(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto dialogs = otherDialogs();
        if (!dialogs.empty()) {
            // Give the box a moment to finish its initialisation before reading it.
            std::this_thread::sleep_for(100ms);
            return view(dialogs.front());
        }
        std::this_thread::sleep_for(10ms);
    }
    Fail("no dialog appeared");
}

void TargetProgram::answer(const DialogView& dialog, const std::wstring& buttonText) const {
    HWND button = nullptr;
    for (HWND child = ::GetWindow(dialog.window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) == L"Button" && ::IsWindowVisible(child) &&
            text(child) == buttonText) {
            button = child;
        }
    }
    Expect(button != nullptr, "the dialog has no button " + Narrow(buttonText));
    click(button);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (::IsWindow(dialog.window) && ::IsWindowVisible(dialog.window)) {
        Expect(std::chrono::steady_clock::now() < deadline, "the dialog did not close");
        std::this_thread::sleep_for(10ms);
    }
}

double TargetProgram::interfaceThreadCpuSeconds() const {
    FILETIME created{}, ended{}, kernel{}, user{};
    Expect(::GetThreadTimes(process_.hThread, &created, &ended, &kernel, &user) != 0,
           "GetThreadTimes failed");
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;  // 100 ns units
}

HWND TargetProgram::waitForMenu(std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        ThreadWindows found;
        ::EnumThreadWindows(process_.dwThreadId, &CollectWindow, reinterpret_cast<LPARAM>(&found));
        for (HWND window : found.windows) {
            if (ClassName(window) == L"#32768" && ::IsWindowVisible(window)) return window;
        }
        // Menus may belong to no thread's list in some systems: look at the top level too.
        HWND any = ::FindWindowW(L"#32768", nullptr);
        if (any != nullptr && ::IsWindowVisible(any)) return any;
        std::this_thread::sleep_for(20ms);
    }
    return nullptr;
}

bool TargetProgram::waitForExit(std::chrono::milliseconds limit) const {
    return ::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) ==
           WAIT_OBJECT_0;
}

}  // namespace gui
