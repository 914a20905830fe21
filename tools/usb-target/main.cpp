// tolvane-usb-target: the simulator's virtual target as a USB device on a device controller of
// this machine (dummy_hcd's, in the test machine), made with configfs and FunctionFS, so that
// usbcore, usbhid, hidraw, udev and every HID program meet it as real hardware. Runs until SIGINT
// or SIGTERM; then writes what the device received to --memory-file, if given.
#include "usb_bridge.h"
#include "virtual_target.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tolvane;

constexpr const char* kUsage = R"(usage: tolvane-usb-target [OPTION...]
Makes the virtual target (application 5C3B:0326, boot loader 5C3B:030B) a USB HID device on a
device controller of this machine through configfs and FunctionFS (modules libcomposite, usb_f_fs;
configfs mounted), until SIGINT or SIGTERM. Each identity change unbinds the gadget, changes its
product id and binds it again, as a device that re-enumerates.
  --udc NAME              the device controller (default dummy_udc.0; see /sys/class/udc)
  --serial TEXT           the USB serial number (default USB- and the controller's number)
  --bcd HEX               the application's release number, bcdDevice (default 0100)
  --version-after HEX     the application comes back from a download with this release number
  --report-length N       every report's length, report ID byte included (default 65)
  --application-pid HEX   the application's product (default 0326)
  --boot-loader-pid HEX   030B (default) or 0332
  --starts-in-boot-loader
  --reenumeration-ms N    pause between leaving and coming back (default 1500)
  --numbered-reports      the application numbers its reports (feature 0x40, output 0x0C,
                          input 0x02) and acknowledges any other report without acting
  --composite             the application has a keyboard collection beside its own (numbered)
  --never-enters          the application leaves on a reset and never comes back
  --never-returns         after the download the boot loader leaves and the application never
                          comes back
  --refuse-report K       the boot loader stalls the K-th data report, every time
  --unplug-at K           the device vanishes at the K-th data report
  --silent-report K       the K-th data report is answered after usbhid has given up (5.5 s)
  --stall-report KIND[:N] stall the N-th report of KIND (every one without N)
  --late-report KIND:MS[:N]
                          answer the N-th (default first) report of KIND MS ms late, once
                          KIND: reset-feature, reset-output, data, checksum-answer
  --wrong-checksum        the boot loader answers a wrong checksum
  --memory-file FILE      on exit, write the image bytes the boot loader received
)";

volatile std::sig_atomic_t gStop = 0;

void OnSignal(int) {
    gStop = 1;
}

bool Number(const char* text, int base, std::uint32_t& value) {
    if (text == nullptr || *text == '\0') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, base);
    if (errno != 0 || *end != '\0' || parsed > 0xFFFFFF) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

struct Parsed {
    sim::VirtualTargetOptions model;
    usb::UsbBridgeOptions bridge;
    std::string memoryFile;
    std::uint16_t applicationPid = sim::kVirtualTargetProductId;
    std::uint16_t applicationRelease = 0x0100;
    std::optional<std::uint16_t> versionAfter;
    bool neverReturns = false;
};

