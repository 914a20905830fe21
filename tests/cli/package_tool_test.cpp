// update --simulate given a package: one table of runs, each checked for its exit code, its JSON
// result and check, and, for every refusal, a recording of the run in which no report was sent
// (no device opened for writing, no feature or output report).
#include "test_keys.h"
#include "tool_bench.h"

#include <nlohmann/json.hpp>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "package/file_bytes.h"

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<std::uint8_t>;
namespace pkg = tolvane::package;

struct PackageShape {
    const char* signer = package::test::kKeyASecret;  // null: unsigned
    std::uint16_t pid = 0x0326;
    std::uint16_t version = 0x0102;
    void (*damage)(Bytes&) = nullptr;  // applied to the finished file
};

Bytes MakePackage(const PackageShape& shape) {
    const Bytes firmware = package::test::SampleFirmware();
    pkg::Manifest manifest = package::test::SampleManifest(firmware);
    manifest.application.pid = shape.pid;
    manifest.version = shape.version;
    const std::string text = pkg::WriteManifest(manifest);
    std::optional<std::string> signature;
    if (shape.signer) signature = package::test::SignatureOf(text, shape.signer);
    Bytes bytes = pkg::WritePackage(text, signature, firmware);
    if (shape.damage) shape.damage(bytes);
    return bytes;
}

std::size_t Find(const Bytes& bytes, const std::string& text) {
    return static_cast<std::size_t>(
        std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) - bytes.begin());
}

// One byte of firmware.bin, or of the manifest's product name, changed where it lies in the zip.
void AlterFirmware(Bytes& bytes) {
    bytes[Find(bytes, pkg::kFirmwareEntry) + 12 + 100] ^= 0x01;
}
void AlterManifest(Bytes& bytes) {
    bytes[Find(bytes, "Test keypad")] = 't';
}

struct UpdateCase {
    const char* name;
    PackageShape shape;
    std::vector<std::string> args;
    int exitCode;
    const char* result;
    const char* check;  // "" when the JSON names none
    bool written;
};

const UpdateCase kUpdates[] = {
    {"trusted", {}, {}, 0, "DFU_SUCCESS", "", true},
    {"firmware_altered", {.damage = AlterFirmware}, {}, 11, "SIGNATURE_INVALID", "sha256", false},
    {"manifest_altered",
     {.damage = AlterManifest},
     {},
     11,
     "SIGNATURE_INVALID",
     "signature",
     false},
    {"unknown_key", {.signer = package::test::kKeyBSecret}, {}, 11, "UNTRUSTED_KEY", "key", false},
    // Two --trust options, key A's and then key B's ("@other.pub"): either key's package verifies.
    {"second_trusted_key",
     {.signer = package::test::kKeyBSecret},
     {"--trust", "@other.pub"},
     0,
     "DFU_SUCCESS",
     "",
     true},
    {"first_of_two_trusted_keys", {}, {"--trust", "@other.pub"}, 0, "DFU_SUCCESS", "", true},
    {"other_product",
     {.pid = 0x0327},
     {"--vid", "5C3B", "--pid", "0326"},
     12,
     "WRONG_DEVICE",
     "application",
     false},
    {"older", {}, {"--sim-version", "1.03"}, 13, "OLDER_VERSION", "version", false},
    {"older_allowed", {}, {"--sim-version", "1.03", "--allow-older"}, 0, "DFU_SUCCESS", "", true},
    {"same", {}, {"--sim-version", "1.02"}, 13, "SAME_VERSION", "version", false},
    {"same_reinstalled",
     {},
     {"--sim-version", "1.02", "--allow-reinstall"},
     0,
     "DFU_SUCCESS",
     "",
     true},
    {"same_skipped", {}, {"--sim-version", "1.02", "--skip-current"}, 0, "SKIPPED", "", false},
    {"address_differs", {}, {"--address", "100"}, 64, "USAGE", "--address", false},
    {"version_differs", {}, {"--image-version", "1.03"}, 64, "USAGE", "--image-version", false},
    {"unsigned_required",
     {.signer = nullptr},
     {"--require-signed"},
     11,
     "SIGNATURE_INVALID",
     "signature",
     false},
    {"unsigned", {.signer = nullptr}, {}, 0, "DFU_SUCCESS", "", true},
    {"cut_short",
     {.damage = [](Bytes& b) { b.resize(b.size() - 5); }},
     {},
     65,
     "BAD_PACKAGE",
     "zip",
     false},
    {"in_boot_loader",
     {},
     {"--sim-in-bootloader", "--sim-version", "1.03"},
     0,
     "DFU_SUCCESS",
     "",
     true},
};

class PackageUpdate : public ToolBenchTest, public ::testing::WithParamInterface<UpdateCase> {
protected:
    std::string transcript(const std::string& recording) {
        return run({"show-recording", recording}).out;
    }
};

