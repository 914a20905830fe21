// What an engine command's outcome means for the tool once the versions and the device lock are
// taken into account: a device skipped as current, one whose returning application does not run
// the image's version ("device version not updated") although the boot loader confirmed the
// checksum, and one that another tool process holds (nothing was sent to it).
#pragma once

#include "options/options.h"
#include "output/run_report.h"
#include "update/engine_command.h"

#include <string>

namespace tolvane::cli {

inline constexpr const char* kVersionNotUpdatedText = "device version not updated";
inline constexpr const char* kSkippedResult = "SKIPPED";
inline constexpr const char* kVersionNotUpdatedResult = "VERSION_NOT_UPDATED";
inline constexpr const char* kDeviceBusyResult = "DEVICE_BUSY";
inline constexpr const char* kApplicationNotBackResult = "APPLICATION_NOT_BACK";
inline constexpr const char* kApplicationNotBackText =
    "the image was accepted, but the application did not come back within 30 s";
inline constexpr const char* kDeviceBusyText =
    "another tolvane process is updating this device: nothing was sent to it";

// The engine succeeded, --image-version was given, and the application that came back (if any)
// reports another release number.
bool VersionNotUpdated(const CommandOutcome& outcome, const Options& options);
// The engine succeeded, no --image-version was given (which names this case itself), and no
// application came back after the reset: the boot loader left, but the update is not shown done.
bool ApplicationNotBack(const CommandOutcome& outcome, const Options& options);
// Another tool process held the device, so nothing was sent to it.
bool HeldByAnotherProcess(const CommandOutcome& outcome);

// The final text for a command's result: the update run's texts, and for the single steps their
// own success texts.
std::string MessageFor(Command command, ResultCode code, const Options& options,
                       const DownloadJob& job);

int VerdictExitCode(const CommandOutcome& outcome, const Options& options);
// SKIPPED, DEVICE_BUSY, VERSION_NOT_UPDATED, APPLICATION_NOT_BACK, or the result code's name.
std::string VerdictResult(const CommandOutcome& outcome, const Options& options);
// The one wording of an outcome, for a single update, --all and the station alike.
std::string VerdictMessage(Command command, const CommandOutcome& outcome, const Options& options,
                           const DownloadJob& job);

// "1.02", or null when unknown.
Json ReleaseJson(const std::optional<std::uint16_t>& bcd);
// version_before, version_after and phase_ms of one device's update.
void AddVersionsAndPhases(Json& object, const CommandOutcome& outcome);
// image_sha256 and image_size; both null without an image.
void AddImageFields(Json& object, const DownloadJob& job);
// Computes the job's SHA-256 and adds the image's fields to `object`.
void SetImageIdentity(DownloadJob& job, Json& object);

}  // namespace tolvane::cli
