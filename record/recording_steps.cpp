#include "recording_steps.h"

#include "dfu_constants.h"
#include "interface_acceptance.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <string>

namespace tolvane::record {
namespace {

// Whether the bytes after the report ID are `command`, then zeros only.
bool Is(const std::vector<std::uint8_t>& report, std::span<const std::uint8_t> command) {
    return report.size() > command.size() &&
           std::equal(command.begin(), command.end(), report.begin() + 1) &&
           std::all_of(report.begin() + 1 + static_cast<std::ptrdiff_t>(command.size()),
                       report.end(), [](std::uint8_t b) { return b == 0; });
}

bool IsResetCommand(const std::vector<std::uint8_t>& report) {
    static constexpr std::uint8_t kReset[] = {DFU_CMD_RESET};
    return Is(report, kReset) || Is(report, VENDOR_RESET_SEQUENCE);
}

// The start and finish query: the command, then 0x02 in byte 7.
bool IsQuery(const std::vector<std::uint8_t>& report) {
    static constexpr std::uint8_t kQuery[] = {DFU_CMD_QUERY, 0, 0, 0, 0, 0, 0x02};
    return Is(report, kQuery);
}

// The recorded identity read by the engine's own rule; a number past 16 bits is no identity.
bool IsBootLoader(std::uint64_t vid, std::uint64_t pid) {
    if (vid > 0xFFFF || pid > 0xFFFF) return false;
    HidAttributes attributes;
    attributes.vendorId = static_cast<std::uint16_t>(vid);
    attributes.productId = static_cast<std::uint16_t>(pid);
    return IsBootLoaderIdentity(attributes);
}

}  // namespace

std::vector<UpdateStep> StepsOf(const std::vector<RecordLine>& lines) {
    std::map<std::string, bool> bootLoader;  // by device number, from its attributes
    std::vector<UpdateStep> steps;
    steps.reserve(lines.size());
    UpdateStep step = UpdateStep::Finding;
    bool setupSent = false;
    for (const RecordLine& line : lines) {
        const std::string op = line.op();
        const std::string device = line.raw("d").value_or("");
        if (op == "attributes" && !line.has("e")) {
            bootLoader[device] =
                IsBootLoader(line.numberOf("vid").value_or(0), line.numberOf("pid").value_or(0));
        }
        const std::optional<std::vector<std::uint8_t>> sent =
            op == "set" || op == "out" ? line.bytesOf("x") : std::nullopt;
        const bool toBootLoader = bootLoader[device];
        if (step == UpdateStep::EnterBootLoader && !sent) step = UpdateStep::Waiting;
        // A data report stored whole (a full recording) may hold any bytes: during the download
        // only the finishing query is a command.
        if (sent && step == UpdateStep::Download) {
            if (setupSent && IsQuery(*sent)) step = UpdateStep::Verification;
            if (sent->size() >= 2 && (*sent)[1] == DFU_CMD_SETUP) setupSent = true;
        } else if (sent && IsResetCommand(*sent)) {
            if (toBootLoader) {
                step = UpdateStep::ResetToApplication;
            } else if (step <= UpdateStep::Waiting) {
                step = UpdateStep::EnterBootLoader;
            }
        } else if ((sent || op == "get") && toBootLoader && step < UpdateStep::Download) {
            step = UpdateStep::Download;
        }
        steps.push_back(step);
    }
    return steps;
}

}  // namespace tolvane::record
