#include "update/update_verdict.h"

#include "dfu_constants.h"
#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/phase_keys.h"
#include "output/text_format.h"
#include "result_message.h"
#include "sha256.h"
#include "text.h"
#include "versions/release_number.h"

#include <array>

namespace tolvane::cli {

std::string MessageFor(Command command, ResultCode code, const Options& options,
                       const DownloadJob& job) {
    if (code == DFU_SUCCESS || code == DFU_ALREADY_IN_DFU) {
        switch (command) {
            case Command::ResetToIsp:
                return code == DFU_ALREADY_IN_DFU ? "The device is already in its boot loader."
                                                  : "The device is in its boot loader.";
            case Command::Download:
                return "Image downloaded and verified: " + std::to_string(job.image->bytes.size()) +
                       " bytes at " + Hex(job.address, 6) + ", checksum " +
                       Hex(job.checksum & 0xFFFF, 4) + ".";
            case Command::ResetToAp:
                return "The device is back in its application.";
            default:
                break;
        }
    }
    // A step that only ever looks for the boot loader names the boot loader when it is missing.
    const bool bootLoaderOnly = TraitsOf(command).bootLoaderOnly;
    const std::uint32_t vid = bootLoaderOnly ? DFU_VENDOR_ID : options.vid.value_or(0);
    const std::uint32_t pid = bootLoaderOnly ? DFU_PRODUCT_ID_1 : options.pid.value_or(0);
    std::string text = ToUtf8(ResultMessageFor(code, vid, pid).text);
    // A result without a text of its own is named rather than shown as a bare number.
    const std::string bare = "Error code: " + std::to_string(code);
    if (const char* name = ResultCodeName(code); name && text == bare) {
        text = "Error code: " + std::string(name);
    }
    return text;
}

bool VersionNotUpdated(const CommandOutcome& outcome, const Options& options) {
    return options.imageVersion && outcome.code == DFU_SUCCESS && !outcome.skipped &&
           outcome.downloadFinished && outcome.versionAfter != options.imageVersion;
}

bool ApplicationNotBack(const CommandOutcome& outcome, const Options& options) {
    return !options.imageVersion && outcome.code == DFU_SUCCESS && !outcome.skipped &&
           outcome.applicationNotBack;
}

bool HeldByAnotherProcess(const CommandOutcome& outcome) {
    return outcome.code == kErrorBusy;
}

int VerdictExitCode(const CommandOutcome& outcome, const Options& options) {
    if (HeldByAnotherProcess(outcome)) return kExitDeviceBusy;
    if (outcome.versionRefused) return kExitVersionRefused;
    if (ApplicationNotBack(outcome, options)) return kExitApplicationNotBack;
    return VersionNotUpdated(outcome, options) ? kExitVersionNotUpdated : ExitCodeFor(outcome.code);
}

std::string VerdictResult(const CommandOutcome& outcome, const Options& options) {
    if (outcome.skipped) return kSkippedResult;
    if (outcome.versionRefused) return outcome.versionRefused->result;
    if (HeldByAnotherProcess(outcome)) return kDeviceBusyResult;
    if (VersionNotUpdated(outcome, options)) return kVersionNotUpdatedResult;
    if (ApplicationNotBack(outcome, options)) return kApplicationNotBackResult;
    return ResultName(outcome.code);
}

std::string VerdictMessage(Command command, const CommandOutcome& outcome, const Options& options,
                           const DownloadJob& job) {
    if (outcome.skipped) {
        return "Skipped: the device runs " + ReleaseText(*outcome.versionBefore) + " already.";
    }
    if (HeldByAnotherProcess(outcome)) return kDeviceBusyText;
    if (outcome.versionRefused) return outcome.versionRefused->message;
    if (ApplicationNotBack(outcome, options)) return kApplicationNotBackText;
    if (VersionNotUpdated(outcome, options)) {
        const std::string now =
            outcome.versionAfter ? "the application reports " + ReleaseText(*outcome.versionAfter)
                                 : "no application came back within 30 s";
        return std::string(kVersionNotUpdatedText) + ": " + now + ", the image is " +
               ReleaseText(*options.imageVersion) + ".";
    }
    return MessageFor(command, outcome.code, options, job);
}

Json ReleaseJson(const std::optional<std::uint16_t>& bcd) {
    return bcd ? Json(ReleaseText(*bcd)) : Json(nullptr);
}

void AddVersionsAndPhases(Json& object, const CommandOutcome& outcome) {
    object["version_before"] = ReleaseJson(outcome.versionBefore);
    object["version_after"] = ReleaseJson(outcome.versionAfter);
    const auto ms = [](const std::optional<std::uint64_t>& value) {
        return value ? Json(*value) : Json(nullptr);
    };
    const PhaseTimes& phases = outcome.phases;
    // In the order of the keys the station report reads back.
    const std::array<const std::optional<std::uint64_t>*, kPhaseCount> times{
        &phases.enterMs, &phases.waitMs, &phases.downloadMs, &phases.verifyMs, &phases.returnMs};
    Json phaseMs = Json::object();
    for (std::size_t i = 0; i < kPhaseCount; ++i) phaseMs[kPhaseKeys[i]] = ms(*times[i]);
    object["phase_ms"] = std::move(phaseMs);
}

void AddImageFields(Json& object, const DownloadJob& job) {
    object["image_sha256"] = job.image ? Json(job.sha256) : Json(nullptr);
    object["image_size"] = job.image ? Json(job.image->bytes.size()) : Json(nullptr);
}

void SetImageIdentity(DownloadJob& job, Json& object) {
    if (job.image) job.sha256 = record::Sha256Hex(job.image->bytes);
    AddImageFields(object, job);
}

}  // namespace tolvane::cli
