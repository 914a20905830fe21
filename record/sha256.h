// SHA-256 of a byte string, for the image in a recording's header and the hashes of data reports.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace tolvane::record {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> bytes);
// The digest in lower-case hexadecimal, 64 characters.
std::string Sha256Hex(std::span<const std::uint8_t> bytes);

}  // namespace tolvane::record
