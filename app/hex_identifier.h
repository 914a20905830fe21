// The numeric value of an identifier text such as "0x5C3B".
#pragma once

#include <cstdint>
#include <string_view>

namespace vandrel {

// Parses `text` in base 16 as the C library's wcstoul does on Windows, where unsigned long has
// 32 bits: leading white space and one sign are skipped, an "0x" or "0X" prefix is accepted,
// digits are read up to the first character that is not one. No digit gives 0; a value beyond
// 32 bits gives 0xFFFFFFFF; a minus sign negates the value modulo 2^32.
std::uint32_t ParseHexIdentifier(std::u16string_view text) noexcept;

}  // namespace vandrel
