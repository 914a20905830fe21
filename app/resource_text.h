// A text stored in a resource as UTF-16LE code units with a terminating zero unit.
#pragma once

#include <cstddef>
#include <string>

namespace vandrel {

// The text held in `size` bytes at `data`: the units up to the first zero unit, never reading
// past `size` bytes. A missing resource (null data) and an odd last byte count as nothing.
std::u16string ResourceText(const void* data, std::size_t size);

}  // namespace vandrel
