// Faults that only a USB device can show, chosen per kind of report: a stall (the host reads
// EPIPE at once) or an answer given late (past usbhid's 5 s the host reads ETIMEDOUT). A device
// decides from the SETUP packet and its own state alone: an OUT request's data is acknowledged as
// soon as it is read, so it cannot be refused for its content.
#pragma once

#include "device_memory.h"
#include "device_spec.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::usb {

enum class UsbReportKind : std::uint8_t {
    ResetFeature,    // application: SET_REPORT of a feature report (every reset form but C)
    ResetOutput,     // application: SET_REPORT of an output report (reset form C)
    Data,            // boot loader: SET_REPORT while announced bytes are outstanding
    ChecksumAnswer,  // boot loader: GET_REPORT once every announced byte is in
    Other,
};

// "reset-feature", "reset-output", "data", "checksum-answer"; null for Other.
const char* UsbReportKindName(UsbReportKind kind);
std::optional<UsbReportKind> UsbReportKindNamed(std::string_view name);

// HID class requests to the interface.
inline constexpr std::uint8_t kGetReport = 0x01;
inline constexpr std::uint8_t kSetReport = 0x09;
inline constexpr std::uint8_t kReportTypeOutput = 2;
inline constexpr std::uint8_t kReportTypeFeature = 3;

// What a GET_REPORT or SET_REPORT (request, wValue's high byte the report type) means to the
// device in `mode` with `memory`.
UsbReportKind ClassifyReport(sim::Mode mode, std::uint8_t request, std::uint8_t reportType,
                             const sim::DeviceMemory& memory);

enum class RuleAction : std::uint8_t { Stall, Late };

struct ReportRule {
    UsbReportKind kind = UsbReportKind::Other;
    RuleAction action = RuleAction::Stall;
    // 1 = the first report of the kind (for data, of the current download); 0: every one.
    std::uint32_t number = 0;
    std::uint32_t delayMs = 0;  // Late: how long the answer waits
    bool once = false;          // strikes at most once in the device's life
};

// Parses "KIND[:N]" (--stall-report) or "KIND:MS[:N]" (--late-report); false for bad text.
bool ParseStallRule(std::string_view text, ReportRule& rule);
bool ParseLateRule(std::string_view text, ReportRule& rule);

// The rules and their counters: which rule, if any, strikes the report about to be handled.
class ReportRules {
public:
    void add(const ReportRule& rule) { rules_.push_back({rule, false}); }
    // Counts the report (ordinal within its kind; data reports by the memory's own count) and
    // answers the rule that strikes it.
    std::optional<ReportRule> strike(UsbReportKind kind, const sim::DeviceMemory& memory);

private:
    struct Armed {
        ReportRule rule;
        bool spent = false;
    };
    std::vector<Armed> rules_;
    std::uint32_t seen_[static_cast<int>(UsbReportKind::Other) + 1] = {};
};

}  // namespace tolvane::usb
