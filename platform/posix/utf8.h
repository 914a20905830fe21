// UTF-16 to UTF-8 conversion for texts that leave the process (terminal output, file names).
#pragma once

#include <string>
#include <string_view>

namespace tolvane::posix {

// Converts UTF-16 text to UTF-8. A surrogate without its partner becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Widens ASCII or UTF-8 text to UTF-16; invalid UTF-8 bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace tolvane::posix
