// tolvane-uhid-target: the simulator's virtual target as a device of the kernel's HID stack, made
// through /dev/uhid, so that hidraw, udev and every HID program on the machine see it. Runs until
// SIGINT or SIGTERM; then writes what the device received to --memory-file, if given.
#include "stop_signals.h"
#include "target_command_line.h"
#include "uhid_bridge.h"
#include "virtual_target.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace tolvane;

constexpr const char* kUsageHead = R"(usage: tolvane-uhid-target [OPTION...]
Makes the virtual target (application 5C3B:0326, boot loader 5C3B:030B) a HID device of this
kernel through /dev/uhid, until SIGINT or SIGTERM.
  --port CHAIN            port chain below the root hub (default 1): HID_PHYS
                          usb-0000:00:14.0-CHAIN/input0 (and the serial's default, UHID-CHAIN)
)";
constexpr const char* kUsageTail =
    R"(  --refuse-report K       the boot loader stalls the K-th data report, every time
  --hold-report K:MS      the boot loader takes the K-th data report, then answers it MS ms
                          later (past 5 s the kernel has given up on it)
)";

volatile std::sig_atomic_t gStop = 0;

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "%s%s%s", kUsageHead, target::kSharedUsage, kUsageTail);
}

// The uhid target's own options; false for an unknown option or a bad value.
bool TakeOwnOption(int argc, char** argv, int& i, target::SharedTargetOptions& shared,
                   uhid::BridgeOptions& bridge) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    std::uint32_t n = 0;
    if (arg == "--port" && value && *value) {
        bridge.portChain = argv[++i];
        return true;
    }
    if (arg == "--refuse-report") {
        if (!target::ParseNumber(value, 10, n) || n == 0) return false;
        shared.model.refusedDataReport = n;
        ++i;
        return true;
    }
    if (arg == "--hold-report" && value) {
        const std::string_view text = value;
        const std::size_t colon = text.find(':');
        std::uint32_t ms = 0;
        if (colon == std::string_view::npos ||
            !target::ParseNumber(std::string(text.substr(0, colon)).c_str(), 10, n) || n == 0 ||
            !target::ParseNumber(std::string(text.substr(colon + 1)).c_str(), 10, ms)) {
            return false;
        }
        shared.model.heldDataReport = n;
        shared.model.holdMs = ms;
        ++i;
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (target::WantsHelp(argc, argv)) {
        PrintUsage(stdout);
        return 0;
    }
    target::SharedTargetOptions shared;
    uhid::BridgeOptions bridgeOptions;
    for (int i = 1; i < argc; ++i) {
        const int at = i;
        const target::OptionTaken taken = target::TakeSharedOption(argc, argv, i, shared);
        if (taken == target::OptionTaken::Yes) continue;
        if (taken == target::OptionTaken::No &&
            TakeOwnOption(argc, argv, i, shared, bridgeOptions)) {
            continue;
        }
        std::fprintf(stderr, "tolvane-uhid-target: bad option or value: %s\n", argv[at]);
        PrintUsage(stderr);
        return 64;
    }
    bridgeOptions.serial = shared.serial;
    bridgeOptions.application = shared.application;
    shared.model.paced = true;
    shared.model.reportPaceMs = 0;  // the kernel and the bus set the pace

    auto device = uhid::UhidDevice::Open();
    if (!device) {
        std::fprintf(stderr, "tolvane-uhid-target: cannot open /dev/uhid: %s\n",
                     std::strerror(errno));
        return 69;
    }
    target::CatchStopSignals(gStop);

    sim::DeviceSpec spec = sim::VirtualTarget::specFor(shared.model);
    spec.port = bridgeOptions.portChain;
    spec.application.productId = shared.applicationPid;
    // A USB device answers the reset's control transfer, then drops off the bus: leaving while
    // the kernel still waits for the answer would fail the request that caused it.
    spec.leaveAfterResetMs = 200;
    std::optional<uhid::UhidBridge> bridge;
    {
        const target::StopSignalsHeldBack heldBack;  // the model's timeline thread starts here
        bridge.emplace(spec, bridgeOptions, std::move(device));
    }
    const int error = bridge->run(gStop);
    const int written =
        target::ReportMemory("tolvane-uhid-target", bridge->memory(), shared.memoryFile);
    if (error != 0) {
        std::fprintf(stderr, "tolvane-uhid-target: the kernel refused the device: %s\n",
                     std::strerror(error));
        return 71;
    }
    return written;
}
