// The commands that update no device: the list of HID interfaces, the udev rules and the report
// of station logs. Each fills the run's report and returns the exit code.
#pragma once

#include "hid_bus.h"
#include "options/options.h"
#include "system/udev_rules_installer.h"
#include "tool/run_interrupts.h"
#include "tool/tool_report.h"

namespace tolvane::cli {

// list: every HID interface, with its slot's name when --slots names its port.
int ListCommand(HidBus& bus, const Options& options, RunInterrupts& interrupts, ToolReport& tool);

// install-udev-rules: Linux only.
int InstallUdevRulesCommand(const Options& options, const UdevSystem& udev, ToolReport& tool);

// report LOG...: the station logs summed up.
int StationReportCommand(const Options& options, ToolReport& tool);

}  // namespace tolvane::cli
