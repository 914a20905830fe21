#include "status_bar.h"

#include <commctrl.h>

namespace vandrel {

bool StatusBar::Create(HWND parent, DWORD style, UINT id) {
    // Keep the window bits (WS_CHILD, WS_VISIBLE, ...); the control's own bits say: at the bottom.
    const DWORD controlStyle = (style & 0xFFFF0000u) | CCS_BOTTOM;
    window_ = ::CreateWindowExW(0, STATUSCLASSNAMEW, nullptr, controlStyle, 0, 0, 0, 0, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                ::GetModuleHandleW(nullptr), nullptr);
    return window_ != nullptr;
}

bool StatusBar::SetIndicators(const UINT* ids, int count) {
    bool allFound = true;
    panes_.assign(static_cast<std::size_t>(count), Pane{});
    for (int i = 0; i < count; ++i) {
        Pane& pane = panes_[static_cast<std::size_t>(i)];
        pane.id = ids[i];
        const wchar_t* text = nullptr;
        const int length =
            ::LoadStringW(::GetModuleHandleW(nullptr), pane.id, reinterpret_cast<LPWSTR>(&text), 0);
        if (length > 0 && text != nullptr) {
            pane.text.assign(text, static_cast<std::size_t>(length));
        } else {
            allFound = false;
        }
    }
    ApplyParts();
    for (int i = 0; i < count; ++i) SetPaneText(i, panes_[static_cast<std::size_t>(i)].text);
    return allFound;
}

void StatusBar::SetPaneInfo(int index, UINT id, UINT style, int width) {
    if (index < 0 || static_cast<std::size_t>(index) >= panes_.size()) return;
    Pane& pane = panes_[static_cast<std::size_t>(index)];
    pane.id = id;
    pane.style = style;
    pane.width = width;
    ApplyParts();
}

void StatusBar::ApplyParts() {
    if (window_ == nullptr || panes_.empty()) return;
    // The control takes right edges; a stretching pane runs to the end of the bar (-1).
    std::vector<int> edges;
    int right = 0;
    for (const Pane& pane : panes_) {
        if ((pane.style & kPaneStretch) != 0) {
            edges.push_back(-1);
        } else {
            right += pane.width;
            edges.push_back(right);
        }
    }
    ::SendMessageW(window_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}

void StatusBar::SetMinHeight(int height) {
    if (window_ == nullptr) return;
    ::SendMessageW(window_, SB_SETMINHEIGHT, static_cast<WPARAM>(height), 0);
}

void StatusBar::RepositionInParent() {
    // With CCS_BOTTOM the control places itself over the parent's full width when told to size.
    if (window_ == nullptr) return;
    ::SendMessageW(window_, WM_SIZE, 0, 0);
}

void StatusBar::SetPaneText(int index, const std::wstring& text, bool update) {
    if (window_ == nullptr || index < 0 || static_cast<std::size_t>(index) >= panes_.size()) {
        return;
    }
    panes_[static_cast<std::size_t>(index)].text = text;
    ::SendMessageW(window_, SB_SETTEXTW, static_cast<WPARAM>(index),
                   reinterpret_cast<LPARAM>(panes_[static_cast<std::size_t>(index)].text.c_str()));
    if (update) ::UpdateWindow(window_);
}

}  // namespace vandrel
