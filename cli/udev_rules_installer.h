// install-udev-rules: writes the shipped udev rules (and, on request, a rule for one more
// application identity) into udev's rules folder and makes udev apply them to present devices.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

// What the installer needs of the system; the tool fills it, tests give a scratch folder and a
// stand-in for udevadm.
struct UdevSystem {
    bool runningAsRoot = false;
    std::string rulesDir = "/etc/udev/rules.d";
    // The folder was chosen by whoever runs the tool (an environment variable), not the system's
    // own: then write permission decides, not root rights.
    bool rulesDirChosen = false;
    std::string udevadm = "udevadm";
    // Runs a program with its arguments and waits for it; returns its exit status, or -1 with
    // `error` telling why it could not run.
    std::function<int(const std::vector<std::string>& argv, std::string& error)> run;
};

struct UdevRulesRequest {
    std::optional<std::string> rulesDir;  // --rules-dir: overrides the system's folder
    std::optional<std::uint16_t> vid;     // one more application identity, with pid
    std::optional<std::uint16_t> pid;
};

struct UdevRulesOutcome {
    int exitCode = 0;
    std::vector<std::string> installed;  // the files written
    std::string message;                 // what happened, for people
};

UdevRulesOutcome InstallUdevRules(const UdevSystem& system, const UdevRulesRequest& request);

// The rules file shipped with the tool, as it was at build time.
const std::string& ShippedUdevRules();
// The file name of the shipped rules.
const char* ShippedUdevRulesName();
// A rules file that opens the hidraw nodes of one application identity.
std::string ApplicationIdentityRules(std::uint16_t vid, std::uint16_t pid);
std::string ApplicationIdentityRulesName(std::uint16_t vid, std::uint16_t pid);

}  // namespace tolvane::cli
