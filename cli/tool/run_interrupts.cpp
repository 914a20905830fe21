#include "tool/run_interrupts.h"

#include "output/exit_codes.h"
#include "sys_error.h"
#include "update/interrupt_report.h"

namespace tolvane::cli {

RunInterrupts::RunInterrupts(const Options& options, InterruptGuard& guard, ToolReport& tool,
                             std::function<void(int)> exitNow)
    : options_(options), guard_(guard), tool_(tool), exitNow_(std::move(exitNow)) {}

void RunInterrupts::tellPutOff() {
    const bool update =
        options_.command == Command::Update || options_.command == Command::Download;
    std::ostream& err = tool_.err();
    err << "tolvane: "
        << (update ? "the update is writing the firmware"
                   : "the device is switching between its firmware and its boot loader")
        << ": stopping now would leave the device unusable until it is power-cycled. "
           "The tool stops when the "
        << (update ? "update" : "switch") << " ends (interrupt "
        << InterruptGuard::kInterruptsToForce - 1 << " more times to stop at once).\n";
    err.flush();
}

int RunInterrupts::abandonBeforeStart() {
    CommandOutcome none;
    abandon(none);
    return kExitInterrupted;
}

void RunInterrupts::abandonOnce(const CommandOutcome& sofar) {
    std::call_once(abandoned_, [&] { abandon(sofar); });
}

void RunInterrupts::abandon(const CommandOutcome& sofar) {
    const InterruptedStep at =
        DescribeInterruptedStep(guard_.abortStep(), guard_.abortAfterWrite());
    RunReport& report = tool_.report();
    report.result = "INTERRUPTED";
    report.code = kErrorOperationAborted;
    report.message = "interrupted while " + at.stepName + ": " + at.state;
    report.bytesSent = sofar.bytesSent;
    report.seconds = sofar.seconds;
    report.extra["step"] = at.stepName;
    report.extra["device_written"] = guard_.abortAfterWrite();
    // Several devices at work: each is told apart, by its port.
    const std::vector<DeviceStep> devices = deviceSteps_.snapshot();
    if (!devices.empty()) {
        report.message =
            "interrupted with " + std::to_string(devices.size()) + " device(s) at work";
        report.bytesSent = 0;
        for (const DeviceStep& device : devices) report.bytesSent += device.bytesSent;
        report.extra["devices"] = InterruptedDevicesJson(devices);
    }
    tool_.err() << "tolvane: " << report.message << '\n';
    for (const std::string& line : InterruptedDevicesText(devices)) {
        tool_.err() << "tolvane:   " << line << '\n';
    }
    const int exitCode = tool_.finish(kExitInterrupted);
    if (exitNow_) exitNow_(exitCode);
}

}  // namespace tolvane::cli
