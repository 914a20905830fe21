// The package format and its trust checks, each as one table: damaged packages that must be
// refused as malformed naming the fault, and packages whose signature or key decides the outcome.
#include "test_keys.h"

#include "package/crypto.h"
#include "package/trust_store.h"
#include "package/zip_archive.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace tolvane::package::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::span<const std::uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Where `text` first occurs in `bytes`.
std::size_t Find(const Bytes& bytes, const std::string& text) {
    const auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    EXPECT_NE(at, bytes.end()) << text;
    return static_cast<std::size_t>(at - bytes.begin());
}

void Put16(Bytes& bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// The firmware entry's local header and directory entry, found by its name's two places.
struct FirmwareHeaders {
    std::size_t local, central;
};
FirmwareHeaders HeadersOf(const Bytes& zip) {
    const std::size_t first = Find(zip, kFirmwareEntry);
    const std::size_t directory = zip.size() - 22 - 46 - std::string(kFirmwareEntry).size();
    return {first - 30, directory};
}

Bytes UnsignedPackage(const std::string& manifestText) {
    return WritePackage(manifestText, std::nullopt, SampleFirmware());
}

Bytes SamplePackage() {
    return UnsignedPackage(WriteManifest(SampleManifest(SampleFirmware())));
}

struct DamagedCase {
    const char* name;
    std::function<Bytes()> make;
    const char* check;
    const char* says;
};

class DamagedPackage : public testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedPackage, IsRefusedNamingTheFault) {
    const Bytes bytes = GetParam().make();
    auto read = ReadPackage(bytes);
    ASSERT_TRUE(std::holds_alternative<PackageFault>(read)) << GetParam().name;
    const PackageFault& fault = std::get<PackageFault>(read);
    EXPECT_EQ(fault.check, GetParam().check) << fault.message;
    EXPECT_NE(fault.message.find(GetParam().says), std::string::npos) << fault.message;
}

