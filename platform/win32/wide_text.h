// UTF-16 text between the engine (char16_t) and the Windows API (wchar_t, also 16-bit here).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvane::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring ToWide(std::u16string_view text) {
    std::wstring wide(text.size(), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        wide[i] = static_cast<wchar_t>(text[i]);
    }
    return wide;
}

inline std::u16string FromWide(std::wstring_view wide) {
    std::u16string text(wide.size(), u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        text[i] = static_cast<char16_t>(wide[i]);
    }
    return text;
}

// UTF-8 of UTF-16 text from the system; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::wstring_view wide);

}  // namespace tolvane::win32
