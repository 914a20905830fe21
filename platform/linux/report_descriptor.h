// Report lengths from a HID report descriptor, counted as Windows' HidP_GetCaps counts them.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tolvane::hidraw {

// The longest input, output and feature report of the descriptor in bytes, each including the
// report-identifier byte (report 0 where the descriptor has no Report ID items); 0 for a kind with
// no report. Every main item adds Report Size times Report Count bits to the report of the
// current Report ID; Push and Pop save and restore the global state. Lengths beyond 0xFFFF are
// answered as 0xFFFF. Long items are skipped. Answers nothing for a descriptor that ends inside an
// item or pops more than it pushed; no byte outside `descriptor` is read.
std::optional<HidCapabilities> ReportLengthsFromDescriptor(
    std::span<const std::uint8_t> descriptor);

}  // namespace tolvane::hidraw
