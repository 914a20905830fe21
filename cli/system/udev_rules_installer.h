// install-udev-rules: writes the shipped udev rules (and, on request, a rule for one more
// application identity) into udev's rules folder and makes udev apply them to present devices.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

// What the system tells about a group and the invoking user's place in it.
struct GroupFacts {
    bool exists = false;
    bool userIsMember = false;  // by the account's primary group or the group's member list
};

// Looks the group up in the system's account database (and the user, when one is named).
GroupFacts SystemGroupFacts(const std::string& group, const std::string& user);

// SUDO_USER from the environment; empty when not set.
std::string SudoUserFromEnvironment();

// The group the rules give the nodes to, for sessions without a seat.
inline constexpr const char* kUdevRulesGroup = "plugdev";

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
    // The user who ran the tool through sudo (SUDO_USER); empty when unknown or root itself.
    std::string invokingUser = SudoUserFromEnvironment();
    std::function<GroupFacts(const std::string& group, const std::string& user)> lookUpGroup =
        SystemGroupFacts;
    std::string groupadd = "groupadd";
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

// Into the system's folder (made when missing) as root, or a folder of the caller's choice;
// on the system's folder, makes the group when the system has none. Then reloads udev, replays
// the hidraw devices' events and waits until udev has handled them, and tells the invoking user
// whether they must join the group.
UdevRulesOutcome InstallUdevRules(const UdevSystem& system, const UdevRulesRequest& request);

// The rules file shipped with the tool, as it was at build time.
const std::string& ShippedUdevRules();
// The file name of the shipped rules.
const char* ShippedUdevRulesName();
// A rules file that opens the hidraw nodes of one application identity.
std::string ApplicationIdentityRules(std::uint16_t vid, std::uint16_t pid);
std::string ApplicationIdentityRulesName(std::uint16_t vid, std::uint16_t pid);

}  // namespace tolvane::cli
