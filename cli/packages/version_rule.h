// A package's version against the release number of the device's application, checked on each
// device before anything is sent to it: an older package is refused unless --allow-older, the
// same version unless --allow-reinstall (or skipped with --skip-current). A unit found only in its
// boot loader cannot tell its version, so the check is skipped for it, with a warning.
#pragma once

#include "options/options.h"
#include "output/run_report.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::cli {

struct VersionRefusal {
    std::string result;  // OLDER_VERSION or SAME_VERSION
    std::string expected;
    std::string found;
    std::string message;
};

// None when the device may be written (no package, the rule allows it, or no version to read).
std::optional<VersionRefusal> RefuseByVersion(const Options& options,
                                              const std::optional<std::uint16_t>& deviceVersion);

// The warning for a unit whose version could not be read, none otherwise.
std::optional<std::string> VersionUncheckedWarning(
    const Options& options, const std::optional<std::uint16_t>& deviceVersion);

// check, expected, found and key_id of the refusal.
void AddVersionRefusalFields(Json& object, const VersionRefusal& refusal, const Options& options);

}  // namespace tolvane::cli
