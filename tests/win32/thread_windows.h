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

inline std::vector<HWND> ThreadWindowsTitled(const std::wstring& title) {
    struct Search {
        std::wstring title;
        std::vector<HWND> found;
    } search{title, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (WindowTitle(window) == s->title) {
                s->found.push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace tolvane::testing
