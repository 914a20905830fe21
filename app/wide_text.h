// Conversions between the portable UTF-16 text of the shared code and the Windows API's.
#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// wchar_t holds one UTF-16 unit on Windows: a unit-by-unit copy converts.
inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

inline std::u16string ToU16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

}  // namespace vandrel
