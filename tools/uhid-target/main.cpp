// tolvane-uhid-target: the simulator's virtual target as a device of the kernel's HID stack, made
// through /dev/uhid, so that hidraw, udev and every HID program on the machine see it. Runs until
// SIGINT or SIGTERM; then writes what the device received to --memory-file, if given.
#include "uhid_bridge.h"
#include "virtual_target.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

namespace {

using namespace tolvane;

constexpr const char* kUsage = R"(usage: tolvane-uhid-target [OPTION...]
Makes the virtual target (application 5C3B:0326, boot loader 5C3B:030B) a HID device of this
kernel through /dev/uhid, until SIGINT or SIGTERM.
  --port CHAIN            port chain below the root hub (default 1): HID_PHYS
                          usb-0000:00:14.0-CHAIN/input0
  --serial TEXT           serial number (default UHID-CHAIN)
  --report-length N       every report's length, report ID byte included (default 65)
  --application-pid HEX   the application's product (default 0326)
  --boot-loader-pid HEX   030B (default) or 0332
  --starts-in-boot-loader
  --reenumeration-ms N    pause between leaving and coming back (default 1500)
  --numbered-reports      the application numbers its reports (feature 0x40, output 0x0C,
                          input 0x02) and acknowledges any other report without acting
  --composite             the application has a keyboard collection beside its own (numbered)
  --never-enters          the application leaves on a reset and never comes back
  --refuse-report K       the boot loader stalls the K-th data report, every time
  --unplug-at K           the device vanishes at the K-th data report
  --hold-report K:MS      the boot loader takes the K-th data report, then answers it MS ms
                          later (past 5 s the kernel has given up on it)
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
    uhid::BridgeOptions bridge;
    std::string memoryFile;
    std::uint16_t applicationPid = sim::kVirtualTargetProductId;
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
        bool ok = true;
        if (arg == "--port" && value && *value) {
            out.bridge.portChain = argv[++i];
        } else if (arg == "--serial" && value && *value) {
            out.bridge.serial = argv[++i];
        } else if (arg == "--memory-file" && value && *value) {
            out.memoryFile = argv[++i];
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
            out.model.refusedDataReport = n;
        } else if (arg == "--unplug-at") {
            ok = number(10) && n > 0;
            out.model.unplugAtDataReport = n;
        } else if (arg == "--hold-report" && value) {
            const std::string_view text = value;
            const std::size_t colon = text.find(':');
            std::uint32_t ms = 0;
            ok = colon != std::string_view::npos &&
                 Number(std::string(text.substr(0, colon)).c_str(), 10, n) && n > 0 &&
                 Number(std::string(text.substr(colon + 1)).c_str(), 10, ms);
            out.model.heldDataReport = n;
            out.model.holdMs = ms;
            ++i;
        } else if (arg == "--starts-in-boot-loader") {
            out.model.startsInBootLoader = true;
        } else if (arg == "--never-enters") {
            out.model.neverEntersBootLoader = true;
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
            std::fprintf(stderr, "tolvane-uhid-target: bad option or value: %s\n%s", argv[i],
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
    parsed.model.reportPaceMs = 0;  // the kernel and the bus set the pace

    auto device = uhid::UhidDevice::Open();
    if (!device) {
        std::fprintf(stderr, "tolvane-uhid-target: cannot open /dev/uhid: %s\n",
                     std::strerror(errno));
        return 69;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    sim::DeviceSpec spec = sim::VirtualTarget::specFor(parsed.model);
    spec.port = parsed.bridge.portChain;
    spec.application.productId = parsed.applicationPid;
    // A USB device answers the reset's control transfer, then drops off the bus: leaving while
    // the kernel still waits for the answer would fail the request that caused it.
    spec.leaveAfterResetMs = 200;
    uhid::UhidBridge bridge(spec, parsed.bridge, std::move(device));
    const int error = bridge.run(gStop);
    const sim::DeviceMemory memory = bridge.memory();
    std::fprintf(stderr,
                 "tolvane-uhid-target: %zu bytes received at 0x%06X, checksum 0x%04X, %u entries "
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
            std::fprintf(stderr, "tolvane-uhid-target: cannot write %s\n",
                         parsed.memoryFile.c_str());
            return 74;
        }
    }
    if (error != 0) {
        std::fprintf(stderr, "tolvane-uhid-target: the kernel refused the device: %s\n",
                     std::strerror(error));
        return 71;
    }
    return 0;
}
