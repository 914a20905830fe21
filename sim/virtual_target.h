// A ready-made simulated target for the demonstrations: the application 0x5C3B:0x0326 that a
// reset sends into its boot loader 0x5C3B:0x030B (or 0x0332) and back. It runs on the real clock
// (with real system services: notifications reach the real window from the timeline's thread) or
// on a given timeline such as the simulated services' virtual clock.
#pragma once

#include "device_memory.h"
#include "device_spec.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "transcript.h"

#include <cstdint>
#include <memory>
#include <span>

namespace tolvane::sim {

inline constexpr std::uint16_t kVirtualTargetVendorId = DFU_VENDOR_ID;
inline constexpr std::uint16_t kVirtualTargetProductId = 0x0326;

struct VirtualTargetOptions {
    std::uint16_t reportLength = 65;  // every report length of both identities
    std::uint16_t bootLoaderProductId = DFU_PRODUCT_ID_1;
    bool startsInBootLoader = false;
    bool neverEntersBootLoader = false;      // the application leaves and never comes back
    bool neverReturnsToApplication = false;  // the boot loader leaves, no application comes back
    std::uint32_t refusedDataReport = 0;     // K > 0: the K-th data report is always refused
    std::uint32_t unplugAtDataReport = 0;    // K > 0: the device vanishes at the K-th data report
    bool unplugAcknowledged = false;         // ...after acknowledging it, as a USB device does
    std::uint32_t heldDataReport = 0;        // K > 0: the K-th data report is taken, then held
    std::uint32_t holdMs = 0;                // for this long before its transfer ends
    bool wrongChecksum = false;
    // Paced: each identity change takes reenumerationMs and each report reportPaceMs, so that a
    // 64 KiB image takes a few seconds. Fast: no pacing at all.
    bool paced = true;
    std::uint32_t reenumerationMs = 1500;
    std::uint32_t reportPaceMs = 2;
};

class VirtualTarget {
public:
    // On the real clock, with a transcript of its own.
    explicit VirtualTarget(const VirtualTargetOptions& options);
    // On the given timeline and transcript.
    VirtualTarget(Timeline& timeline, Transcript& transcript, const VirtualTargetOptions& options);
    VirtualTarget(const VirtualTarget&) = delete;
    VirtualTarget& operator=(const VirtualTarget&) = delete;

    // The device these options describe.
    static DeviceSpec specFor(const VirtualTargetOptions& options);

    HidBus& bus() { return bus_; }
    SimBus& simBus() { return bus_; }
    SimDevice& device() { return device_; }
    Transcript& transcript() { return transcript_; }

    // What the boot loader has received (image bytes, load address, checksum).
    DeviceMemory memory() const { return device_.memory(); }
    // Whether the bytes received are exactly `image`.
    bool received(std::span<const std::uint8_t> image) const;

private:
    std::unique_ptr<RealTimeline> ownTimeline_;
    std::unique_ptr<Transcript> ownTranscript_;
    Transcript& transcript_;
    SimBus bus_;
    SimDevice& device_;
};

}  // namespace tolvane::sim
