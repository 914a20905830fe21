// The production line's slots in a run: --slots read (a --port that names a slot turned into its
// port), and `slots teach`, which names the ports in the order devices are plugged in.
#pragma once

#include "hid_bus.h"
#include "options/options.h"
#include "system/interrupt_guard.h"
#include "system_services.h"
#include "tool/tool_report.h"

#include <optional>

namespace tolvane::cli {

// The refusal's exit code when the slots file cannot be read.
std::optional<int> LoadSlots(Options& options, ToolReport& tool);

int TeachSlotsCommand(HidBus& bus, SystemServices& services, const Options& options,
                      InterruptGuard& guard, ToolReport& tool);

}  // namespace tolvane::cli
