// Reading an image file whole while nothing writes to it: a file rewritten during the read would
// otherwise be sent torn, part old and part new. Its size and modification time are taken before
// and after the read; a change means reading it again, and a file that keeps changing is refused.
#pragma once

#include "image/image_file.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <variant>
#include <vector>

namespace tolvane::cli {

// Reads of a file that changed each time before it is refused.
inline constexpr int kStableReadAttempts = 3;

// Called after each chunk read, with the attempt's number from 1: tests change the file there.
using AfterChunk = std::function<void(int attempt)>;

// Reads at most `limit` + 1 bytes, enough to tell that a file is too large without reading it all.
// Refuses anything but a regular file or a block device.
std::variant<std::vector<std::uint8_t>, ImageError> ReadStableFile(
    const std::string& path, std::size_t limit, const AfterChunk& afterChunk = {});

}  // namespace tolvane::cli
