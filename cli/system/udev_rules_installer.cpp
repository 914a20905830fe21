#include "system/udev_rules_installer.h"

#include "output/exit_codes.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#endif

namespace tolvane::cli {
namespace {

namespace fs = std::filesystem;

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Upper4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
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

// Runs one program; empty when it succeeded, else what went wrong.
std::string RunStep(const UdevSystem& system, const std::vector<std::string>& args) {
    std::string error;
    const int status = system.run ? system.run(args, error) : -1;
    if (status == 0) return {};
    return "`" + args[0] + " " + args[1] + "` " +
           (status < 0 ? "could not run: " + error
                       : "failed with status " + std::to_string(status));
}

// Makes the group on a system that has none (Fedora, Arch); what to tell people about it.
std::string EnsureGroup(const UdevSystem& system) {
    const std::string group = kUdevRulesGroup;
    if (system.lookUpGroup(group, "").exists) return {};
    const std::string failure = RunStep(system, {system.groupadd, "--system", group});
    if (failure.empty()) return " Created the group " + group + ".";
    return " This system has no group " + group + " and " + failure + ": create it with `" +
           system.groupadd + " --system " + group + "`, then run install-udev-rules again.";
}

// Whether the user who ran sudo must join the group, and log in again, to open the devices from a
// session without a seat.
std::string AdviceForInvokingUser(const UdevSystem& system) {
    const std::string& user = system.invokingUser;
    if (user.empty() || user == "root") return {};
    const std::string group = kUdevRulesGroup;
    const GroupFacts facts = system.lookUpGroup(group, user);
    if (facts.userIsMember) {
        return " " + user + " is in " + group + " already: nothing more to do (log in again if " +
               user + " joined it during this session).";
    }
    return " " + user + " is not in " + group +
           ": at the seat's own desktop that is enough, but for SSH or a session without a seat "
           "run `sudo usermod -aG " +
           group + " " + user + "` and log in again.";
}

}  // namespace

std::string SudoUserFromEnvironment() {
    const char* user = std::getenv("SUDO_USER");
    return user != nullptr ? user : "";
}

GroupFacts SystemGroupFacts(const std::string& group, const std::string& user) {
    GroupFacts facts;
#ifndef _WIN32
    const struct group* entry = ::getgrnam(group.c_str());
    if (entry == nullptr) return facts;
    facts.exists = true;
    const gid_t gid = entry->gr_gid;
    for (char** member = entry->gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (user == *member) facts.userIsMember = true;
    }
    if (!user.empty()) {
        if (const struct passwd* account = ::getpwnam(user.c_str())) {
            facts.userIsMember = facts.userIsMember || account->pw_gid == gid;
        }
    }
#else
    (void)group;
    (void)user;
#endif
    return facts;
}

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
           "\", TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\"\n"
           "# The HID device itself (bus:vendor:product.instance), over any bus.\n"
           "SUBSYSTEM==\"hidraw\", KERNELS==\"????:" +
           Upper4(vid) + ":" + Upper4(pid) +
           ".*\", TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\"\n";
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
    // A system without udev rules of its own yet (a minimal container) has no folder, nor has a
    // staged root that is still empty.
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        outcome.exitCode = kExitOutputFailed;
        outcome.message = "cannot create " + dir.string() + ": " + ec.message();
        return outcome;
    }
    std::string notes;
    if (!chosen) notes = EnsureGroup(system);
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
    // Present devices get the new rules only when their events are replayed; settling waits
    // until udev has applied them, so the nodes can be opened as soon as this returns.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{system.udevadm, "control", "--reload-rules"},
          std::vector<std::string>{system.udevadm, "trigger", "--subsystem-match=hidraw",
                                   "--action=change"},
          std::vector<std::string>{system.udevadm, "settle", "--timeout=10"}}) {
        if (const std::string failure = RunStep(system, args); !failure.empty()) {
            outcome.exitCode = kExitOutputFailed;
            outcome.message =
                "rules installed, but " + failure + "; plug the device in again to apply them";
            return outcome;
        }
    }
    outcome.message = "Installed";
    for (const std::string& path : outcome.installed) outcome.message += " " + path;
    outcome.message += "; udev reloaded." + notes + AdviceForInvokingUser(system) +
                       " Plug the device in again if it is still refused.";
    return outcome;
}

}  // namespace tolvane::cli
