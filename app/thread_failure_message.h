// The result box shown when the update's worker thread cannot be created.
#pragma once

#include "result_message.h"

#include <cstdint>

namespace vandrel {

// "Error code: %lu" with the system's error number and the error icon. The number is never
// taken for a result code: 0, or a value in the engine's own range, still reads as a failure.
tolvane::ResultMessage ThreadFailureMessage(std::uint32_t systemError);

}  // namespace vandrel
