// manifest.json: what a package is for (the device's two identities), its version, and the facts
// of firmware.bin that tie the image to the signed manifest.
#pragma once

#include "package/package_fault.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tolvane::package {

inline constexpr std::string_view kPackageFormat = "tolvane-package/1";

struct DeviceIds {
    std::uint16_t vid = 0;
    std::uint16_t pid = 0;
    bool operator==(const DeviceIds&) const = default;
};

struct Manifest {
    std::string product;
    DeviceIds application;
    DeviceIds bootLoader;
    std::uint16_t version = 0;  // BCD release number, "1.02" = 0x0102
    std::uint32_t loadAddress = 0;
    std::uint32_t size = 0;
    std::uint16_t checksum16 = 0;
    std::string sha256;  // of firmware.bin, 64 lower-case hexadecimal digits
    std::vector<std::string> hardwareRevisions;
    std::optional<std::string> notes;
};

// The manifest as packed: fixed field order and layout, so that it is the same bytes each time.
std::string WriteManifest(const Manifest& manifest);

// Reads a manifest. Unknown fields are ignored; a format other than kPackageFormat is refused,
// a later one of this family with a message that says so (check "format"); anything else that
// is wrong is check "manifest" naming the field.
std::variant<Manifest, PackageFault> ReadManifest(std::string_view text);

// "1.02" for 0x0102; "X.YY" with one or two digits before the point and two after.
std::string VersionText(std::uint16_t bcd);
std::optional<std::uint16_t> ParseVersion(std::string_view text);

// "5C3B:0326".
std::string IdsText(const DeviceIds& ids);

}  // namespace tolvane::package
