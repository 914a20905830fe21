// A status bar on the common control "msctls_statusbar32", laid out along the bottom edge of its
// parent, with panes that each have an identifier, a style and a width. The control is a child
// window: its parent owns it and destroys it with itself.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace vandrel {

class StatusBar {
public:
    // Pane style that makes a pane take the rest of the bar.
    static constexpr UINT kPaneStretch = 0x08000000;

    StatusBar() = default;
    ~StatusBar() = default;
    StatusBar(const StatusBar&) = delete;
    StatusBar& operator=(const StatusBar&) = delete;

    // Creates the control as child `id` of `parent`. Of `style`, the window bits are kept and
    // the bar's alignment bits place it at the bottom; no size grip.
    bool Create(HWND parent, DWORD style, UINT id);
    // One pane per identifier, each with the text of the string resource of that number when
    // there is one. False when a string is missing (the pane then starts empty).
    bool SetIndicators(const UINT* ids, int count);
    void SetPaneInfo(int index, UINT id, UINT style, int width);
    void SetMinHeight(int height);
    // Places the bar along the bottom edge of the parent's client area, over its full width.
    void RepositionInParent();
    // Sets a pane's text; with `update` the pane is redrawn at once.
    void SetPaneText(int index, const std::wstring& text, bool update = true);

    HWND GetSafeHwnd() const noexcept { return window_; }

private:
    struct Pane {
        UINT id = 0;
        UINT style = 0;
        int width = 0;
        std::wstring text;
    };
    void ApplyParts();

    HWND window_ = nullptr;
    std::vector<Pane> panes_;
};

}  // namespace vandrel
