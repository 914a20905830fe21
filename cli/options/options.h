// What the command line asks for, once parsed and checked.
#pragma once

#include "dfu_constants.h"
#include "image/image_file.h"
#include "options/package_options.h"
#include "options/record_options.h"
#include "options/slot_names.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

enum class Command {
    Update,
    ResetToIsp,
    Download,
    ResetToAp,
    List,
    InstallUdevRules,
    Station,
    Report,      // reads station logs; no device
    SlotsTeach,  // names ports by the order devices are plugged in
};

// Where install-udev-rules puts its files unless told otherwise.
inline constexpr const char* kDefaultUdevRulesDir = "/etc/udev/rules.d";

// How the built-in virtual target is shaped.
struct SimulationOptions {
    bool enabled = false;
    bool fast = false;                // virtual clock: no real waiting
    std::uint32_t reportLength = 65;  // every report length of both identities (a fault too)
    std::uint16_t bootLoaderPid = DFU_PRODUCT_ID_1;
    bool inBootLoader = false;  // the target starts in its boot loader
    bool neverEnters = false;   // takes the reset command but never shows its boot loader
    bool neverReturns = false;  // the boot loader leaves on its reset, no application comes back
    std::optional<std::uint32_t> refuseReport;  // the K-th data report (1-based) is always refused
    std::optional<std::uint32_t> unplugAt;      // the device leaves at the K-th data report
    // The boot loader takes the K-th data report, then holds its status stage MS ms.
    struct ReportHold {
        std::uint32_t report = 0;
        std::uint32_t ms = 0;
    };
    std::optional<ReportHold> holdReport;
    bool wrongChecksum = false;                // the boot loader reports a wrong checksum
    bool refuseReset = false;                  // the application refuses every form of reset
    bool bootLoaderRefusesReset = false;       // the boot loader refuses its reset
    std::uint32_t devices = 1;                 // identical targets, one per port
    std::optional<std::uint32_t> faultDevice;  // the fault options shape the K-th device only
    std::uint32_t arrivalIntervalMs = 0;       // MS > 0: the K-th device is plugged in K * MS late
    std::uint32_t leaveDelayMs = 0;            // after a reset the device stays this long first
    std::uint16_t version = 0x0100;            // the application's release number (BCD)
    // The release number of the application that comes back after a download (a fault, like the
    // others); none: that of the image when --image-version gives it, else unchanged.
    std::optional<std::uint16_t> versionAfter;
    std::optional<std::uint16_t> imageVersion;
};

struct Options {
    Command command = Command::Update;
    std::string imagePath;
    ImageFormat imageFormat = ImageFormat::Auto;
    std::optional<std::uint32_t> vid;
    std::optional<std::uint32_t> pid;
    std::optional<std::uint32_t> address;
    std::optional<std::uint32_t> checksum;
    bool json = false;
    bool verbose = false;
    bool quiet = false;
    std::optional<std::string> port;     // only the device at this port
    bool all = false;                    // update: every matching device at once
    std::string logPath;                 // station: one JSON line per device
    std::optional<std::uint32_t> count;  // station: stop after this many devices
    SimulationOptions simulation;
    std::optional<std::string> rulesDir;  // install-udev-rules: --rules-dir
    RecordOptions record;                 // --record, --record-full, --replay
    // update and station: the image's release number (BCD), checked on the returning application.
    std::optional<std::uint16_t> imageVersion;
    bool skipCurrent = false;             // a device already at imageVersion is not updated
    std::string slotsPath;                // --slots: the names of the ports
    SlotNames slots;                      // read from slotsPath when the run starts
    std::vector<std::string> reportLogs;  // report: the station logs to read
    std::string htmlPath;                 // report: the page to write
    std::string slotsOut;                 // slots teach: the file to write
    PackageOptions package;               // update and station given a firmware package
};

const char* CommandName(Command command) noexcept;
// Whether the command works on one device, found by its own search: the bus is pinned to the
// first device written to, and a replay can follow its calls in one order.
bool WorksOnOneDevice(const Options& options) noexcept;

}  // namespace tolvane::cli
