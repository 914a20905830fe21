// The program under test, seen from outside as a person sees it: its windows, their texts, and
// clicks. Every wait is bounded; a failed expectation throws DriverFailure.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace gui {

class DriverFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Called once at the first failure, while the program still shows the failing state.
void SetFailureHook(void (*hook)());
// Runs the failure hook and throws DriverFailure with `what`.
[[noreturn]] void Fail(const std::string& what);
// Fails with `what` when `condition` does not hold.
void Expect(bool condition, const std::string& what);
std::string Narrow(const std::wstring& text);

// A message box (or any other dialog) shown by the program, by its parts.
struct DialogView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;                  // the first non-empty static text
    std::vector<std::wstring> buttons;  // texts of the visible buttons, in child order
    bool hasIcon = false;               // a visible icon control holding an icon
    // Where the icon shows on the screen, to compare its pixels with a box of the driver's own
    // (StandardIconPixels); empty when there is no icon.
    RECT iconArea{};
};

// The pixels of the icon that a message box of type `iconType` (MB_ICONERROR, ...) shows on this
// screen: the driver shows such a box itself, reads its icon and closes it.
std::vector<COLORREF> StandardIconPixels(UINT iconType);
// The screen's pixels inside `area`.
std::vector<COLORREF> ScreenPixels(const RECT& area);

class TargetProgram {
public:
    // Starts `path` with `arguments` and waits (at most `startLimit`) for its main window.
    TargetProgram(const std::wstring& path, std::chrono::milliseconds startLimit,
                  const std::wstring& arguments = L"");
    // Ends the program if it still runs.
    ~TargetProgram();
    TargetProgram(const TargetProgram&) = delete;
    TargetProgram& operator=(const TargetProgram&) = delete;

    HWND main() const noexcept { return main_; }
    HWND control(int id) const;
    // WM_GETTEXT, answered by the program's thread (bounded).
    std::wstring text(HWND window) const;
    std::wstring controlText(int id) const { return text(control(id)); }
    HWND statusBar() const;
    // A status bar pane's text and the right edges of its panes, read through the program's
    // memory (these messages carry pointers and are not marshalled).
    std::wstring paneText(int pane) const;
    std::vector<int> paneEdges() const;

    // BM_CLICK, posted so that the driver never waits on a modal loop the click opens.
    void click(HWND button) const;
    void clickControl(int id) const { click(control(id)); }
    // A key pressed in `window`, as the dialog's message loop sees it.
    void pressKey(HWND window, WPARAM key) const;

    // Visible top-level dialogs of the program other than the main window.
    std::vector<HWND> otherDialogs() const;
    DialogView view(HWND dialog) const;
    // Waits for another dialog to appear; throws after `limit`.
    DialogView waitForDialog(std::chrono::milliseconds limit) const;
    // Clicks the dialog's button with this text and waits until the dialog has gone.
    void answer(const DialogView& dialog, const std::wstring& buttonText) const;
    // Waits for a popup menu of the program to be shown; null after `limit`.
    HWND waitForMenu(std::chrono::milliseconds limit) const;
    // Whether the program ends within `limit`.
    bool waitForExit(std::chrono::milliseconds limit) const;

    DWORD threadId() const noexcept { return process_.dwThreadId; }
    // Processor time (user and kernel) the program's interface thread has used so far.
    double interfaceThreadCpuSeconds() const;

private:
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

}  // namespace gui
