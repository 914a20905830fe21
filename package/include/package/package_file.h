// A firmware package (NAME.tvpkg): a zip of stored entries, in this order, manifest.json,
// manifest.json.minisig (absent in an unsigned package) and firmware.bin. The signature covers
// manifest.json, whose size, sums and SHA-256 tie firmware.bin to it.
#pragma once

#include "package/manifest.h"
#include "package/minisign_files.h"
#include "package/package_fault.h"
#include "package/trust_store.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tolvane::package {

inline constexpr const char* kManifestEntry = "manifest.json";
inline constexpr const char* kSignatureEntry = "manifest.json.minisig";
inline constexpr const char* kFirmwareEntry = "firmware.bin";
// A package holds one image, which the boot loader's 24 bits limit; with room for the rest.
inline constexpr std::size_t kMaxPackageSize = 17 * 1024 * 1024;

struct Package {
    std::string manifestText;  // the signed bytes
    Manifest manifest;
    std::optional<std::string> signatureText;
    std::vector<std::uint8_t> firmware;
};

// The manifest of `firmware` with its size and sums filled in.
Manifest DescribeFirmware(Manifest manifest, std::span<const std::uint8_t> firmware);

// The trusted comment a package's signature carries: no time stamp, so that packing again gives
// the same bytes.
std::string PackageTrustedComment(const Manifest& manifest);

std::vector<std::uint8_t> WritePackage(const std::string& manifestText,
                                       const std::optional<std::string>& signatureText,
                                       std::span<const std::uint8_t> firmware);

// Reads the zip and the manifest (check "zip", "entry", "manifest" or "format" when malformed).
// The signature is only read later, by CheckTrust.
std::variant<Package, PackageFault> ReadPackage(std::span<const std::uint8_t> bytes);

enum class Trust {
    Trusted,           // signed by a trusted key, and the firmware matches the manifest
    Unsigned,          // no signature; the firmware matches the manifest
    SignatureInvalid,  // the signature or the firmware does not hold
    UntrustedKey,      // a good-looking signature by a key not trusted
};

struct TrustOutcome {
    Trust trust = Trust::SignatureInvalid;
    std::optional<KeyId> keyId;
    const TrustedKey* key = nullptr;  // for Trusted
    std::string trustedComment;
    PackageFault fault;  // for SignatureInvalid and UntrustedKey
};

// The signature against the trusted keys (chosen by key id), then firmware.bin against the
// manifest's size, 16-bit sum and SHA-256.
TrustOutcome CheckTrust(const Package& package, const TrustStore& trusted);

}  // namespace tolvane::package
