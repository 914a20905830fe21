// The Vandrel build's package step, run on the build machine:
//
//   vandrel_package_check PACKAGE PUBLIC_KEY VID PID OUTPUT_DIR
//
// Checks PACKAGE (see program_package.h) against the maker's PUBLIC_KEY (a minisign public key
// file, or a folder of them) for the target VID:PID (hexadecimal digits), then writes
// OUTPUT_DIR/firmware.bin (the image) and OUTPUT_DIR/package.cmake (its version, identifiers and
// signer, for the program's resources). A refused package fails the build with the check that
// refused it, and leaves no earlier output behind.
#include "package/file_bytes.h"
#include "package/package_file.h"
#include "program_package.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace {

namespace fs = std::filesystem;
using tolvane::package::DeviceIds;
using tolvane::package::IdsText;

constexpr int kRefused = 1;
constexpr int kUsage = 2;

std::optional<std::uint16_t> ParseId(std::string_view text) {
    std::uint16_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 16);
    if (text.empty() || text.size() > 4 || error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Settings(const vandrel::ProgramFirmware& firmware) {
    const auto& manifest = firmware.manifest;
    return "# Written by vandrel_package_check from a checked package. Do not edit.\n"
           "set(VANDREL_FIRMWARE_VERSION [==[" +
           tolvane::package::VersionText(manifest.version) +
           "]==])\n"
           "set(VANDREL_FIRMWARE_IDS [==[application " +
           IdsText(manifest.application) + ", boot loader " + IdsText(manifest.bootLoader) +
           "]==])\n"
           "set(VANDREL_FIRMWARE_KEY_ID [==[" +
           firmware.keyId + "]==])\n";
}

int Refuse(const std::string& package, const std::string& message) {
    std::fprintf(stderr, "error: Vandrel package %s: %s\n", package.c_str(), message.c_str());
    return kRefused;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr,
                     "usage: vandrel_package_check PACKAGE PUBLIC_KEY VID PID OUTPUT_DIR\n");
        return kUsage;
    }
    const std::string package = argv[1], key = argv[2];
    const auto vid = ParseId(argv[3]), pid = ParseId(argv[4]);
    const fs::path output = argv[5];
    const fs::path imagePath = output / "firmware.bin", settingsPath = output / "package.cmake";
    std::error_code ignored;
    fs::remove(imagePath, ignored);
    fs::remove(settingsPath, ignored);
    if (!vid || !pid) {
        return Refuse(package, std::string("the target's identifiers ") + argv[3] + ":" + argv[4] +
                                   " are not one to four hexadecimal digits each");
    }

    tolvane::package::TrustStore trusted;
    if (auto problem = trusted.add(key)) {
        return Refuse(package, "the maker's public key cannot be used: " + *problem);
    }
    auto bytes = tolvane::package::ReadFileBytes(package, tolvane::package::kMaxPackageSize);
    if (auto* problem = std::get_if<std::string>(&bytes)) return Refuse(package, *problem);

    auto checked = vandrel::CheckProgramPackage(std::get<std::vector<std::uint8_t>>(bytes), trusted,
                                                DeviceIds{*vid, *pid});
    if (auto* fault = std::get_if<tolvane::package::PackageFault>(&checked)) {
        return Refuse(package, fault->message);
    }
    const auto& firmware = std::get<vandrel::ProgramFirmware>(checked);
    if (firmware.developmentKey) {
        std::fprintf(stderr,
                     "warning: Vandrel package %s is signed by development key %s: not for units "
                     "that leave the bench\n",
                     package.c_str(), firmware.keyId.c_str());
    }
    fs::create_directories(output, ignored);
    if (auto problem = tolvane::package::ReplaceFile(imagePath.string(), firmware.image)) {
        return Refuse(package, *problem);
    }
    if (auto problem =
            tolvane::package::ReplaceFile(settingsPath.string(), Bytes(Settings(firmware)))) {
        fs::remove(imagePath, ignored);
        return Refuse(package, *problem);
    }
    return 0;
}
