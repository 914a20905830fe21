#include "packages/package_image.h"

#include "dfu_constants.h"
#include "output/exit_codes.h"
#include "package/file_bytes.h"
#include "package/manifest.h"
#include "package/package_file.h"
#include "packages/trust_folder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>

namespace tolvane::cli {
namespace {

using package::DeviceIds;
using package::IdsText;
using package::Manifest;

PackageRefusal Refusal(int exitCode, const std::string& result, package::PackageFault fault,
                       SysError code = kErrorInvalidData) {
    PackageRefusal refusal;
    refusal.exitCode = exitCode;
    refusal.result = result;
    refusal.code = code;
    refusal.fault = std::move(fault);
    return refusal;
}

std::string Hex(std::uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// The device the command line names, held to the package's application.
std::optional<PackageRefusal> CheckIds(const Options& options, const Manifest& manifest) {
    const DeviceIds named{
        static_cast<std::uint16_t>(options.vid.value_or(manifest.application.vid)),
        static_cast<std::uint16_t>(options.pid.value_or(manifest.application.pid))};
    if (options.package.idsGiven && named != manifest.application) {
        return Refusal(
            kExitWrongDevice, kWrongDeviceResult,
            {"application", IdsText(manifest.application), IdsText(named),
             "the package is for " + IdsText(manifest.application) + " (" + manifest.product +
                 "), not for the device " + IdsText(named) + ": nothing was sent"});
    }
    // The engine updates through the boot loaders it knows; a package for another cannot be for
    // a device it reaches.
    const DeviceIds first{DFU_VENDOR_ID, DFU_PRODUCT_ID_1}, second{DFU_VENDOR_ID, DFU_PRODUCT_ID_2};
    if (manifest.bootLoader != first && manifest.bootLoader != second) {
        return Refusal(
            kExitWrongDevice, kWrongDeviceResult,
            {"boot_loader", IdsText(first) + " or " + IdsText(second), IdsText(manifest.bootLoader),
             "the package is for a device whose boot loader is " + IdsText(manifest.bootLoader) +
                 ", which tolvane does not update"});
    }
    return std::nullopt;
}

std::optional<PackageRefusal> Differs(const char* option, const std::string& manifestValue,
                                      const std::string& given) {
    if (manifestValue == given) return std::nullopt;
    return Refusal(kExitUsage, "USAGE",
                   {option, manifestValue, given,
                    std::string(option) + " " + given + " differs from the package's " +
                        manifestValue + "; the manifest fixes it (leave the option out)"},
                   kErrorInvalidParameter);
}

// The values the manifest fixes, given again on the command line, must agree with it.
std::optional<PackageRefusal> CheckFixedValues(const Options& options, const Manifest& manifest) {
    if (options.address) {
        if (auto refusal =
                Differs("--address", Hex(manifest.loadAddress, 6), Hex(*options.address, 6)))
            return refusal;
    }
    if (options.checksum) {
        if (auto refusal = Differs("--checksum", Hex(manifest.checksum16, 4),
                                   Hex(*options.checksum & 0xFFFF, 4)))
            return refusal;
    }
    if (options.imageVersion) {
        if (auto refusal = Differs("--image-version", package::VersionText(manifest.version),
                                   package::VersionText(*options.imageVersion)))
            return refusal;
    }
    return std::nullopt;
}

std::optional<PackageRefusal> CheckSigner(const Options& options,
                                          const package::TrustOutcome& outcome,
                                          std::vector<std::string>& warnings) {
    if (outcome.trust == package::Trust::Unsigned) {
        if (options.package.requireSigned) {
            return Refusal(kExitSignature, kSignatureInvalidResult,
                           {"signature", "a signed package", "an unsigned package",
                            "the package is not signed, and --require-signed asks for a signed "
                            "one"});
        }
        warnings.push_back(
            "the package is not signed: its firmware matches its manifest, but "
            "nothing says who made it");
        return std::nullopt;
    }
    if (outcome.trust != package::Trust::Trusted) return TrustRefusal(outcome);
    if (!outcome.key->development) return std::nullopt;
    const std::string id = package::KeyIdText(outcome.key->key.id);
    if (options.command == Command::Station && !options.package.allowDevKey) {
        PackageRefusal refusal =
            Refusal(kExitSignature, kUntrustedKeyResult,
                    {"key", "a production key", "development key " + id,
                     "the package is signed by development key " + id + " (" + outcome.key->source +
                         "), which a station does not write"});
        refusal.keyId = id;
        return refusal;
    }
    warnings.push_back("the package is signed by development key " + id + " (" +
                       outcome.key->source + "): not for units that leave the bench");
    return std::nullopt;
}

}  // namespace

bool ReadsAsPackage(const Options& options) {
    if (IsPackageName(options.imagePath)) return true;
    if (options.imageFormat == ImageFormat::Raw) return false;
    std::ifstream in(options.imagePath, std::ios::binary);
    std::array<char, 4> head{};
    return in.read(head.data(), head.size()) && head == std::array<char, 4>{'P', 'K', 3, 4};
}

std::variant<FirmwareImage, PackageRefusal> LoadPackageImage(Options& options) {
    auto bytes = package::ReadFileBytes(options.imagePath, package::kMaxPackageSize);
    if (auto* problem = std::get_if<std::string>(&bytes)) {
        return Refusal(kExitUnreadable, "IMAGE_UNREADABLE",
                       {"file", "a readable package", "an unreadable file", *problem},
                       kErrorFileNotFound);
    }
    auto read = package::ReadPackage(std::get<std::vector<std::uint8_t>>(bytes));
    if (auto* fault = std::get_if<package::PackageFault>(&read)) {
        fault->message = options.imagePath + ": " + fault->message;
        return Refusal(kExitBadImage, kBadPackageResult, std::move(*fault));
    }
    package::Package& contents = std::get<package::Package>(read);
    package::TrustStore trusted;
    if (auto problem = LoadTrustedKeys(options.package.trust, trusted)) {
        return Refusal(kExitUnreadable, "IMAGE_UNREADABLE",
                       {"trust", "a readable key", "an unreadable file", *problem},
                       kErrorFileNotFound);
    }
    FirmwareImage image;
    image.warnings = trusted.warnings();
    const package::TrustOutcome outcome = package::CheckTrust(contents, trusted);
    if (auto refusal = CheckSigner(options, outcome, image.warnings)) return std::move(*refusal);
    const Manifest& manifest = contents.manifest;
    if (auto refusal = CheckIds(options, manifest)) return std::move(*refusal);
    if (auto refusal = CheckFixedValues(options, manifest)) return std::move(*refusal);

    options.vid = manifest.application.vid;
    options.pid = manifest.application.pid;
    options.address = manifest.loadAddress;
    options.imageVersion = manifest.version;
    options.package.version = manifest.version;
    if (outcome.keyId) options.package.keyId = package::KeyIdText(*outcome.keyId);
    if (!options.simulation.imageVersion) options.simulation.imageVersion = manifest.version;
    image.bytes = std::move(contents.firmware);
    image.loadAddress = manifest.loadAddress;
    image.format = ImageFormat::Raw;
    return image;
}

PackageRefusal UnsignedImageRefusal(const Options& options) {
    return Refusal(
        kExitSignature, kSignatureInvalidResult,
        {"signature", "a signed package", "a raw image",
         options.imagePath + " is a raw image, not a signed package, and --require-signed asks for "
                             "a signed package"});
}

}  // namespace tolvane::cli
