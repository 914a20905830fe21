#include "scenarios.h"

#include "target_program.h"

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <type_traits>

namespace gui {
namespace {

using namespace std::chrono_literals;

// Control identifiers of the main dialog.
constexpr int kUpdate = 1000;
constexpr int kExit = 1001;
constexpr int kVid = 1002;
constexpr int kPid = 1003;
constexpr int kMessage = 1004;
constexpr int kGroup = 1005;
constexpr UINT kAboutCommand = 0x0010;

constexpr auto kStartLimit = 60s;
constexpr auto kExitLimit = 10s;
constexpr auto kQuietTime = 1s;  // how long "nothing further happens" is watched

void ExpectEqual(const std::wstring& actual, const std::wstring& expected,
                 const std::string& what) {
    Expect(actual == expected,
           what + ": \"" + Narrow(actual) + "\", expected \"" + Narrow(expected) + "\"");
}

std::wstring BaseName(const std::wstring& path) {
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

void ExpectNoDialogFor(const TargetProgram& program, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        const auto dialogs = program.otherDialogs();
        if (!dialogs.empty()) {
            Fail("an unexpected dialog appeared: \"" + Narrow(program.view(dialogs.front()).text) +
                 "\"");
        }
        std::this_thread::sleep_for(20ms);
    }
}

void WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit,
               const std::string& what) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        Expect(std::chrono::steady_clock::now() < deadline, what);
        std::this_thread::sleep_for(20ms);
    }
}

constexpr wchar_t kDemoTitle[] = L"Vandrel demonstration (simulated device)";

void ExpectShippedTexts(const TargetProgram& program, const std::wstring& title = L"Title") {
    ExpectEqual(program.text(program.main()), title, "window title");
    ExpectEqual(program.controlText(kMessage), L"Message", "message");
    ExpectEqual(program.controlText(kUpdate), L"Update Target", "update button");
    ExpectEqual(program.controlText(kExit), L"Exit", "exit button");
    ExpectEqual(program.controlText(kGroup), L"HID Setting", "group");
    ExpectEqual(program.controlText(kVid), L"0x5C3B", "VID edit");
    ExpectEqual(program.controlText(kPid), L"0x0326", "PID edit");
}

std::string Describe(const RECT& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "-" +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// `window` centred over `over` (within a pixel of rounding), as the framework opens its dialogs.
void ExpectCentred(HWND window, const RECT& over, const std::string& what) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    const int dx = (rect.left + rect.right) - (over.left + over.right);
    const int dy = (rect.top + rect.bottom) - (over.top + over.bottom);
    Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2,
           what + " at " + Describe(rect) + " is not centred over " + Describe(over));
}

