// Small text helpers shared by the tool's output.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tolvane::cli {

// "0x" followed by at least `digits` upper-case hexadecimal digits.
std::string Hex(std::uint64_t value, int digits);

// Bytes as two-digit lower-case hexadecimal pairs separated by spaces.
std::string HexBytes(std::span<const std::uint8_t> bytes);

// A hexadecimal number with or without "0x", at most `max`; nullopt for anything else.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::uint32_t max);

// The text with its control characters (C0, DEL, and C1 as UTF-8) written as \xNN, so that a file
// name cannot send escape sequences to the terminal it is printed on.
std::string Printable(std::string_view text);

}  // namespace tolvane::cli
