// Report lengths from a HID report descriptor, counted as Windows' HidP_GetCaps counts them for
// each top-level collection, which Windows presents as an interface of its own.
#pragma once

#include "hid_bus.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tolvane::hidraw {

// One entry per top-level collection, in the order of the descriptor: the longest input, output
// and feature report of that collection in bytes, each including the report-identifier byte
// (report 0 where the descriptor has no Report ID items); 0 for a kind with no report. Every main
// item adds Report Size times Report Count bits to the report of the current Report ID in the
// current top-level collection; an item of no bits (a count or size of 0) makes no report. Main
// items outside every collection count to the collection before them, or to the first one when
// none came before; a descriptor without any collection answers one entry for all its items.
// Push and Pop save and restore the global state. Lengths beyond 0xFFFF are answered as 0xFFFF.
// Long items are skipped. Answers nothing for a descriptor that ends inside an item or pops more
// than it pushed; no byte outside `descriptor` is read.
std::optional<std::vector<HidCapabilities>> ReportLengthsByCollection(
    std::span<const std::uint8_t> descriptor);

// The kinds of report, in the order of CollectionReportSet::ids.
enum class ReportType : std::uint8_t { Input = 0, Output = 1, Feature = 2 };

// One top-level collection: its lengths as above, and the report IDs it has reports of, by kind
// ({0} for a kind whose reports carry no ID; empty for a kind it has none of).
struct CollectionReportSet {
    HidCapabilities lengths;
    std::array<std::vector<std::uint32_t>, 3> ids;
};

// The same reading as ReportLengthsByCollection, with the report IDs.
std::optional<std::vector<CollectionReportSet>> ReportsByCollection(
    std::span<const std::uint8_t> descriptor);

// What Windows' HID class driver answers, before anything leaves the host, for a feature or
// output report (byte 0 its ID) sent to this collection: 87 for an ID the collection has no
// report of that kind with, or a feature report of another length or a shorter output report;
// 1784 for a longer output report; 1 for output to a collection without output reports; 0 when
// the report may go.
SysError RefusalOf(const CollectionReportSet& collection, ReportType type,
                   std::span<const std::uint8_t> report);

}  // namespace tolvane::hidraw
