#include "packages/version_rule.h"

#include "packages/package_refusal.h"
#include "versions/release_number.h"

namespace tolvane::cli {

std::optional<VersionRefusal> RefuseByVersion(const Options& options,
                                              const std::optional<std::uint16_t>& deviceVersion) {
    const auto& version = options.package.version;
    if (!version || !deviceVersion) return std::nullopt;
    const std::string device = ReleaseText(*deviceVersion), offered = ReleaseText(*version);
    if (*version < *deviceVersion && !options.package.allowOlder) {
        return VersionRefusal{kOlderVersionResult, "a version of at least " + device, offered,
                              "the package's version " + offered + " is older than the device's " +
                                  device + ": nothing was sent"};
    }
    if (*version == *deviceVersion && !options.package.allowReinstall && !options.skipCurrent) {
        return VersionRefusal{
            kSameVersionResult, "a version other than " + device, offered,
            "the device runs " + device + ", the package's version, already: nothing was sent"};
    }
    return std::nullopt;
}

std::optional<std::string> VersionUncheckedWarning(
    const Options& options, const std::optional<std::uint16_t>& deviceVersion) {
    if (!options.package.version || deviceVersion) return std::nullopt;
    return "the device's version could not be read (a unit found in its boot loader cannot "
           "tell it): the package's version " +
           ReleaseText(*options.package.version) + " was not compared with it";
}

void AddVersionRefusalFields(Json& object, const VersionRefusal& refusal, const Options& options) {
    object["check"] = "version";
    object["expected"] = refusal.expected;
    object["found"] = refusal.found;
    object["key_id"] = options.package.keyId ? Json(*options.package.keyId) : Json();
}

}  // namespace tolvane::cli
