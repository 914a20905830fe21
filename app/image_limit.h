// The largest image an update can carry: the setup report announces the size in 24 bits, so an
// image of 16777216 bytes or more cannot be announced and is refused before any device is touched.
#pragma once

#include "result_message.h"

#include <cstdint>
#include <optional>

namespace vandrel {

// The box that refuses an image of `size` bytes, or nothing when the size can be announced.
std::optional<tolvane::ResultMessage> OversizedImageMessage(std::uint32_t size);

}  // namespace vandrel
