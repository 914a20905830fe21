// A package refused before anything is sent: the exit code, the JSON result, and the check that
// failed with what it expected and found, and the key id when there is one.
#pragma once

#include "output/run_report.h"
#include "package/package_fault.h"
#include "package/package_file.h"
#include "sys_error.h"

#include <optional>
#include <string>

namespace tolvane::cli {

inline constexpr const char* kSignatureInvalidResult = "SIGNATURE_INVALID";
inline constexpr const char* kUntrustedKeyResult = "UNTRUSTED_KEY";
inline constexpr const char* kWrongDeviceResult = "WRONG_DEVICE";
inline constexpr const char* kOlderVersionResult = "OLDER_VERSION";
inline constexpr const char* kSameVersionResult = "SAME_VERSION";
inline constexpr const char* kBadPackageResult = "BAD_PACKAGE";

struct PackageRefusal {
    int exitCode = 0;
    std::string result;
    SysError code = kErrorInvalidData;
    package::PackageFault fault;
    std::optional<std::string> keyId;
};

// check, expected, found and key_id.
void AddRefusalFields(Json& object, const PackageRefusal& refusal);

// The refusal of a trust outcome other than Trusted and Unsigned.
PackageRefusal TrustRefusal(const package::TrustOutcome& outcome);

}  // namespace tolvane::cli
