// The program's "BINARY" resources, read from the program file itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vandrel {

// The bytes of resource `id` of type "BINARY"; empty when it is missing. The data stay valid for
// the life of the process.
std::span<const std::uint8_t> BinaryResource(unsigned id) noexcept;

// The UTF-16LE text of resource `id`, bounded by the resource's size; missing counts as empty.
std::wstring BinaryResourceText(unsigned id);

}  // namespace vandrel