// False with a message on standard error for bad usage.
bool Parse(int argc, char** argv, Parsed& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        std::uint32_t n = 0;
        auto number = [&](int base) {
            if (!Number(value, base, n)) return false;
            ++i;
            return true;
        };
        usb::ReportRule rule;
        bool ok = true;
        if (arg == "--udc" && value && *value) {
            out.bridge.udc = argv[++i];
        } else if (arg == "--serial" && value && *value) {
            out.bridge.serial = argv[++i];
        } else if (arg == "--memory-file" && value && *value) {
            out.memoryFile = argv[++i];
        } else if (arg == "--bcd") {
            ok = number(16) && n <= 0xFFFF;
            out.applicationRelease = static_cast<std::uint16_t>(n);
        } else if (arg == "--version-after") {
            ok = number(16) && n <= 0xFFFF;
            out.versionAfter = static_cast<std::uint16_t>(n);
        } else if (arg == "--report-length") {
            ok = number(10) && n >= 2 && n <= 4096;
            out.model.reportLength = static_cast<std::uint16_t>(n);
        } else if (arg == "--application-pid") {
            ok = number(16) && n > 0 && n <= 0xFFFF;
            out.applicationPid = static_cast<std::uint16_t>(n);
        } else if (arg == "--boot-loader-pid") {
            ok = number(16) && (n == 0x030B || n == 0x0332);
            out.model.bootLoaderProductId = static_cast<std::uint16_t>(n);
        } else if (arg == "--reenumeration-ms") {
            ok = number(10);
            out.model.reenumerationMs = n;
        } else if (arg == "--refuse-report") {
            ok = number(10) && n > 0;
            out.bridge.rules.add({.kind = usb::UsbReportKind::Data, .number = n});
        } else if (arg == "--silent-report") {
            ok = number(10) && n > 0;
            out.bridge.rules.add({.kind = usb::UsbReportKind::Data,
                                  .action = usb::RuleAction::Late,
                                  .number = n,
                                  .delayMs = 5500,
                                  .once = true});
        } else if (arg == "--stall-report") {
            ok = value && usb::ParseStallRule(value, rule) && ++i;
            out.bridge.rules.add(rule);
        } else if (arg == "--late-report") {
            ok = value && usb::ParseLateRule(value, rule) && ++i;
            out.bridge.rules.add(rule);
        } else if (arg == "--unplug-at") {
            ok = number(10) && n > 0;
            out.model.unplugAtDataReport = n;
        } else if (arg == "--starts-in-boot-loader") {
            out.model.startsInBootLoader = true;
        } else if (arg == "--never-enters") {
            out.model.neverEntersBootLoader = true;
        } else if (arg == "--never-returns") {
            out.neverReturns = true;
        } else if (arg == "--wrong-checksum") {
            out.model.wrongChecksum = true;
        } else if (arg == "--numbered-reports") {
            out.bridge.application.numbered = true;
        } else if (arg == "--composite") {
            out.bridge.application.composite = true;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "tolvane-usb-target: bad option or value: %s\n%s", argv[i],
                         kUsage);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    Parsed parsed;
    if (!Parse(argc, argv, parsed)) return 64;
    parsed.model.paced = true;
    parsed.model.reportPaceMs = 0;  // the host and the bus set the pace

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sim::DeviceSpec spec = sim::VirtualTarget::specFor(parsed.model);
    spec.application.productId = parsed.applicationPid;
    spec.application.versionNumber = parsed.applicationRelease;
    spec.versionAfterDownload = parsed.versionAfter;
    spec.neverReturnsToApplication = parsed.neverReturns;
    // The device answers the reset's control transfer, then drops off the bus: leaving while the
    // host still waits for the answer would fail the request that caused it.
    spec.leaveAfterResetMs = 200;
    std::string error;
    sim::DeviceMemory memory;
    {
        // The stop signals must reach this thread: a late answer's write to ep0 waits until the
        // host sends its next request, which may never come, and only a signal here ends it.
        // The model's timeline thread, started by the bridge, inherits the block.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        usb::UsbBridge bridge(spec, std::move(parsed.bridge));
        pthread_sigmask(SIG_UNBLOCK, &stopSignals, nullptr);
        error = bridge.run(gStop);
        memory = bridge.memory();
    }
    std::fprintf(stderr,
                 "tolvane-usb-target: %zu bytes received at 0x%06X, checksum 0x%04X, %u entries "
                 "to the boot loader, %u to the application\n",
                 memory.image.size(), static_cast<unsigned>(memory.loadAddress),
                 static_cast<unsigned>(memory.checksum),
                 static_cast<unsigned>(memory.entriesToBootLoader),
                 static_cast<unsigned>(memory.entriesToApplication));
    if (!parsed.memoryFile.empty()) {
        std::ofstream file(parsed.memoryFile, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(memory.image.data()),
                   static_cast<std::streamsize>(memory.image.size()));
        if (!file) {
            std::fprintf(stderr, "tolvane-usb-target: cannot write %s\n",
                         parsed.memoryFile.c_str());
            return 74;
        }
    }
    if (!error.empty()) {
        std::fprintf(stderr, "tolvane-usb-target: %s\n", error.c_str());
        return 71;
    }
    return 0;
}
