// Two key pairs made with `minisign -G -W` for the tests, and a package built from them.
#pragma once

#include "package/manifest.h"
#include "package/minisign_files.h"
#include "package/package_file.h"
#include "package/signature_check.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::package::test {

inline constexpr const char* kKeyAPublic =
    "untrusted comment: minisign public key 1573F66A23B769CF\n"
    "RWTPabcjavZzFT6Yl8EDsEpr9J+DwVw8a14l/4Vmqiym7LwICIhCfKJx\n";
inline constexpr const char* kKeyASecret =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAz2m3I2r2cxWYinUozQ0CC/"
    "oCDRyz/VanHalBsnGD00+czbbtyA8Y0T6Yl8EDsEpr9J+DwVw8a14l/"
    "4Vmqiym7LwICIhCfKJxAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n";
inline constexpr const char* kKeyBSecret =
    "untrusted comment: minisign encrypted secret key\n"
    "RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAxbufkcwVeulLkSo59pkxVq"
    "Dl1"
    "0iZhWI+OLWmeXFkwiq1DFiakE9AjM1ut21TujjdsUK1MJpr3doX4W9uB+"
    "vkDQ6OF1lTwQkbAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n";

inline SecretKey Secret(const char* text) {
    auto key = ReadSecretKey(text);
    EXPECT_TRUE(std::holds_alternative<SecretKey>(key));
    return std::get<SecretKey>(key);
}

inline std::vector<std::uint8_t> SampleFirmware() {
    std::vector<std::uint8_t> bytes(1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
}

inline Manifest SampleManifest(const std::vector<std::uint8_t>& firmware) {
    Manifest manifest;
    manifest.product = "Test keypad";
    manifest.application = {0x5C3B, 0x0326};
    manifest.bootLoader = {0x5C3B, 0x030B};
    manifest.version = 0x0102;
    return DescribeFirmware(manifest, firmware);
}

inline std::string SignatureOf(const std::string& manifestText, const char* secret) {
    const SecretKey key = Secret(secret);
    auto signature = SignMessage(
        key, {reinterpret_cast<const std::uint8_t*>(manifestText.data()), manifestText.size()},
        "tolvane test");
    EXPECT_TRUE(std::holds_alternative<Signature>(signature));
    return WriteSignature(std::get<Signature>(signature));
}

}  // namespace tolvane::package::test
