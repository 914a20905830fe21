// A firmware package as the Vandrel build takes it: checked against the maker's public key and
// the target the program is built for, then opened for the image the program carries. The
// program itself reads no package: what it loads at run time is the image checked here.
#pragma once

#include "package/manifest.h"
#include "package/package_fault.h"
#include "package/trust_store.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace vandrel {

struct ProgramFirmware {
    std::vector<std::uint8_t> image;
    tolvane::package::Manifest manifest;
    std::string keyId;            // the signer, as minisign prints it
    bool developmentKey = false;  // signed by a key labelled development
};

// The package's image for a program built for `target`, or the check that refused it: the
// container and manifest, a signature by one of the `trusted` keys that holds over the manifest
// and an image that matches it, the application's identifiers against `target`, a boot loader
// the engine finds, and load address 0 (the only address the program sends).
std::variant<ProgramFirmware, tolvane::package::PackageFault> CheckProgramPackage(
    std::span<const std::uint8_t> bytes, const tolvane::package::TrustStore& trusted,
    const tolvane::package::DeviceIds& target);

}  // namespace vandrel
