#include "report_rules.h"

#include <charconv>

namespace tolvane::usb {

namespace {

constexpr UsbReportKind kNamedKinds[] = {UsbReportKind::ResetFeature, UsbReportKind::ResetOutput,
                                         UsbReportKind::Data, UsbReportKind::ChecksumAnswer};

// Splits "a:b:c" into at most `max` fields; false when there are more.
bool Fields(std::string_view text, std::size_t max, std::vector<std::string_view>& out) {
    out.clear();
    for (;;) {
        const std::size_t colon = text.find(':');
        out.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) break;
        text.remove_prefix(colon + 1);
    }
    return out.size() <= max;
}

bool Number(std::string_view text, std::uint32_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

}  // namespace

const char* UsbReportKindName(UsbReportKind kind) {
    switch (kind) {
        case UsbReportKind::ResetFeature:
            return "reset-feature";
        case UsbReportKind::ResetOutput:
            return "reset-output";
        case UsbReportKind::Data:
            return "data";
        case UsbReportKind::ChecksumAnswer:
            return "checksum-answer";
        case UsbReportKind::Other:
            break;
    }
    return nullptr;
}

std::optional<UsbReportKind> UsbReportKindNamed(std::string_view name) {
    for (const UsbReportKind kind : kNamedKinds) {
        if (name == UsbReportKindName(kind)) return kind;
    }
    return std::nullopt;
}

UsbReportKind ClassifyReport(sim::Mode mode, std::uint8_t request, std::uint8_t reportType,
                             const sim::DeviceMemory& memory) {
    if (mode == sim::Mode::Application) {
        if (request != kSetReport) return UsbReportKind::Other;
        if (reportType == kReportTypeFeature) return UsbReportKind::ResetFeature;
        return reportType == kReportTypeOutput ? UsbReportKind::ResetOutput : UsbReportKind::Other;
    }
    if (reportType != kReportTypeFeature || memory.setups == 0) return UsbReportKind::Other;
    const bool allIn = memory.image.size() >= memory.announcedSize;
    if (request == kSetReport && !allIn) return UsbReportKind::Data;
    if (request == kGetReport && allIn && memory.finishQueries > 0) {
        return UsbReportKind::ChecksumAnswer;
    }
    return UsbReportKind::Other;
}

bool ParseStallRule(std::string_view text, ReportRule& rule) {
    std::vector<std::string_view> fields;
    if (!Fields(text, 2, fields)) return false;
    const auto kind = UsbReportKindNamed(fields[0]);
    rule = ReportRule{.kind = kind.value_or(UsbReportKind::Other), .action = RuleAction::Stall};
    return kind && (fields.size() < 2 || (Number(fields[1], rule.number) && rule.number > 0));
}

bool ParseLateRule(std::string_view text, ReportRule& rule) {
    std::vector<std::string_view> fields;
    if (!Fields(text, 3, fields) || fields.size() < 2) return false;
    const auto kind = UsbReportKindNamed(fields[0]);
    // Late once: the host's retry of the same report is answered in time.
    rule = ReportRule{.kind = kind.value_or(UsbReportKind::Other),
                      .action = RuleAction::Late,
                      .number = 1,
                      .once = true};
    return kind && Number(fields[1], rule.delayMs) && rule.delayMs > 0 &&
           (fields.size() < 3 || (Number(fields[2], rule.number) && rule.number > 0));
}

std::optional<ReportRule> ReportRules::strike(UsbReportKind kind, const sim::DeviceMemory& memory) {
    if (kind == UsbReportKind::Other) return std::nullopt;
    std::uint32_t& seen = seen_[static_cast<int>(kind)];
    ++seen;
    const std::uint32_t number = kind == UsbReportKind::Data ? memory.dataReports + 1 : seen;
    for (Armed& armed : rules_) {
        const ReportRule& rule = armed.rule;
        if (armed.spent || rule.kind != kind || (rule.number != 0 && rule.number != number)) {
            continue;
        }
        armed.spent = rule.once;
        return rule;
    }
    return std::nullopt;
}

}  // namespace tolvane::usb
