// Report descriptors for the virtual target's identities: one vendor collection whose reports
// have the lengths of the simulated interface, optionally with report IDs, optionally beside a
// keyboard collection (a composite device).
#pragma once

#include "device_spec.h"

#include <cstdint>
#include <vector>

namespace tolvane::uhid {

// Report IDs of an application that numbers its reports.
inline constexpr std::uint8_t kKeyboardReportId = 0x01;
inline constexpr std::uint8_t kVendorInputReportId = 0x02;
inline constexpr std::uint8_t kVendorOutputReportId = 0x0C;
inline constexpr std::uint8_t kVendorFeatureReportId = 0x40;

struct DescriptorShape {
    bool numbered = false;   // every report carries a report ID (the IDs above)
    bool composite = false;  // a keyboard collection before the vendor collection; numbered
};

// The descriptor of an interface whose report lengths (report-ID byte included, as Windows counts
// them) are those of `lengths`; a length of 0 or 1 makes no report of that kind.
std::vector<std::uint8_t> BuildReportDescriptor(const sim::InterfaceSpec& lengths,
                                                DescriptorShape shape);

}  // namespace tolvane::uhid
