#include "tool/plain_commands.h"

#include "output/exit_codes.h"
#include "report/station_report_command.h"
#include "sys_error.h"
#include "update/device_list.h"

namespace tolvane::cli {

int ListCommand(HidBus& bus, const Options& options, RunInterrupts& interrupts, ToolReport& tool) {
    interrupts.guard().enterStep(RunStage::Listing);
    const InterfaceListing listing = ListInterfaces(bus);
    interrupts.guard().enterStep(RunStage::Finishing);
    if (interrupts.guard().abortRequested()) return interrupts.abandonBeforeStart();
    RunReport& report = tool.report();
    if (listing.error != 0) {
        report.code = listing.error;
        report.result = ResultName(listing.error);
        report.message = "The system gives no list of HID interfaces.";
        tool.err() << "tolvane: " << report.message << " (" << tool.detail(listing.error) << ")\n";
        return tool.finish(kExitSystemError);
    }
    report.result = ResultName(DFU_SUCCESS);
    report.message = std::to_string(listing.interfaces.size()) + " HID interface(s)";
    Json interfaces = Json::array();
    for (ListedInterface entry : listing.interfaces) {
        entry.slot = options.slots.nameOf(entry.port);
        interfaces.push_back(InterfaceToJson(entry));
        tool.say(FormatInterface(entry));
    }
    report.extra["interfaces"] = std::move(interfaces);
    tool.say(report.message);
    return tool.finish(kExitSuccess);
}

int InstallUdevRulesCommand(const Options& options, const UdevSystem& udev, ToolReport& tool) {
#ifdef _WIN32
    return tool.usageError(
        "install-udev-rules is for Linux: Windows needs no rules to open HID "
        "devices");
#endif
    const UdevRulesRequest request{
        options.rulesDir,
        options.vid ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*options.vid))
                    : std::nullopt,
        options.pid ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*options.pid))
                    : std::nullopt};
    const UdevRulesOutcome outcome = InstallUdevRules(udev, request);
    RunReport& report = tool.report();
    report.message = outcome.message;
    report.extra["installed"] = outcome.installed;
    if (outcome.exitCode == kExitSuccess) {
        report.result = ResultName(DFU_SUCCESS);
        tool.say(outcome.message);
    } else {
        report.result = outcome.exitCode == kExitNeedsRoot ? "NEEDS_ROOT" : "INSTALL_FAILED";
        report.code = outcome.exitCode == kExitNeedsRoot ? kErrorAccessDenied : kErrorGenFailure;
        tool.err() << "tolvane: " << outcome.message << '\n';
    }
    return tool.finish(outcome.exitCode);
}

int StationReportCommand(const Options& options, ToolReport& tool) {
    const StationReportOutcome outcome =
        RunStationReport(options.reportLogs, options.htmlPath, options.json);
    RunReport& report = tool.report();
    report.result = outcome.exitCode == kExitSuccess ? "REPORT" : outcome.result;
    report.code = outcome.code;
    report.message = outcome.message;
    if (outcome.exitCode != kExitSuccess) {
        tool.err() << "tolvane: " << outcome.message << '\n';
    } else if (!options.json) {
        tool.say(outcome.text);
    }
    for (const std::string& warning : outcome.warnings) {
        tool.err() << "tolvane: warning: " << warning << '\n';
        report.warnings.push_back(warning);
    }
    if (!outcome.data.is_null()) report.extra["report"] = outcome.data;
    return tool.finish(outcome.exitCode);
}

}  // namespace tolvane::cli
