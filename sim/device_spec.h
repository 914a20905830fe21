// How a simulated device looks and behaves: its identities (application and boot loader), their
// interfaces, report lengths, the reset forms each accepts, timing and injected faults.
#pragma once

#include "dfu_constants.h"
#include "fault.h"
#include "hid_bus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::sim {

// What a report means to the device that receives it. Refusal and unplug rules name these.
enum class ReportKind : std::uint8_t {
    Any,
    ResetFeature00,  // feature report ID 0x00 carrying a reset (0x44 or the vendor sequence)
    ResetFeature40,  // feature report ID 0x40 carrying 0x44
    ResetOutput0C,   // output report ID 0x0C carrying 0x44
    StartQuery,      // boot loader: 0x22 .. 0x02 before a setup
    StartAnswer,     // boot loader: the Get after the start query
    Setup,           // boot loader: 0x33, address, size
    Data,            // boot loader: a report while announced bytes are outstanding
    FinishQuery,     // boot loader: 0x22 .. 0x02 after the data
    ChecksumAnswer,  // boot loader: the Get after the finish query
    OtherFeatureSet,
    OtherFeatureGet,
    OtherOutput,
};

const char* ReportKindName(ReportKind kind);

// Reset forms, as bits of InterfaceSpec::acceptedResets.
enum ResetForm : std::uint32_t {
    kResetFeature00 = 1,  // 0x00 0x44
    kResetVendor = 2,     // 0x00 0x55 0x23 0x01 0x09 0x00 0x86
    kResetFeature40 = 4,  // 0x40 0x44
    kResetOutput0C = 8,   // 0x0C 0x44 (output report)
    kResetAll = 15,
};

// Refuses reports of one kind: `fault.times` attempts (or always) fail with `fault.error`. With
// `reportNumber` set, only the attempts at that report of the kind (1 = the first of the kind,
// counted by reports accepted before it; for data reports, within the current download).
struct Refusal {
    ReportKind kind = ReportKind::Any;
    Fault fault = Fault::always(kErrorGenFailure);
    std::uint32_t reportNumber = 0;  // 0: any
};

// The device vanishes from the bus when the given report of a kind arrives. That report's transfer
// breaks with 31 (ERROR_GEN_FAILURE), as the kernel answers a request in flight on a device that
// leaves; every later call on the handles that were open fails with 1167. With `acknowledged`, a
// report the host sends (set feature, write output) succeeds instead and the device leaves without
// acting on it: over USB the data stage of an OUT request is acknowledged when the device takes
// the bytes, before its firmware sees them.
struct UnplugRule {
    ReportKind kind = ReportKind::Any;
    std::uint32_t reportNumber = 1;
    bool acknowledged = false;
};

// The device takes the given report of a kind and then holds its status stage for `ms`: the
// transfer ends after that time, or at the handle's transfer limit when that comes first, and
// then fails with 995 (ERROR_OPERATION_ABORTED) as a cancelled transfer does, the report taken
// all the same. A boot loader busy erasing or writing its memory does this.
struct HoldRule {
    ReportKind kind = ReportKind::Data;
    std::uint32_t reportNumber = 1;
    std::uint32_t ms = 0;
};

struct InterfaceSpec {
    // Empty: made from the identifiers, e.g.
    // \\?\hid#vid_5c3b&pid_030b#6&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}
    std::u16string path{};
    // Inserted after "pid_xxxx" in a made path, e.g. u"&col01" or u"&mi_00&col02".
    std::u16string collectionSuffix{};
    std::uint16_t inputReportLength = 65;
    std::uint16_t outputReportLength = 65;
    std::uint16_t featureReportLength = 65;

    bool readWriteOpenFails = false;  // opening with read-write access fails; with none it works
    bool openFails = false;           // every open fails
    SysError openError = kErrorAccessDenied;
    SysError attributesError = 0;    // getAttributes fails with this
    SysError capabilitiesError = 0;  // getCapabilities fails with this
    bool detailFails = false;        // the list's detail record cannot be read

    std::uint32_t acceptedResets = kResetAll;       // forms that make the device switch
    SysError resetRefusedError = kErrorGenFailure;  // for the other reset forms
    std::vector<Refusal> refusals{};
};

struct Identity {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0x0100;
    // In enumeration order. The device's behaviour (reset, boot loader) lives on every interface.
    std::vector<InterfaceSpec> interfaces{InterfaceSpec{}};
};

enum class Mode : std::uint8_t {
    Application,
    BootLoader,
};

struct DeviceSpec {
    Identity application{DFU_VENDOR_ID, 0x0326};
    Identity bootLoader{DFU_VENDOR_ID, DFU_PRODUCT_ID_1};
    Mode startsIn = Mode::Application;
    // A plain device (mouse, keyboard, another product) never switches: resets are ignored
    // (accepted, nothing happens) unless refused by acceptedResets or a refusal.
    bool plain = false;

    std::uint32_t appearAfterMs = 0;            // first arrival this long after it was added
    std::uint32_t leaveAfterResetMs = 0;        // 0: leaves while the reset report is answered
    std::uint32_t bootLoaderArrivalMs = 1000;   // after leaving the application
    std::uint32_t applicationArrivalMs = 1000;  // after leaving the boot loader
    bool neverEntersBootLoader = false;         // leaves the application, never comes back
    bool neverReturnsToApplication = false;     // leaves the boot loader, never comes back
    bool duplicateArrivals = false;             // every arrival is notified twice
    bool queryRemoveFirst = false;              // 0x8001 before each removal notification
    bool wrongChecksum = false;                 // the boot loader answers a wrong checksum
    std::uint32_t reportPaceMs = 0;             // time each report takes
    // The application comes back with this release number after a download; none: unchanged.
    std::optional<std::uint16_t> versionAfterDownload{};
    std::vector<UnplugRule> unplugRules{};
    std::vector<HoldRule> holdRules{};
    // Where the device sits on the bus, the same for both identities; empty: "1-<number>", the
    // number being its place in the order devices were added.
    std::string port{};
    // The serial number both identities report; empty: "SIM" and the number in six digits.
    std::u16string serial{};

    // An application device with the given identity and one interface.
    static DeviceSpec target(std::uint16_t vendorId, std::uint16_t productId);
    // A device that never switches, e.g. a mouse with no feature reports.
    static DeviceSpec plainDevice(std::uint16_t vendorId, std::uint16_t productId,
                                  std::uint16_t featureReportLength);
    // A device that is in its boot loader now (pid 0x030B or 0x0332).
    static DeviceSpec bootLoaderOnly(std::uint16_t productId = DFU_PRODUCT_ID_1);

    const Identity& identity(Mode mode) const {
        return mode == Mode::Application ? application : bootLoader;
    }
    Identity& identity(Mode mode) { return mode == Mode::Application ? application : bootLoader; }
};

}  // namespace tolvane::sim