std::string ManifestWith(const std::string& from, const std::string& to) {
    std::string text = WriteManifest(SampleManifest(SampleFirmware()));
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

const DamagedCase kDamaged[] = {
    {"empty", [] { return Bytes{}; }, "zip", "does not start"},
    {"text", [] { return Bytes(100, 'x'); }, "zip", "does not start"},
    {"cut_short",
     [] {
         Bytes bytes = SamplePackage();
         bytes.pop_back();
         return bytes;
     },
     "zip", "does not end"},
    {"missing_firmware",
     [] {
         return WriteStoredZip({{kManifestEntry, Bytes(10, '{')}});
     },
     "entry", "firmware.bin is missing"},
    {"extra_entry",
     [] {
         const std::string manifest = WriteManifest(SampleManifest(SampleFirmware()));
         return WriteStoredZip({{kManifestEntry, {manifest.begin(), manifest.end()}},
                                {kFirmwareEntry, SampleFirmware()},
                                {"readme.txt", Bytes(3, 'a')}});
     },
     "entry", "an extra entry 'readme.txt'"},
    {"out_of_order",
     [] {
         const std::string manifest = WriteManifest(SampleManifest(SampleFirmware()));
         return WriteStoredZip({{kFirmwareEntry, SampleFirmware()},
                                {kManifestEntry, {manifest.begin(), manifest.end()}}});
     },
     "entry", "out of order"},
    {"compressed",
     [] {
         Bytes bytes = SamplePackage();
         const FirmwareHeaders at = HeadersOf(bytes);
         Put16(bytes, at.local + 8, 8);
         Put16(bytes, at.central + 10, 8);
         return bytes;
     },
     "entry", "compressed entry"},
    {"name_with_path",
     [] {
         return WriteStoredZip({{"fw/firmware.bin", SampleFirmware()}});
     },
     "entry", "holds a path"},
    {"larger_than_header",
     [] {
         Bytes bytes = SamplePackage();
         const FirmwareHeaders at = HeadersOf(bytes);
         const auto smaller = static_cast<std::uint16_t>(SampleFirmware().size() - 1);
         for (std::size_t field :
              {at.local + 18, at.local + 22, at.central + 20, at.central + 24}) {
             Put16(bytes, field, smaller);
         }
         return bytes;
     },
     "entry", "larger or smaller than its header says"},
    {"manifest_not_json", [] { return UnsignedPackage("{\"format\": \"tolvane-package/1\",,}"); },
     "manifest", "not valid JSON"},
    {"manifest_without_sha256",
     [] { return UnsignedPackage(ManifestWith("\"sha256\"", "\"sha257\"")); }, "manifest",
     "sha256 is missing"},
    {"manifest_bad_version", [] { return UnsignedPackage(ManifestWith("\"1.02\"", "\"1.2\"")); },
     "manifest", "version"},
    {"later_format", [] { return UnsignedPackage(ManifestWith("package/1", "package/2")); },
     "format", "later format (tolvane-package/2)"},
};

INSTANTIATE_TEST_SUITE_P(Table, DamagedPackage, testing::ValuesIn(kDamaged),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Package, ReadsWhatItWroteKeepingUnknownFieldsAndIsReproducible) {
    const Bytes firmware = SampleFirmware();
    Manifest manifest = SampleManifest(firmware);
    manifest.hardwareRevisions = {"B", "C"};
    manifest.notes = "fixes the keypad's wake-up";
    std::string text = WriteManifest(manifest);
    text.insert(1, "\n  \"added_later\": {\"x\": 1},");
    const std::string signature = SignatureOf(text, kKeyASecret);
    const Bytes first = WritePackage(text, signature, firmware);
    EXPECT_EQ(first, WritePackage(text, SignatureOf(text, kKeyASecret), firmware));

    auto read = ReadPackage(first);
    ASSERT_TRUE(std::holds_alternative<Package>(read)) << std::get<PackageFault>(read).message;
    const Package& package = std::get<Package>(read);
    EXPECT_EQ(package.manifestText, text);
    EXPECT_EQ(package.firmware, firmware);
    EXPECT_EQ(package.manifest.application, (DeviceIds{0x5C3B, 0x0326}));
    EXPECT_EQ(package.manifest.version, 0x0102);
    EXPECT_EQ(package.manifest.size, 1000u);
    EXPECT_EQ(package.manifest.hardwareRevisions, manifest.hardwareRevisions);
    EXPECT_EQ(package.manifest.notes, manifest.notes);
    EXPECT_EQ(package.manifest.sha256, HexText(Sha256(firmware)));
}

TEST(Package, VersionsAndKeyIdsReadAsMinisignAndListShowThem) {
    EXPECT_EQ(VersionText(0x0102), "1.02");
    EXPECT_EQ(VersionText(0x1234), "12.34");
    EXPECT_EQ(ParseVersion("12.34"), 0x1234);
    EXPECT_EQ(ParseVersion("1.2"), std::nullopt);
    EXPECT_EQ(ParseVersion("123.45"), std::nullopt);
    EXPECT_EQ(KeyIdText(Secret(kKeyASecret).id), "1573F66A23B769CF");
    auto encrypted = ReadSecretKey(
        "untrusted comment: x\n"
        "RWRTY0IyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAz2m3I2r2cxWYinUozQ"
        "0CC/"
        "oCDRyz/VanHalBsnGD00+czbbtyA8Y0T6Yl8EDsEpr9J+DwVw8a14l/"
        "4Vmqiym7LwICIhCfKJxAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=\n");
    ASSERT_TRUE(std::holds_alternative<std::string>(encrypted));
    EXPECT_NE(std::get<std::string>(encrypted).find("password"), std::string::npos);
}

// How a package is signed or changed after signing, and what the trust check answers.
struct TrustCase {
    const char* name;
    const char* signer;  // null: unsigned
    std::function<void(std::string& manifest, std::string& signature, Bytes& firmware)> change;
    bool development;  // key A's file is named *.dev.pub
    Trust expected;
    const char* check;
};

void Unchanged(std::string&, std::string&, Bytes&) {}

// A legacy ("Ed") signature of the manifest itself, by key A.
void SignLegacy(std::string& manifest, std::string& signature, Bytes&) {
    const SecretKey key = Secret(kKeyASecret);
    Signature legacy = std::get<Signature>(ReadSignature(signature));
    legacy.kind = SignatureKind::Legacy;
    legacy.signature = *Ed25519Sign(key.key, BytesOf(manifest));
    Bytes global(legacy.signature.begin(), legacy.signature.end());
    global.insert(global.end(), legacy.trustedComment.begin(), legacy.trustedComment.end());
    legacy.globalSignature = *Ed25519Sign(key.key, global);
    signature = WriteSignature(legacy);
}

const TrustCase kTrustCases[] = {
    {"trusted", kKeyASecret, Unchanged, false, Trust::Trusted, ""},
    {"development_key", kKeyASecret, Unchanged, true, Trust::Trusted, ""},
    {"legacy_signature", kKeyASecret, SignLegacy, false, Trust::Trusted, ""},
    {"unsigned", nullptr, Unchanged, false, Trust::Unsigned, ""},
    {"unknown_key", kKeyBSecret, Unchanged, false, Trust::UntrustedKey, "key"},
    {"firmware_byte_altered", kKeyASecret, [](auto&, auto&, Bytes& f) { f[500] ^= 1; }, false,
     Trust::SignatureInvalid, "sha256"},
    {"firmware_of_another", kKeyASecret, [](auto&, auto&, Bytes& f) { f.push_back(0); }, false,
     Trust::SignatureInvalid, "size"},
    {"manifest_byte_altered", kKeyASecret,
     [](std::string& m, auto&, auto&) { m[m.find("keypad")] = 'K'; }, false,
     Trust::SignatureInvalid, "signature"},
    {"trusted_comment_altered", kKeyASecret,
     [](auto&, std::string& s, auto&) { s[s.find("tolvane test")] = 'T'; }, false,
     Trust::SignatureInvalid, "signature"},
    {"signature_damaged", kKeyASecret, [](auto&, std::string& s, auto&) { s = "x\n"; }, false,
     Trust::SignatureInvalid, "signature"},
    {"unsigned_firmware_altered", nullptr, [](auto&, auto&, Bytes& f) { f[0] ^= 0x80; }, false,
     Trust::SignatureInvalid, "sha256"},
};

class TrustOutcomes : public testing::TestWithParam<TrustCase> {};

TEST_P(TrustOutcomes, FollowTheSignatureTheKeyAndTheFirmware) {
    const TrustCase& c = GetParam();
    Bytes firmware = SampleFirmware();
    std::string manifest = WriteManifest(SampleManifest(firmware));
    std::string signature = c.signer ? SignatureOf(manifest, c.signer) : "";
    c.change(manifest, signature, firmware);
    Package package;
    package.manifestText = manifest;
    package.manifest = std::get<Manifest>(ReadManifest(manifest));
    if (c.signer) package.signatureText = signature;
    package.firmware = firmware;

    TrustStore trusted;
    const tolvane::test::TempDir scratch;
    const std::string path = scratch.path(c.development ? "key_a.dev.pub" : "key_a.pub");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(kKeyAPublic, file);
        std::fclose(file);
    }
    ASSERT_EQ(trusted.add(path), std::nullopt);
    const TrustOutcome outcome = CheckTrust(package, trusted);
    EXPECT_EQ(outcome.trust, c.expected) << outcome.fault.message;
    EXPECT_EQ(outcome.fault.check, c.check) << outcome.fault.message;
    // The message names the check that failed.
    EXPECT_NE(outcome.fault.message.find(c.check), std::string::npos) << outcome.fault.message;
    if (c.expected == Trust::Trusted) {
        ASSERT_NE(outcome.key, nullptr);
        EXPECT_EQ(outcome.key->development, c.development);
    }
    if (c.signer && c.expected != Trust::SignatureInvalid) {
        ASSERT_TRUE(outcome.keyId);
        EXPECT_EQ(*outcome.keyId, Secret(c.signer).id);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, TrustOutcomes, testing::ValuesIn(kTrustCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(TrustStore, ReadsEveryKeyOfAFolderAndSkipsABadFileWithAWarning) {
    const tolvane::test::TempDir scratch;
    const std::string folder = scratch.path("trust_folder");
    std::filesystem::create_directories(folder);
    for (const auto& [name, text] :
         {std::pair{"a.pub", kKeyAPublic}, {"broken.pub", "junk\n"}, {"ignored.txt", "junk\n"}}) {
        std::FILE* file = std::fopen((folder + "/" + name).c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(text, file);
        std::fclose(file);
    }
    TrustStore trusted;
    EXPECT_EQ(trusted.add(folder), std::nullopt);
    EXPECT_EQ(trusted.keys().size(), 1u);
    ASSERT_EQ(trusted.warnings().size(), 1u);
    EXPECT_NE(trusted.warnings()[0].find("broken.pub"), std::string::npos);
    EXPECT_NE(trusted.add(folder + "/missing.pub"), std::nullopt);
    EXPECT_EQ(trusted.addFolderIfPresent(folder + "/absent"), std::nullopt);
}

}  // namespace
}  // namespace tolvane::package::test