RECT WorkArea() {
    RECT area{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// Opens the system menu with Alt+Space, as a person would, and picks its last item.
void ChooseLastSystemMenuItem(const TargetProgram& program) {
    ::PostMessageW(program.main(), WM_SYSCOMMAND, SC_KEYMENU, L' ');
    HWND popup = program.waitForMenu(10s);
    Expect(popup != nullptr, "the system menu did not open");
    program.pressKey(program.main(), VK_END);
    program.pressKey(program.main(), VK_RETURN);
}

// Opens the About box through the system menu (command 0) or by the given system command.
void ExpectAboutBox(const TargetProgram& program, WPARAM command) {
    if (command == 0) {
        ChooseLastSystemMenuItem(program);
    } else {
        ::PostMessageW(program.main(), WM_SYSCOMMAND, command, 0);
    }
    const DialogView about = program.waitForDialog(10s);
    ExpectEqual(about.caption, L"About Vandrel", "About caption");
    ExpectEqual(about.text, L"Vandrel, Version 1.0", "About text");
    Expect(about.hasIcon, "the About box shows no icon");
    Expect(::GetWindow(about.window, GW_OWNER) == program.main(), "About is not owned by main");
    RECT mainRect{};
    ::GetWindowRect(program.main(), &mainRect);
    ExpectCentred(about.window, mainRect, "the About box");
    Expect(!::IsWindowEnabled(program.main()), "the main window stays enabled under About");
    program.answer(about, L"OK");
    // The program re-enables its window when the box has gone: on a busy machine that takes a
    // while.
    WaitUntil([&] { return ::IsWindowEnabled(program.main()) != 0; }, 10s,
              "the main window is disabled after About");
}

// What a window looks like to the system, for a failure message.
std::string DescribeWindowState(HWND window) {
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    char text[160];
    std::snprintf(text, sizeof(text), "style %08lx, enabled %d, visible %d, foreground %d, at %s",
                  static_cast<unsigned long>(style), ::IsWindowEnabled(window) != 0,
                  ::IsWindowVisible(window) != 0, ::GetForegroundWindow() == window,
                  Describe(rect).c_str());
    return text;
}

// Sends the minimise command and waits until the program has carried it out. A modal dialog is
// shown (again) the first time its message queue goes empty; on a busy machine that can be after
// the command and undo it, so the command is sent anew while the window stays restored.
void MinimiseAndWait(const TargetProgram& program) {
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    std::string after;
    while (::IsIconic(program.main()) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            Fail("the window did not minimise (just after the command: " + after +
                 "; 20 s later: " + DescribeWindowState(program.main()) + ")");
        }
        if (!after.empty()) std::printf("minimise sent again: the window was restored\n");
        DWORD_PTR ignored = 0;
        const bool handled = ::SendMessageTimeoutW(program.main(), WM_SYSCOMMAND, SC_MINIMIZE, 0,
                                                   SMTO_NORMAL, 20000, &ignored) != 0;
        Expect(handled, "the program did not take the minimise command within 20 s");
        after = DescribeWindowState(program.main());
        for (int i = 0; i < 100 && ::IsIconic(program.main()) == 0; ++i) {
            std::this_thread::sleep_for(20ms);
        }
    }
}

void ScenarioShippedWindow(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    ExpectShippedTexts(program);
    ExpectCentred(program.main(), WorkArea(), "the main window");

    ExpectEqual(program.paneText(0), L"", "pane 0");
    ExpectEqual(program.text(program.statusBar()), L"", "status bar text");
    ExpectEqual(program.paneText(1), L"2.4.0.0", "pane 1");
    RECT client{};
    ::GetClientRect(program.main(), &client);
    const auto edges = program.paneEdges();
    Expect(edges.size() == 2, "the status bar has " + std::to_string(edges.size()) + " panes");
    Expect(edges[0] == client.right - 100, "pane 0 ends at " + std::to_string(edges[0]) +
                                               ", client width " + std::to_string(client.right));
    Expect(edges[1] == -1, "pane 1 does not stretch to the end");
    RECT bar{};
    ::GetWindowRect(program.statusBar(), &bar);
    Expect(bar.right - bar.left == client.right, "the status bar is not as wide as the client");

    WaitUntil(
        [&] {
            GUITHREADINFO focus{};
            focus.cbSize = sizeof(focus);
            ::GetGUIThreadInfo(program.threadId(), &focus);
            return focus.hwndFocus == program.control(kUpdate);
        },
        10s, "the focus is not on Update Target");

    // Minimised and restored: the window paints its icon meanwhile and comes back unchanged.
    MinimiseAndWait(program);
    ::RedrawWindow(program.main(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ::PostMessageW(program.main(), WM_SYSCOMMAND, SC_RESTORE, 0);
    WaitUntil([&] { return ::IsIconic(program.main()) == 0; }, 20s, "the window was not restored");
    ExpectShippedTexts(program);

    ExpectAboutBox(program, 0);
    // A fresh About box every time, for every command whose value masked with 0xFFF0 is 0x0010.
    ExpectAboutBox(program, kAboutCommand);
    ExpectAboutBox(program, kAboutCommand | 0xF);
    ExpectShippedTexts(program);
}

void ExpectEndsBy(const std::wstring& path, const std::function<void(TargetProgram&)>& action) {
    TargetProgram program(path, kStartLimit);
    action(program);
    Expect(program.waitForExit(kExitLimit), "the program did not end");
}

void ScenarioExit(const std::wstring& path) {
    ExpectEndsBy(path, [](TargetProgram& program) { program.clickControl(kExit); });
}

void ScenarioEscape(const std::wstring& path) {
    ExpectEndsBy(path, [](TargetProgram& program) {
        program.pressKey(program.control(kUpdate), VK_ESCAPE);
    });
}

void ScenarioEnter(const std::wstring& path) {
    ExpectEndsBy(path, [](TargetProgram& program) {
        // Enter in an edit, outside any push button, is the dialog's OK. (The multi-line message
        // edit passes Enter on as well on Windows; Wine's edit control keeps it when the dialog
        // has no default button, so the identifier edit is used here.)
        HWND edit = program.control(kVid);
        ::PostMessageW(program.main(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
        std::this_thread::sleep_for(200ms);
        program.pressKey(edit, VK_RETURN);
    });
}

void ScenarioEmptyImage(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.clickControl(kUpdate);
    const DialogView box = program.waitForDialog(10s);
    ExpectEqual(box.text, L"Buffer size is zero !", "box text");
    ExpectEqual(box.caption, BaseName(path), "box caption");
    Expect(box.buttons == std::vector<std::wstring>{L"OK"}, "the box has other buttons than OK");
    Expect(!box.hasIcon, "the box shows an icon");
    program.answer(box, L"OK");
    ExpectNoDialogFor(program, kQuietTime);
    ExpectEqual(program.paneText(0), L"", "pane 0");
    ExpectShippedTexts(program);
}

DialogView ConfirmUpdate(const TargetProgram& program) {
    program.clickControl(kUpdate);
    const DialogView box = program.waitForDialog(10s);
    ExpectEqual(box.text, L"Update Firmware ?", "confirmation text");
    ExpectEqual(box.caption, L"Confirm File", "confirmation caption");
    Expect(box.buttons == (std::vector<std::wstring>{L"&Yes", L"&No"}),
           "the confirmation does not offer Yes and No");
    Expect(box.hasIcon, "the confirmation shows no icon");
    return box;
}

void ScenarioDecline(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.answer(ConfirmUpdate(program), L"&No");
    ExpectNoDialogFor(program, kQuietTime);
    ExpectEqual(program.paneText(0), L"", "pane 0");
    ExpectEqual(program.paneText(1), L"2.4.0.0", "pane 1");
    Expect(::IsWindowEnabled(program.control(kExit)) != 0, "Exit is disabled");
    ExpectShippedTexts(program);
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

const char* IconName(UINT iconType) {
    switch (iconType) {
        case MB_ICONERROR:
            return "error";
        case MB_ICONWARNING:
            return "warning";
        case MB_ICONINFORMATION:
            return "information";
        default:
            return "question";
    }
}

// The pixels of a standard icon on this screen, read once per driver run.
const std::vector<COLORREF>& ReferenceIcon(UINT iconType) {
    static std::map<UINT, std::vector<COLORREF>> references;
    const auto found = references.find(iconType);
    if (found != references.end()) return found->second;
    return references.emplace(iconType, StandardIconPixels(iconType)).first->second;
}

// The box shows the system's icon of `iconType`: its pixels are those of the same icon in a box
// of the driver's own, and not those of any other standard icon.
void ExpectIcon(const DialogView& box, UINT iconType) {
    Expect(box.hasIcon, "the box shows no icon");
    const std::vector<COLORREF>& expected = ReferenceIcon(iconType);
    Expect(!expected.empty(), "no reference for the " + std::string(IconName(iconType)) + " icon");
    constexpr UINT kStandardIcons[] = {MB_ICONERROR, MB_ICONWARNING, MB_ICONINFORMATION,
                                       MB_ICONQUESTION};
    for (const UINT other : kStandardIcons) {
        if (other == iconType) continue;
        // A screen that cannot be read would make every icon look alike.
        Expect(ReferenceIcon(other) != expected, "the screen's icons cannot be told apart");
    }
    // The box may be read before its icon is drawn: its pixels get a while to match.
    WaitUntil([&] { return ScreenPixels(box.iconArea) == expected; }, 10s,
              std::string("the box does not show the ") + IconName(iconType) + " icon");
}

void ExpectResultBox(const TargetProgram& program, const DialogView& box, const std::wstring& text,
                     UINT iconType = MB_ICONINFORMATION) {
    ExpectEqual(box.text, text, "result text");
    ExpectEqual(box.caption, L"Update Firmware", "result caption");
    Expect(box.buttons == std::vector<std::wstring>{L"OK"}, "the result box has other buttons");
    Expect(box.hasIcon, "the result box shows no icon");
    ExpectEqual(program.paneText(0), L"", "pane 0 under the result box");
    ExpectIcon(box, iconType);
}

void ScenarioNotFound(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.answer(ConfirmUpdate(program), L"&Yes");
    const DialogView result = program.waitForDialog(90s);
    ExpectResultBox(program, result, L"Device (VID=0x5C3B/PID=0x0326) not found !", MB_ICONWARNING);
    program.answer(result, L"OK");
    Expect(::IsWindowEnabled(program.control(kExit)) != 0, "Exit stays disabled after the run");
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

// One whole run on the demonstration target; returns the pane texts seen, in order.
std::vector<std::wstring> WatchDemoRun(const TargetProgram& program) {
    program.answer(ConfirmUpdate(program), L"&Yes");
    std::vector<std::wstring> seen;
    bool clickedAgain = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (;;) {
        Expect(std::chrono::steady_clock::now() < deadline, "the run did not end");
        const std::wstring pane = program.text(program.statusBar());
        if (seen.empty() || seen.back() != pane) seen.push_back(pane);
        if (!clickedAgain && pane.starts_with(L"Update Percentage")) {
            Expect(!::IsWindowEnabled(program.control(kExit)), "Exit is enabled during a run");
            // A second click during the run: nothing may come of it.
            program.clickControl(kUpdate);
            clickedAgain = true;
        }
        const auto dialogs = program.otherDialogs();
        if (!dialogs.empty()) {
            std::this_thread::sleep_for(100ms);
            const DialogView result = program.view(dialogs.front());
            ExpectResultBox(program, result, L"F/W update successfully !");
            program.answer(result, L"OK");
            break;
        }
        std::this_thread::sleep_for(1ms);
    }
    Expect(clickedAgain, "no progress was seen during the run");
    return seen;
}

void ExpectDemoProgress(const std::vector<std::wstring>& seen) {
    std::string all;
    for (const auto& text : seen) all += " [" + Narrow(text) + "]";
    std::printf("pane 0 during the run:%s\n", all.c_str());
    // The pane may show "" before the first look and last; in between the run's texts.
    std::size_t i = 0;
    if (i < seen.size() && seen[i].empty()) ++i;
    Expect(i < seen.size() && seen[i] == L"Searching device...",
           "the run does not start with Searching device...");
    ++i;
    int last = 0;
    int count = 0;
    for (; i < seen.size() && seen[i].starts_with(L"Update Percentage = "); ++i) {
        const int value = std::stoi(seen[i].substr(20));
        Expect(seen[i] == L"Update Percentage = " + std::to_wstring(value) + L"%",
               "malformed progress text " + Narrow(seen[i]));
        Expect(value > last,
               "percentage " + std::to_string(value) + " after " + std::to_string(last));
        Expect(value != 255, "255 was shown");
        last = value;
        ++count;
    }
    Expect(last == 100, "the last percentage was " + std::to_string(last));
    Expect(count >= 3, "only " + std::to_string(count) + " percentages were seen");
    Expect(i + 1 == seen.size() && seen[i].empty(), "the pane does not end empty");
}

void ScenarioDemoRuns(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    for (int run = 1; run <= 2; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = program.interfaceThreadCpuSeconds();
        const auto seen = WatchDemoRun(program);
        const double cpu = program.interfaceThreadCpuSeconds() - cpuBefore;
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
        // A figure, not a limit: the interface thread waits between its looks at the progress.
        std::printf("run %d took %.1f s; interface thread processor time %.0f ms (%.1f%%)\n", run,
                    seconds.count(), cpu * 1000, 100 * cpu / seconds.count());
        ExpectDemoProgress(seen);
        ExpectNoDialogFor(program, 500ms);
        Expect(::IsWindowEnabled(program.control(kExit)) != 0, "Exit stays disabled after a run");
        ExpectShippedTexts(program, kDemoTitle);
    }
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

// The shipped program updates a real target attached to the machine: one run ends with the
// success box (its image may be too small for progress to be seen), then Exit. The box's icon is
// not compared by its pixels: where this runs (Wine in an emulated machine) the screen cannot be
// read back reliably, and the icon is the result scenarios' concern.
void ScenarioDeviceUpdate(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.answer(ConfirmUpdate(program), L"&Yes");
    const DialogView result = program.waitForDialog(90s);
    ExpectEqual(result.text, L"F/W update successfully !", "result text");
    ExpectEqual(result.caption, L"Update Firmware", "result caption");
    Expect(result.hasIcon, "the result box shows no icon");
    program.answer(result, L"OK");
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

// Esc during a run ends the dialog only after the run and its result box. (The window hides at
// once; under Wine without a window manager, hiding blocks the program's thread for a moment, so
// the progress shown meanwhile is not checked here.)
void ScenarioEscapeDuringRun(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.answer(ConfirmUpdate(program), L"&Yes");
    WaitUntil([&] { return program.text(program.statusBar()).starts_with(L"Update Percentage"); },
              30s, "no progress was shown");
    program.pressKey(program.control(kUpdate), VK_ESCAPE);
    const DialogView result = program.waitForDialog(60s);
    Expect(!program.waitForExit(0ms), "the program ended before its result box");
    ExpectResultBox(program, result, L"F/W update successfully !");
    program.answer(result, L"OK");
    Expect(program.waitForExit(kExitLimit), "the program did not end after the run");
}

// A quit message that arrives during a run does not cut it short: the progress goes on to 100%,
// and the program ends once the run has ended.
void ScenarioQuitDuringRun(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.answer(ConfirmUpdate(program), L"&Yes");
    int last = 0;
    bool quitPosted = false;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (last < 100) {
        Expect(std::chrono::steady_clock::now() < deadline, "the run did not reach 100%");
        Expect(!program.waitForExit(0ms),
               "the program ended during the run at " + std::to_string(last) + "%");
        std::wstring pane;
        try {
            pane = program.text(program.statusBar());
        } catch (const DriverFailure&) {
            break;  // the window went away: checked below
        }
        if (pane.starts_with(L"Update Percentage = ")) last = std::stoi(pane.substr(20));
        if (!quitPosted && last > 0 && last < 50) {
            Expect(::PostThreadMessageW(program.threadId(), WM_QUIT, 0, 0) != 0,
                   "cannot post WM_QUIT");
            quitPosted = true;
        }
        std::this_thread::sleep_for(2ms);
    }
    Expect(quitPosted, "the quit message was never posted");
    Expect(last == 100, "the run stopped at " + std::to_string(last) + "%");
    Expect(program.waitForExit(20s), "the program did not end after the run");
}

// A build configured with a reseller's identifiers and texts shows them and searches for them.
void ScenarioResellerTexts(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    ExpectEqual(program.text(program.main()), L"Acme Updater", "window title");
    ExpectEqual(program.controlText(kMessage), L"Line one\r\nLine two: caf\u00E9", "message");
    ExpectEqual(program.controlText(kUpdate), L"&Flash", "update button");
    ExpectEqual(program.controlText(kExit), L"&Quit", "exit button");
    ExpectEqual(program.controlText(kGroup), L"Target", "group");
    ExpectEqual(program.controlText(kVid), L"0x1a2b", "VID edit");
    ExpectEqual(program.controlText(kPid), L"0x00ff", "PID edit");
    program.answer(ConfirmUpdate(program), L"&Yes");
    const DialogView result = program.waitForDialog(90s);
    ExpectResultBox(program, result, L"Device (VID=0x1A2B/PID=0x00FF) not found !", MB_ICONWARNING);
    program.answer(result, L"OK");
}

// A string of the program file's version resource (U.S. English, Unicode), "" when missing.
std::wstring VersionString(const std::wstring& path, const wchar_t* name) {
    DWORD ignored = 0;
    std::vector<std::uint8_t> info(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
    if (info.empty() ||
        !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data())) {
        return {};
    }
    void* value = nullptr;
    UINT length = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!::VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return {};
    return static_cast<const wchar_t*>(value);
}

// The bytes of the program file's resource `id` of type "BINARY".
std::vector<std::uint8_t> BinaryResourceOf(const std::wstring& path, int id) {
    struct Unload {
        void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
    };
    const std::unique_ptr<std::remove_pointer_t<HMODULE>, Unload> file(::LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    Expect(file != nullptr, "the program file cannot be read for its resources");
    std::vector<std::uint8_t> bytes;
    if (HRSRC found = ::FindResourceW(file.get(), MAKEINTRESOURCEW(id), L"BINARY")) {
        const auto* data =
            static_cast<const std::uint8_t*>(::LockResource(::LoadResource(file.get(), found)));
        if (data) bytes.assign(data, data + ::SizeofResource(file.get(), found));
    }
    return bytes;
}

// A program built from tests/app/packages/signed.tvpkg: it carries the package's image (8192
// bytes summing to 0xF000), shows its version, identifiers and signer in its version resource,
// and updates the simulated device with it.
void ScenarioPackageRuns(const std::wstring& path) {
    constexpr int kFirmwareResource = 131;
    const auto image = BinaryResourceOf(path, kFirmwareResource);
    unsigned sum = 0;
    for (const std::uint8_t byte : image) sum = (sum + byte) & 0xFFFF;
    Expect(image.size() == 8192 && sum == 0xF000,
           "the image resource is not the package's: " + std::to_string(image.size()) +
               " bytes, sum " + std::to_string(sum));
    ExpectEqual(VersionString(path, L"FirmwareVersion"), L"1.02", "firmware version");
    ExpectEqual(VersionString(path, L"FirmwareIds"),
                L"application 5C3B:0326, boot loader 5C3B:030B", "firmware identifiers");
    ExpectEqual(VersionString(path, L"FirmwareKeyId"), L"1573F66A23B769CF", "signing key");

    TargetProgram program(path, kStartLimit);
    ExpectEqual(program.controlText(kVid), L"0x5C3B", "VID edit");
    ExpectEqual(program.controlText(kPid), L"0x0326", "PID edit");
    ExpectDemoProgress(WatchDemoRun(program));
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

// One shape of the demonstration target per result box: the run ends with that box, and pane 0
// is empty under it and afterwards. Time-outs run ten times faster than on a device.
struct ResultCase {
    const char* scenario;
    const wchar_t* shape;
    const wchar_t* text;
    UINT icon;
};

constexpr ResultCase kResultCases[] = {
    {"result-in-boot-loader", L"in-boot-loader", L"F/W update successfully !", MB_ICONINFORMATION},
    {"result-boot-loader-unreachable", L"boot-loader-unreachable",
     L"Device (VID=0x5C3B/PID=0x0326) not found !", MB_ICONWARNING},
    {"result-never-enters", L"never-enters", L"Search DFU(VID=0x5C3B, PID=0x030B) timeout fail !",
     MB_ICONWARNING},
    {"result-wrong-checksum", L"wrong-checksum", L"DFU update / verify / checksum fail !",
     MB_ICONWARNING},
    {"result-refuses-enter", L"refuses-enter", L"Reset to DFU command fail !", MB_ICONWARNING},
    {"result-refuses-return", L"refuses-return", L"DFU reset to application command fail !",
     MB_ICONWARNING},
    {"result-stays-in-boot-loader", L"stays-in-boot-loader", L"Error code: 3758096645",
     MB_ICONERROR},
};

void RunResultCase(const ResultCase& result, const std::wstring& path) {
    TargetProgram program(path, kStartLimit,
                          std::wstring(L"--target ") + result.shape + L" --time-scale 10");
    ExpectShippedTexts(program, kDemoTitle);
    program.answer(ConfirmUpdate(program), L"&Yes");
    const DialogView box = program.waitForDialog(60s);
    ExpectResultBox(program, box, result.text, result.icon);
    program.answer(box, L"OK");
    ExpectNoDialogFor(program, kQuietTime);
    ExpectEqual(program.paneText(0), L"", "pane 0 after the result box");
    Expect(::IsWindowEnabled(program.control(kExit)) != 0, "Exit stays disabled after the run");
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

// Every result box, one program run per shape, in one driver run (Wine starts once). A failing
// shape does not stop the others; each prints its own line.
void ScenarioResultBoxes(const std::wstring& path) {
    int failures = 0;
    for (const ResultCase& result : kResultCases) {
        const auto start = std::chrono::steady_clock::now();
        try {
            RunResultCase(result, path);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("PASS %s in %.1f s\n", result.scenario, seconds);
        } catch (const DriverFailure& failure) {
            std::printf("FAIL %s: %s\n", result.scenario, failure.what());
            ++failures;
        }
        std::fflush(stdout);
    }
    Expect(failures == 0, std::to_string(failures) + " result boxes were not as expected");
}

// An image the setup report cannot announce: refused with a box that says why, before any
// confirmation or device search; the program stays usable.
void ScenarioOversizedImage(const std::wstring& path) {
    TargetProgram program(path, kStartLimit);
    program.clickControl(kUpdate);
    const DialogView box = program.waitForDialog(10s);
    ExpectEqual(box.text,
                L"The firmware image is too large: 16777216 bytes. The boot loader accepts at "
                L"most 16777215 bytes; the device was not touched.",
                "refusal text");
    ExpectEqual(box.caption, L"Update Firmware", "refusal caption");
    Expect(box.buttons == std::vector<std::wstring>{L"OK"}, "the refusal has other buttons");
    ExpectEqual(program.paneText(0), L"", "pane 0 under the refusal");
    ExpectIcon(box, MB_ICONWARNING);
    program.answer(box, L"OK");
    ExpectNoDialogFor(program, kQuietTime);
    ExpectEqual(program.paneText(0), L"", "pane 0");
    Expect(::IsWindowEnabled(program.control(kExit)) != 0, "Exit is disabled");
    program.clickControl(kExit);
    Expect(program.waitForExit(kExitLimit), "the program did not end by Exit");
}

}  // namespace

bool RunScenario(const std::string& name, const std::wstring& program) {
    static const std::map<std::string, void (*)(const std::wstring&)> scenarios = {
        {"shipped-window", &ScenarioShippedWindow},
        {"exit", &ScenarioExit},
        {"escape", &ScenarioEscape},
        {"enter", &ScenarioEnter},
        {"empty-image", &ScenarioEmptyImage},
        {"decline", &ScenarioDecline},
        {"not-found", &ScenarioNotFound},
        {"demo-runs", &ScenarioDemoRuns},
        {"device-update", &ScenarioDeviceUpdate},
        {"reseller-texts", &ScenarioResellerTexts},
        {"quit-during-run", &ScenarioQuitDuringRun},
        {"escape-during-run", &ScenarioEscapeDuringRun},
        {"oversized-image", &ScenarioOversizedImage},
        {"result-boxes", &ScenarioResultBoxes},
        {"package-runs", &ScenarioPackageRuns},
    };
    for (const ResultCase& result : kResultCases) {
        if (name == result.scenario) {
            RunResultCase(result, program);
            return true;
        }
    }
    const auto found = scenarios.find(name);
    if (found == scenarios.end()) return false;
    found->second(program);
    return true;
}

}  // namespace gui
