// Limits on the images the tool sends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tolvane::cli {

// The setup report announces the size in 24 bits: an image of 16777216 bytes or more cannot be
// described to the boot loader.
inline constexpr std::size_t kMaxImageSize = 0xFFFFFF;
// Only the low 24 bits of the load address reach the boot loader.
inline constexpr std::uint32_t kMaxLoadAddress = 0xFFFFFF;

}  // namespace tolvane::cli
