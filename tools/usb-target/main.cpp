// tolvane-usb-target: the simulator's virtual target as a USB device on a device controller of
// this machine (dummy_hcd's, in the test machine), made with configfs and FunctionFS, so that
// usbcore, usbhid, hidraw, udev and every HID program meet it as real hardware. Runs until SIGINT
// or SIGTERM; then writes what the device received to --memory-file, if given.
#include "stop_signals.h"
#include "target_command_line.h"
#include "usb_bridge.h"
#include "virtual_target.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tolvane;

constexpr const char* kUsageHead = R"(usage: tolvane-usb-target [OPTION...]
Makes the virtual target (application 5C3B:0326, boot loader 5C3B:030B) a USB HID device on a
device controller of this machine through configfs and FunctionFS (modules libcomposite, usb_f_fs;
configfs mounted), until SIGINT or SIGTERM. Each identity change unbinds the gadget, changes its
product id and binds it again, as a device that re-enumerates.
  --udc NAME              the device controller (default dummy_udc.0; see /sys/class/udc);
                          the serial's default is USB- and the controller's number
)";
constexpr const char* kUsageTail =
    R"(  --bcd HEX               the application's release number, bcdDevice (default 0100)
  --version-after HEX     the application comes back from a download with this release number
  --never-returns         after the download the boot loader leaves and the application never
                          comes back
  --refuse-report K       the boot loader stalls the K-th data report, every time
  --silent-report K       the K-th data report is answered after usbhid has given up (5.5 s)
  --stall-report KIND[:N] stall the N-th report of KIND (every one without N)
  --late-report KIND:MS[:N]
                          answer the N-th (default first) report of KIND MS ms late, once
                          KIND: reset-feature, reset-output, data, checksum-answer
)";

volatile std::sig_atomic_t gStop = 0;

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "%s%s%s", kUsageHead, target::kSharedUsage, kUsageTail);
}

// What only the USB target takes.
struct UsbOnly {
    usb::UsbBridgeOptions bridge;
    std::uint16_t applicationRelease = 0x0100;
    std::optional<std::uint16_t> versionAfter;
    bool neverReturns = false;
};

// The USB target's own options; false for an unknown option or a bad value.
bool TakeOwnOption(int argc, char** argv, int& i, UsbOnly& out) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    std::uint32_t n = 0;
    auto number = [&](int base) {
        if (!target::ParseNumber(value, base, n)) return false;
        ++i;
        return true;
    };
    usb::ReportRule rule;
    if (arg == "--udc" && value && *value) {
        out.bridge.udc = argv[++i];
    } else if (arg == "--bcd") {
        if (!number(16) || n > 0xFFFF) return false;
        out.applicationRelease = static_cast<std::uint16_t>(n);
    } else if (arg == "--version-after") {
        if (!number(16) || n > 0xFFFF) return false;
        out.versionAfter = static_cast<std::uint16_t>(n);
    } else if (arg == "--refuse-report") {
        if (!number(10) || n == 0) return false;
        out.bridge.rules.add({.kind = usb::UsbReportKind::Data, .number = n});
    } else if (arg == "--silent-report") {
        if (!number(10) || n == 0) return false;
        out.bridge.rules.add({.kind = usb::UsbReportKind::Data,
                              .action = usb::RuleAction::Late,
                              .number = n,
                              .delayMs = 5500,
                              .once = true});
    } else if (arg == "--stall-report") {
        if (!value || !usb::ParseStallRule(value, rule)) return false;
        out.bridge.rules.add(rule);
        ++i;
    } else if (arg == "--late-report") {
        if (!value || !usb::ParseLateRule(value, rule)) return false;
        out.bridge.rules.add(rule);
        ++i;
    } else if (arg == "--never-returns") {
        out.neverReturns = true;
    } else {
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (target::WantsHelp(argc, argv)) {
        PrintUsage(stdout);
        return 0;
    }
    target::SharedTargetOptions shared;
    UsbOnly own;
    for (int i = 1; i < argc; ++i) {
        const int at = i;
        const target::OptionTaken taken = target::TakeSharedOption(argc, argv, i, shared);
        if (taken == target::OptionTaken::Yes) continue;
        if (taken == target::OptionTaken::No && TakeOwnOption(argc, argv, i, own)) continue;
        std::fprintf(stderr, "tolvane-usb-target: bad option or value: %s\n", argv[at]);
        PrintUsage(stderr);
        return 64;
    }
    own.bridge.serial = shared.serial;
    own.bridge.application = shared.application;
    shared.model.paced = true;
    shared.model.reportPaceMs = 0;  // the host and the bus set the pace
    // The data stage of the report at which the device leaves is acknowledged when taken.
    shared.model.unplugAcknowledged = true;
    target::CatchStopSignals(gStop);

    sim::DeviceSpec spec = sim::VirtualTarget::specFor(shared.model);
    spec.application.productId = shared.applicationPid;
    spec.application.versionNumber = own.applicationRelease;
    spec.versionAfterDownload = own.versionAfter;
    spec.neverReturnsToApplication = own.neverReturns;
    // The device answers the reset's control transfer, then drops off the bus: leaving while the
    // host still waits for the answer would fail the request that caused it.
    spec.leaveAfterResetMs = 200;
    std::string error;
    sim::DeviceMemory memory;
    {
        std::optional<usb::UsbBridge> bridge;
        {
            // A late answer's write to ep0 waits until the host's next request, which may never
            // come: only a stop signal taken by this thread ends it, so the model's timeline
            // thread, which the bridge starts, must not take them.
            const target::StopSignalsHeldBack heldBack;
            bridge.emplace(spec, std::move(own.bridge));
        }
        error = bridge->run(gStop);
        memory = bridge->memory();
    }
    const int written = target::ReportMemory("tolvane-usb-target", memory, shared.memoryFile);
    if (!error.empty()) {
        std::fprintf(stderr, "tolvane-usb-target: %s\n", error.c_str());
        return 71;
    }
    return written;
}
