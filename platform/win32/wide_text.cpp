#include "wide_text.h"

#include "text.h"

namespace tolvane::win32 {

std::string ToUtf8(std::wstring_view wide) {
    return tolvane::ToUtf8(FromWide(wide));
}

}  // namespace tolvane::win32
