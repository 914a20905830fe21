// Test helper: the top-level windows of the calling thread with a given title.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tolvane::testing {

inline std::wstring WindowTitle(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

struct WindowSearch {
    std::wstring title;
    std::vector<HWND> found;
};

inline BOOL CALLBACK CollectTitled(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<WindowSearch*>(context);
    if (WindowTitle(window) == search->title) {
        search->found.push_back(window);
    }
    return TRUE;
}

inline std::vector<HWND> ThreadWindowsTitled(const std::wstring& title) {
    WindowSearch search{title, {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectTitled, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace tolvane::testing
