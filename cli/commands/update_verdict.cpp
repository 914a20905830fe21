#include "update_verdict.h"

#include "command_run.h"
#include "exit_codes.h"
#include "release_number.h"
#include "sha256.h"

namespace tolvane::cli {

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
    object["phase_ms"] = {{"enter", ms(phases.enterMs)},
                          {"wait_boot_loader", ms(phases.waitMs)},
                          {"download", ms(phases.downloadMs)},
                          {"verify", ms(phases.verifyMs)},
                          {"return", ms(phases.returnMs)}};
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
