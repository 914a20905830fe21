#include "binary_resource.h"

#include "resource_text.h"
#include "wide_text.h"

#include <windows.h>

namespace vandrel {

std::span<const std::uint8_t> BinaryResource(unsigned id) noexcept {
    // No module handle: the program's own file, whatever other module holds its dialogs.
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(id), L"BINARY");
    if (found == nullptr) return {};
    const DWORD size = ::SizeofResource(nullptr, found);
    HGLOBAL loaded = ::LoadResource(nullptr, found);
    if (loaded == nullptr || size == 0) return {};
    const void* data = ::LockResource(loaded);
    if (data == nullptr) return {};
    return {static_cast<const std::uint8_t*>(data), size};
}

std::wstring BinaryResourceText(unsigned id) {
    const auto bytes = BinaryResource(id);
    return tolvane::win32::ToWide(
        ResourceText(bytes.empty() ? nullptr : bytes.data(), bytes.size()));
}

}  // namespace vandrel
