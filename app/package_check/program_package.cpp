#include "program_package.h"

#include "dfu_constants.h"
#include "package/package_file.h"

#include <cstdio>
#include <utility>

namespace vandrel {
namespace {

using tolvane::package::DeviceIds;
using tolvane::package::IdsText;
using tolvane::package::Manifest;
using tolvane::package::PackageFault;

std::string AddressText(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(address));
    return text;
}

std::variant<ProgramFirmware, PackageFault> CheckTarget(const Manifest& manifest,
                                                        const DeviceIds& target) {
    if (manifest.application != target) {
        return PackageFault{"application", IdsText(target), IdsText(manifest.application),
                            "the package is for " + IdsText(manifest.application) +
                                ", not for the target this program is built for (" +
                                IdsText(target) + ")"};
    }
    // The engine switches a device into one of the boot loaders it knows; a package for another
    // could never be written by this program.
    const DeviceIds first{tolvane::DFU_VENDOR_ID, tolvane::DFU_PRODUCT_ID_1};
    const DeviceIds second{tolvane::DFU_VENDOR_ID, tolvane::DFU_PRODUCT_ID_2};
    if (manifest.bootLoader != first && manifest.bootLoader != second) {
        return PackageFault{"boot_loader", IdsText(first) + " or " + IdsText(second),
                            IdsText(manifest.bootLoader),
                            "the package is for a device whose boot loader is " +
                                IdsText(manifest.bootLoader) + ", which Vandrel does not update"};
    }
    if (manifest.loadAddress != 0) {
        return PackageFault{"load_address", AddressText(0), AddressText(manifest.loadAddress),
                            "the package loads at " + AddressText(manifest.loadAddress) +
                                ", and Vandrel always writes its image at address 0"};
    }
    return ProgramFirmware{};
}

}  // namespace

std::variant<ProgramFirmware, PackageFault> CheckProgramPackage(
    std::span<const std::uint8_t> bytes, const tolvane::package::TrustStore& trusted,
    const DeviceIds& target) {
    auto read = tolvane::package::ReadPackage(bytes);
    if (auto* fault = std::get_if<PackageFault>(&read)) return std::move(*fault);
    auto& contents = std::get<tolvane::package::Package>(read);

    const auto outcome = tolvane::package::CheckTrust(contents, trusted);
    switch (outcome.trust) {
        case tolvane::package::Trust::Trusted:
            break;
        case tolvane::package::Trust::Unsigned:
            return PackageFault{"signature", "a package signed by the maker's key",
                                "an unsigned package",
                                "the package is not signed; Vandrel is built only from a package "
                                "signed by the maker's key"};
        case tolvane::package::Trust::SignatureInvalid:
        case tolvane::package::Trust::UntrustedKey:
            return outcome.fault;
    }

    auto checked = CheckTarget(contents.manifest, target);
    if (auto* firmware = std::get_if<ProgramFirmware>(&checked)) {
        firmware->image = std::move(contents.firmware);
        firmware->manifest = std::move(contents.manifest);
        firmware->keyId = tolvane::package::KeyIdText(outcome.key->key.id);
        firmware->developmentKey = outcome.key->development;
    }
    return checked;
}

}  // namespace vandrel
