#include "package/package_file.h"

#include "package/crypto.h"
#include "package/signature_check.h"
#include "package/zip_archive.h"

#include <cstdio>

namespace tolvane::package {
namespace {

std::span<const std::uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::uint16_t Sum16(std::span<const std::uint8_t> bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : bytes) sum += byte;
    return static_cast<std::uint16_t>(sum);
}

std::string Hex4(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

PackageFault EntriesFault(const std::string& expected, const std::string& found,
                          const std::string& message) {
    return {"entry", expected, found, message};
}

// The entries must be exactly the package's, in its order.
std::optional<PackageFault> CheckNames(const std::vector<ZipEntry>& entries) {
    std::string found;
    for (const ZipEntry& entry : entries) found += (found.empty() ? "" : ", ") + entry.name;
    const std::string signedNames =
        std::string(kManifestEntry) + ", " + kSignatureEntry + ", " + kFirmwareEntry;
    const std::string unsignedNames = std::string(kManifestEntry) + ", " + kFirmwareEntry;
    if (found == signedNames || found == unsignedNames) return std::nullopt;
    for (const char* name : {kManifestEntry, kFirmwareEntry}) {
        if (found.find(name) == std::string::npos) {
            return EntriesFault(signedNames, found,
                                std::string("the entry ") + name + " is missing");
        }
    }
    for (const ZipEntry& entry : entries) {
        if (entry.name != kManifestEntry && entry.name != kSignatureEntry &&
            entry.name != kFirmwareEntry) {
            return EntriesFault(signedNames, found, "an extra entry '" + entry.name + "'");
        }
    }
    return EntriesFault(signedNames, found,
                        "the entries are repeated or out of order (expected " + signedNames + ")");
}

PackageFault FirmwareFault(std::string check, std::string expected, std::string found) {
    // The message first: the members of a braced list are initialised in order, and a moved
    // check would leave it without the check's name.
    std::string message = "firmware.bin does not match the manifest's " + check +
                          " (the manifest says " + expected + ", the image has " + found + ")";
    return {std::move(check), std::move(expected), std::move(found), std::move(message)};
}

std::optional<PackageFault> CheckFirmware(const Package& package) {
    const Manifest& manifest = package.manifest;
    const auto& firmware = package.firmware;
    if (firmware.size() != manifest.size) {
        return FirmwareFault("size", std::to_string(manifest.size) + " bytes",
                             std::to_string(firmware.size()) + " bytes");
    }
    const std::string sha = HexText(Sha256(firmware));
    if (sha != manifest.sha256) return FirmwareFault("sha256", manifest.sha256, sha);
    if (Sum16(firmware) != manifest.checksum16) {
        return FirmwareFault("checksum16", Hex4(manifest.checksum16), Hex4(Sum16(firmware)));
    }
    return std::nullopt;
}

}  // namespace

Manifest DescribeFirmware(Manifest manifest, std::span<const std::uint8_t> firmware) {
    manifest.size = static_cast<std::uint32_t>(firmware.size());
    manifest.checksum16 = Sum16(firmware);
    manifest.sha256 = HexText(Sha256(firmware));
    return manifest;
}

std::string PackageTrustedComment(const Manifest& manifest) {
    return "tolvane package " + IdsText(manifest.application) + " version " +
           VersionText(manifest.version) + " sha256 " + manifest.sha256;
}

std::vector<std::uint8_t> WritePackage(const std::string& manifestText,
                                       const std::optional<std::string>& signatureText,
                                       std::span<const std::uint8_t> firmware) {
    std::vector<ZipEntry> entries;
    entries.push_back({kManifestEntry, {manifestText.begin(), manifestText.end()}});
    if (signatureText) {
        entries.push_back({kSignatureEntry, {signatureText->begin(), signatureText->end()}});
    }
    entries.push_back({kFirmwareEntry, {firmware.begin(), firmware.end()}});
    return WriteStoredZip(entries);
}

std::variant<Package, PackageFault> ReadPackage(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxPackageSize) {
        return PackageFault{"zip", "at most " + std::to_string(kMaxPackageSize) + " bytes",
                            std::to_string(bytes.size()) + " bytes",
                            "the file is larger than any package"};
    }
    auto read = ReadStoredZip(bytes);
    if (auto* fault = std::get_if<PackageFault>(&read)) return std::move(*fault);
    auto& entries = std::get<std::vector<ZipEntry>>(read);
    if (auto fault = CheckNames(entries)) return std::move(*fault);
    Package package;
    package.manifestText.assign(entries.front().data.begin(), entries.front().data.end());
    if (entries.size() == 3)
        package.signatureText.emplace(entries[1].data.begin(), entries[1].data.end());
    package.firmware = std::move(entries.back().data);
    auto manifest = ReadManifest(package.manifestText);
    if (auto* fault = std::get_if<PackageFault>(&manifest)) return std::move(*fault);
    package.manifest = std::get<Manifest>(std::move(manifest));
    return package;
}

TrustOutcome CheckTrust(const Package& package, const TrustStore& trusted) {
    TrustOutcome outcome;
    if (package.signatureText) {
        auto read = ReadSignature(*package.signatureText);
        if (auto* problem = std::get_if<std::string>(&read)) {
            outcome.fault = {"signature", "a minisign signature", "damaged",
                             std::string(kSignatureEntry) + ": " + *problem};
            return outcome;
        }
        const Signature& signature = std::get<Signature>(read);
        outcome.keyId = signature.id;
        outcome.trustedComment = signature.trustedComment;
        outcome.key = trusted.find(signature.id);
        if (!outcome.key) {
            outcome.trust = Trust::UntrustedKey;
            outcome.fault = {"key", "a trusted key", "key " + KeyIdText(signature.id),
                             "the package is signed by key " + KeyIdText(signature.id) +
                                 ", which is not among the trusted keys"};
            return outcome;
        }
        if (auto failure =
                CheckSignature(signature, outcome.key->key, BytesOf(package.manifestText))) {
            outcome.key = nullptr;
            outcome.fault = {"signature", "a valid signature by key " + KeyIdText(signature.id),
                             "an invalid one", "the signature does not hold: " + *failure};
            return outcome;
        }
    }
    if (auto fault = CheckFirmware(package)) {
        outcome.key = nullptr;
        outcome.fault = std::move(*fault);
        return outcome;
    }
    outcome.trust = package.signatureText ? Trust::Trusted : Trust::Unsigned;
    return outcome;
}

}  // namespace tolvane::package
