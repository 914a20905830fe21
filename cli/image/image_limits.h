// Limits on the images the tool sends.
#pragma once

#include "dfu_constants.h"

#include <cstddef>
#include <cstdint>

namespace tolvane::cli {

// The setup report announces the size in 24 bits: an image of 16777216 bytes or more cannot be
// described to the boot loader.
inline constexpr std::size_t kMaxImageSize = DOWNLOAD_MAX_IMAGE_SIZE;
// Only the low 24 bits of the load address reach the boot loader.
inline constexpr std::uint32_t kMaxLoadAddress = BOOT_LOADER_LAST_ADDRESS;

}  // namespace tolvane::cli