TEST_P(PackageUpdate, ChecksBeforeAnythingIsSent) {
    const UpdateCase& c = GetParam();
    const std::string path = dir_.write("fw.tvpkg", MakePackage(c.shape));
    const std::string key = dir_.write("maker.pub", std::string(package::test::kKeyAPublic));
    const std::string recording = dir_.path("run.rec");
    std::vector<std::string> args{"--json", "--record", recording, "update", path, "--trust", key};
    for (const std::string& arg : c.args) {
        args.push_back(
            arg == "@other.pub"
                ? dir_.write("other.pub", pkg::WritePublicKey(pkg::PublicKeyOf(
                                              package::test::Secret(package::test::kKeyBSecret))))
                : arg);
    }
    const ToolRun r = simulate(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["result"], c.result) << r.err;
    if (*c.check) {
        EXPECT_EQ(json.value("check", ""), c.check) << r.out;
    }
    EXPECT_EQ(json["simulated_devices"][0]["memory_equals_image"], c.written) << r.out;
    if (!c.written) {
        // Refused when the package was read, no device was even looked at; refused by its
        // version, the device was looked at but never opened to write.
        const std::string calls =
            std::filesystem::exists(recording) ? transcript(recording) : std::string();
        if (c.exitCode == 13) {
            EXPECT_THAT(calls, HasSubstr("attributes"));
        }
        EXPECT_THAT(calls, Not(HasSubstr("read-write")));
        EXPECT_THAT(calls, Not(HasSubstr("set feature")));
        EXPECT_THAT(calls, Not(HasSubstr("output")));
    }
    if (c.exitCode == 11 || c.exitCode == 12 || c.exitCode == 65) {
        EXPECT_EQ(json["bytes_sent"], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PackageUpdate, ::testing::ValuesIn(kUpdates),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(ToolBenchTest, PackageWarnsOfDevelopmentKeysAndUnreadableVersions) {
    const std::string path = dir_.write("fw.tvpkg", MakePackage({}));
    const std::string key = dir_.write("maker.dev.pub", std::string(package::test::kKeyAPublic));
    const ToolRun dev = simulate({"update", path, "--trust", key});
    EXPECT_EQ(dev.exitCode, 0) << dev.err;
    EXPECT_THAT(dev.err, HasSubstr("development key 1573F66A23B769CF"));
    const ToolRun boot = simulate({"update", path, "--trust", key, "--sim-in-bootloader"});
    EXPECT_EQ(boot.exitCode, 0) << boot.err;
    EXPECT_THAT(boot.err, HasSubstr("version could not be read"));
}

// pack, sign and verify touch no device: run as they are, without the virtual target.
using PackageCommandTest = ToolBenchTest;

TEST_F(PackageCommandTest, PackIsReproducibleAndVerifyAndSignAgreeWithTheLibrary) {
    const std::string secret = dir_.write("maker.key", std::string(package::test::kKeyASecret));
    const std::string key = dir_.write("maker.pub", std::string(package::test::kKeyAPublic));
    const std::string image = this->image();
    const std::vector<std::string> pack{
        "pack", image,   "--vid", "5C3B", "--pid", "0326", "--image-version",
        "1.02", "--key", secret,  "-o"};
    auto packTo = [&](const std::string& out) {
        std::vector<std::string> args = pack;
        args.push_back(out);
        return run(args);
    };
    ASSERT_EQ(packTo(dir_.path("a.tvpkg")).exitCode, 0);
    ASSERT_EQ(packTo(dir_.path("b.tvpkg")).exitCode, 0);
    std::ifstream a(dir_.path("a.tvpkg"), std::ios::binary),
        b(dir_.path("b.tvpkg"), std::ios::binary);
    EXPECT_TRUE(
        std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b)));

    const ToolRun verified = run({"--json", "verify", dir_.path("a.tvpkg"), "--trust", key});
    EXPECT_EQ(verified.exitCode, 0) << verified.err;
    const auto json = nlohmann::json::parse(verified.out);
    EXPECT_EQ(json["key_id"], "1573F66A23B769CF");
    EXPECT_EQ(json["version"], "1.02");
    EXPECT_EQ(json["development_key"], false);
    EXPECT_EQ(run({"verify", dir_.path("a.tvpkg")}).exitCode, 11);

    // Unsigned, then a signature made elsewhere attached.
    std::vector<std::string> unsignedPack(pack.begin(), pack.begin() + 8);
    for (const std::string& arg :
         {std::string("--unsigned"), std::string("-o"), dir_.path("c.tvpkg")})
        unsignedPack.push_back(arg);
    ASSERT_EQ(run(unsignedPack).exitCode, 0);
    auto read =
        pkg::ReadPackage(std::get<Bytes>(pkg::ReadFileBytes(dir_.path("c.tvpkg"), 1 << 20)));
    const std::string sig = dir_.write(
        "m.minisig", package::test::SignatureOf(std::get<pkg::Package>(read).manifestText,
                                                package::test::kKeyASecret));
    EXPECT_EQ(run({"sign", dir_.path("c.tvpkg"), "--sig", sig, "--trust", key}).exitCode, 0);
    EXPECT_EQ(run({"verify", dir_.path("c.tvpkg"), "--trust", key}).exitCode, 0);
}

}  // namespace
}  // namespace tolvane::cli
