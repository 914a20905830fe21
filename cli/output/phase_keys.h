// The phases of an update in the order they happen: their keys in a station log's phase_ms, which
// the update writes and the station report reads back, and their titles in the report.
#pragma once

#include <array>
#include <cstddef>

namespace tolvane::cli {

inline constexpr std::size_t kPhaseCount = 5;
inline constexpr std::array<const char*, kPhaseCount> kPhaseKeys{"enter", "wait_boot_loader",
                                                                 "download", "verify", "return"};
inline constexpr std::array<const char*, kPhaseCount> kPhaseTitles{
    "find + enter", "wait boot loader", "download", "verify", "return"};

}  // namespace tolvane::cli
