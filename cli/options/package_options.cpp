#include "options/package_options.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tolvane::cli {

bool IsPackageName(const std::string& path) {
    constexpr std::string_view kExtension = ".tvpkg";
    if (path.size() < kExtension.size()) return false;
    return std::equal(kExtension.rbegin(), kExtension.rend(), path.rbegin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

}  // namespace tolvane::cli
