// What an engine command's outcome means for the tool once the versions are taken into account:
// a device skipped as current, and one whose returning application does not run the image's
// version ("device version not updated"), although the boot loader confirmed the checksum.
#pragma once

#include "engine_command.h"
#include "options.h"
#include "run_report.h"

#include <string>

namespace tolvane::cli {

inline constexpr const char* kVersionNotUpdatedText = "device version not updated";
inline constexpr const char* kSkippedResult = "SKIPPED";
inline constexpr const char* kVersionNotUpdatedResult = "VERSION_NOT_UPDATED";

// The engine succeeded, --image-version was given, and the application that came back (if any)
// reports another release number.
bool VersionNotUpdated(const CommandOutcome& outcome, const Options& options);

int VerdictExitCode(const CommandOutcome& outcome, const Options& options);
// SKIPPED, VERSION_NOT_UPDATED, or the result code's name.
std::string VerdictResult(const CommandOutcome& outcome, const Options& options);
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
