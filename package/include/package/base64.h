// Standard base64 (RFC 4648, with padding), as minisign's key and signature files hold it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::package {

std::string Base64Encode(std::span<const std::uint8_t> bytes);
// None for anything but canonical base64 (padding included, no spaces).
std::optional<std::vector<std::uint8_t>> Base64Decode(std::string_view text);

}  // namespace tolvane::package
