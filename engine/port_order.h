// The order in which ports are shown and devices are handled: "1-2" before "1-10", "1-1.4"
// before "1-1.10", as a person reads them.
#pragma once

#include <string_view>

namespace tolvane {

// Compares runs of digits by their value and everything else character by character.
bool PortLess(std::string_view a, std::string_view b) noexcept;

}  // namespace tolvane
