// The system error numbers the tool reports for failures of the C library's file calls, in
// Windows' numbering as everywhere else in the tool.
#pragma once

#include <cstdint>

namespace tolvane::cli {

inline constexpr std::uint32_t kErrorWriteFault = 29;  // ERROR_WRITE_FAULT

// The number for an errno value; ERROR_GEN_FAILURE (31) for those without a closer one.
std::uint32_t SysErrorFromErrno(int error);

}  // namespace tolvane::cli
