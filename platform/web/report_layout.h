// The reports of one top-level collection as WebHID describes them, and the checks the Windows
// HID class driver makes before anything leaves the host, which Chromium does not make: a report
// of the interface's length exactly (identifier byte included), an identifier the collection has
// such a report for.
#pragma once

#include "hid_bus.h"
#include "sys_error.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tolvane::web {

struct ReportKindLayout {
    struct Report {
        std::uint8_t id = 0;
        std::uint16_t bytes = 0;  // without the identifier byte
    };
    std::vector<Report> reports;

    // The interface's length of this kind: the longest report plus the identifier byte; 0 when
    // there is none.
    std::uint16_t length() const;
    const Report* find(std::uint8_t id) const;
};

struct ReportLayout {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint32_t collections = 0;  // top-level collections of the device
    ReportKindLayout feature;
    ReportKindLayout output;
    ReportKindLayout input;

    // Whether the device numbers its reports; without, WebHID leaves identifier 0 out of the
    // reports it receives.
    bool usesIds() const;
    HidCapabilities capabilities() const;

    // Reads web_hid.js's description: vendor, product, collections, then for feature, output and
    // input reports a count and (identifier, bytes) pairs. None when it is cut short.
    static std::optional<ReportLayout> Parse(std::span<const std::uint32_t> words);
};

// 0 when `report` may be sent as a report of this kind, else kErrorInvalidParameter (empty, wrong
// length, unknown identifier) or, for an output report longer than the interface's,
// kErrorInvalidUserBuffer; kErrorInvalidFunction for an output report where there is none.
SysError CheckReport(const ReportKindLayout& kind, std::span<const std::uint8_t> report,
                     bool output);

}  // namespace tolvane::web
