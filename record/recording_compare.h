// Whether two recordings hold the same conversation, times and paths aside: for checking that the
// simulated bus and the kernel's HID stack are asked and answer alike in the same scenario.
#pragma once

#include "replay_script.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::record {

// The first call at which the recordings differ, or nothing when they agree. Compared: every call
// line in order with all its fields but its time (`t`), its duration (`us`) and paths (`path`);
// notifications and signals are left out, their order against the calls not being fixed. Lookups
// (a path's port), asked by whichever thread needs them, compare as the set of their answers.
// `ignored` names further fields to leave out, where two systems differ by nature.
std::optional<std::string> FirstDifference(const Recording& expected, const Recording& actual,
                                           const std::vector<std::string>& ignored = {});

}  // namespace tolvane::record
