#include "udev_rules_installer.h"

#include "exit_codes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tolvane::cli {
namespace {

namespace fs = std::filesystem;

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

// Writes through a temporary file in the same folder and renames it into place, so that udev
// never reads half a file and a failed write leaves no stray file behind.
bool WriteFileAtomically(const fs::path& target, const std::string& content, std::string& error) {
    const fs::path temporary = target.string() + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            error = "cannot create " + temporary.string();
            return false;
        }
        file << content;
        file.flush();
        if (!file) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code ec;
    fs::permissions(temporary,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::others_read,
                    ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        error = "cannot install " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

const char* ShippedUdevRulesName() {
    return "70-tolvane-hidraw.rules";
}

std::string ApplicationIdentityRulesName(std::uint16_t vid, std::uint16_t pid) {
    return "70-tolvane-hidraw-" + Hex4(vid) + "-" + Hex4(pid) + ".rules";
}

std::string ApplicationIdentityRules(std::uint16_t vid, std::uint16_t pid) {
    return "# Written by `tolvane install-udev-rules --vid " + Hex4(vid) + " --pid " + Hex4(pid) +
           "`: lets the\n"
           "# logged-in user, and members of plugdev, open this application's hidraw nodes.\n"
           "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"" +
           Hex4(vid) + "\", ATTRS{idProduct}==\"" + Hex4(pid) +
           "\", TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\"\n";
}

UdevRulesOutcome InstallUdevRules(const UdevSystem& system, const UdevRulesRequest& request) {
    UdevRulesOutcome outcome;
    const bool chosen = request.rulesDir.has_value() || system.rulesDirChosen;
    const fs::path dir = request.rulesDir.value_or(system.rulesDir);
    if (!chosen && !system.runningAsRoot) {
        outcome.exitCode = kExitNeedsRoot;
        outcome.message = "install-udev-rules writes to " + dir.string() +
                          " and reloads udev, which needs root rights: run it with sudo";
        return outcome;
    }
    std::vector<std::pair<fs::path, std::string>> files{
        {dir / ShippedUdevRulesName(), ShippedUdevRules()}};
    if (request.vid && request.pid) {
        files.emplace_back(dir / ApplicationIdentityRulesName(*request.vid, *request.pid),
                           ApplicationIdentityRules(*request.vid, *request.pid));
    }
    for (const auto& [path, content] : files) {
        std::string error;
        if (!WriteFileAtomically(path, content, error)) {
            outcome.exitCode = kExitOutputFailed;
            outcome.message = error;
            return outcome;
        }
        outcome.installed.push_back(path.string());
    }
    // Present devices get the new rules only when their events are replayed.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{system.udevadm, "control", "--reload-rules"},
          std::vector<std::string>{system.udevadm, "trigger", "--subsystem-match=hidraw",
                                   "--action=change"}}) {
        std::string error;
        const int status = system.run ? system.run(args, error) : -1;
        if (status != 0) {
            outcome.exitCode = kExitOutputFailed;
            outcome.message = "rules installed, but `" + args[0] + " " + args[1] + "` " +
                              (status < 0 ? "could not run: " + error
                                          : "failed with status " + std::to_string(status)) +
                              "; plug the device in again to apply them";
            return outcome;
        }
    }
    outcome.message = "Installed";
    for (const std::string& path : outcome.installed) outcome.message += " " + path;
    outcome.message += "; udev reloaded. Plug the device in again if it is still refused.";
    return outcome;
}

}  // namespace tolvane::cli
