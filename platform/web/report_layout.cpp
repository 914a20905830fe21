#include "report_layout.h"

#include <algorithm>

namespace tolvane::web {

std::uint16_t ReportKindLayout::length() const {
    std::uint16_t longest = 0;
    bool any = false;
    for (const Report& report : reports) {
        longest = std::max(longest, report.bytes);
        any = true;
    }
    return any ? static_cast<std::uint16_t>(longest + 1) : 0;
}

const ReportKindLayout::Report* ReportKindLayout::find(std::uint8_t id) const {
    for (const Report& report : reports) {
        if (report.id == id) return &report;
    }
    return nullptr;
}

bool ReportLayout::usesIds() const {
    for (const ReportKindLayout* kind : {&feature, &output, &input}) {
        for (const auto& report : kind->reports) {
            if (report.id != 0) return true;
        }
    }
    return false;
}

HidCapabilities ReportLayout::capabilities() const {
    return HidCapabilities{input.length(), output.length(), feature.length()};
}

std::optional<ReportLayout> ReportLayout::Parse(std::span<const std::uint32_t> words) {
    if (words.size() < 3) return std::nullopt;
    ReportLayout layout;
    layout.vendorId = static_cast<std::uint16_t>(words[0]);
    layout.productId = static_cast<std::uint16_t>(words[1]);
    layout.collections = words[2];
    std::size_t at = 3;
    for (ReportKindLayout* kind : {&layout.feature, &layout.output, &layout.input}) {
        if (at >= words.size()) return std::nullopt;
        const std::uint32_t count = words[at++];
        if (count > (words.size() - at) / 2) return std::nullopt;
        for (std::uint32_t i = 0; i < count; ++i, at += 2) {
            kind->reports.push_back({static_cast<std::uint8_t>(words[at]),
                                     static_cast<std::uint16_t>(std::min(words[at + 1], 0xFFFEu))});
        }
    }
    return layout;
}

SysError CheckReport(const ReportKindLayout& kind, std::span<const std::uint8_t> report,
                     bool output) {
    const std::uint16_t length = kind.length();
    if (output && length == 0) return kErrorInvalidFunction;
    if (report.empty()) return kErrorInvalidParameter;
    if (report.size() != length) {
        return output && report.size() > length ? kErrorInvalidUserBuffer : kErrorInvalidParameter;
    }
    return kind.find(report[0]) ? 0 : kErrorInvalidParameter;
}

}  // namespace tolvane::web
