// The few zip records a package uses, with their fixed sizes and signatures.
#pragma once

#include <cstdint>

namespace tolvane::package::zip {

inline constexpr std::uint32_t kLocalSignature = 0x04034B50;
inline constexpr std::uint32_t kCentralSignature = 0x02014B50;
inline constexpr std::uint32_t kEndSignature = 0x06054B50;
inline constexpr std::size_t kLocalSize = 30;
inline constexpr std::size_t kCentralSize = 46;
inline constexpr std::size_t kEndSize = 22;
inline constexpr std::uint16_t kVersionNeeded = 10;  // stored entries only
// Made on Unix (3) by a 2.0 writer, so that the mode in the external attributes is read.
inline constexpr std::uint16_t kVersionMadeBy = (3 << 8) | 20;
inline constexpr std::uint32_t kModeAttributes = 0100644U << 16;
inline constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
inline constexpr std::uint16_t kDosTime = 0;
inline constexpr std::uint16_t kFlagEncrypted = 1 << 0;
inline constexpr std::uint16_t kFlagDataDescriptor = 1 << 3;
// A package holds a few entries; a directory that claims more is not one.
inline constexpr std::size_t kMaxEntries = 16;

}  // namespace tolvane::package::zip
