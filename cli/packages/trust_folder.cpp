#include "packages/trust_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>

namespace tolvane::cli {

std::string SystemKeysFolder() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "keys";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.erase(path.find_last_of(L"\\/") + 1);
    path += L"keys";
    const int size = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), text.data(), size,
                        nullptr, nullptr);
    return text;
#else
    return "/etc/tolvane/keys";
#endif
}

std::optional<std::string> LoadTrustedKeys(const std::vector<std::string>& trust,
                                           package::TrustStore& store) {
    if (auto problem = store.addFolderIfPresent(SystemKeysFolder())) return problem;
    for (const std::string& path : trust) {
        if (auto problem = store.add(path)) return "--trust " + *problem;
    }
    return std::nullopt;
}

}  // namespace tolvane::cli
