// install-udev-rules into a scratch folder, with udevadm stood in for.
#include "system/udev_rules_installer.h"

#include "output/exit_codes.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tolvane::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using tolvane::test::TempDir;

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

class UdevRulesInstallerTest : public ::testing::Test {
protected:
    UdevRulesInstallerTest() {
        system_.runningAsRoot = true;
        system_.rulesDir = dir_.path("");
        system_.udevadm = "udevadm-stand-in";
        system_.run = [this](const std::vector<std::string>& argv, std::string& error) {
            calls_.push_back(argv);
            if (failStatus_ < 0) error = "no such program";
            return failStatus_;
        };
        system_.invokingUser = "";
        system_.lookUpGroup = [this](const std::string& group, const std::string& user) {
            lookups_.push_back(group + "/" + user);
            return group_;
        };
    }

    TempDir dir_;
    UdevSystem system_;
    std::vector<std::vector<std::string>> calls_;
    std::vector<std::string> lookups_;
    GroupFacts group_{.exists = true, .userIsMember = false};
    int failStatus_ = 0;
};

TEST_F(UdevRulesInstallerTest, InstallsTheShippedRulesAndReloadsUdev) {
    const UdevRulesOutcome outcome = InstallUdevRules(system_, {});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.message;
    const std::string installed = dir_.path("70-tolvane-hidraw.rules");
    EXPECT_THAT(outcome.installed, ElementsAre(installed));
    EXPECT_EQ(ReadText(installed), ShippedUdevRules());
    ASSERT_EQ(calls_.size(), 3u);
    EXPECT_THAT(calls_[0], ElementsAre("udevadm-stand-in", "control", "--reload-rules"));
    EXPECT_EQ(calls_[1][1], "trigger");
    EXPECT_EQ(calls_[2][1], "settle") << "the nodes are ready when the command ends";
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path("")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(UdevRulesInstallerTest, TheEmbeddedRulesAreTheShippedFile) {
    EXPECT_EQ(ShippedUdevRules(), ReadText(TOLVANE_UDEV_RULES_FILE));
    // Every product of the vendor, for the seat's user and for plugdev without a seat.
    EXPECT_THAT(ShippedUdevRules(),
                HasSubstr("SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"5c3b\", TAG+=\"uaccess\", "
                          "MODE=\"0660\", GROUP=\"plugdev\"\n"));
    // The HID device itself, by its kernel name: devices without a USB parent (uhid, Bluetooth).
    EXPECT_THAT(ShippedUdevRules(),
                HasSubstr("SUBSYSTEM==\"hidraw\", KERNELS==\"????:5C3B:????.*\", "
                          "TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\"\n"));
}

TEST_F(UdevRulesInstallerTest, AnApplicationIdentityGetsAFileOfItsOwn) {
    const UdevRulesOutcome outcome = InstallUdevRules(system_, {std::nullopt, 0x1234, 0xABCD});
    EXPECT_EQ(outcome.exitCode, kExitSuccess);
    ASSERT_EQ(outcome.installed.size(), 2u);
    const std::string rules = ReadText(outcome.installed[1]);
    EXPECT_THAT(rules, HasSubstr("ATTRS{idVendor}==\"1234\", ATTRS{idProduct}==\"abcd\", "
                                 "TAG+=\"uaccess\", MODE=\"0660\", GROUP=\"plugdev\""));
    EXPECT_THAT(rules, HasSubstr("KERNELS==\"????:1234:ABCD.*\""));
    // A second identity does not replace the first.
    InstallUdevRules(system_, {std::nullopt, 0x1234, 0x0001});
    EXPECT_TRUE(std::filesystem::exists(outcome.installed[1]));
}

TEST_F(UdevRulesInstallerTest, WithoutRootTheSystemFolderIsRefusedUntouched) {
    system_.runningAsRoot = false;
    const UdevRulesOutcome outcome = InstallUdevRules(system_, {});
    EXPECT_EQ(outcome.exitCode, kExitNeedsRoot);
    EXPECT_THAT(outcome.message, HasSubstr("root"));
    EXPECT_THAT(outcome.message, HasSubstr("sudo"));
    EXPECT_FALSE(std::filesystem::exists(dir_.path("70-tolvane-hidraw.rules")));
    EXPECT_TRUE(calls_.empty());
    // A folder of the caller's choice needs only the right to write there.
    const UdevRulesOutcome chosen = InstallUdevRules(system_, {dir_.path(""), {}, {}});
    EXPECT_EQ(chosen.exitCode, kExitSuccess) << chosen.message;
}

TEST_F(UdevRulesInstallerTest, AFolderThatCannotBeMadeFails) {
    const std::string file = dir_.write("blocked", "x");
    const UdevRulesOutcome outcome = InstallUdevRules(system_, {file + "/rules.d", {}, {}});
    EXPECT_EQ(outcome.exitCode, kExitOutputFailed);
    EXPECT_THAT(outcome.message, HasSubstr("cannot create " + file + "/rules.d"));
    EXPECT_TRUE(calls_.empty());
}

TEST_F(UdevRulesInstallerTest, AFailedReloadIsReportedAfterTheRulesAreInPlace) {
    failStatus_ = 1;
    const UdevRulesOutcome failed = InstallUdevRules(system_, {});
    EXPECT_EQ(failed.exitCode, kExitOutputFailed);
    EXPECT_THAT(failed.message, HasSubstr("rules installed, but `udevadm-stand-in control`"));
    EXPECT_THAT(failed.message, HasSubstr("status 1"));
    failStatus_ = -1;
    const UdevRulesOutcome missing = InstallUdevRules(system_, {});
    EXPECT_THAT(missing.message, HasSubstr("could not run: no such program"));
}

// The system's folder on a minimal system, and a staged root's folder given with --rules-dir.
TEST_F(UdevRulesInstallerTest, AMissingFolderIsMadeChosenOrNot) {
    system_.rulesDir = dir_.path("etc/udev/rules.d");
    const UdevRulesOutcome outcome = InstallUdevRules(system_, {});
    EXPECT_EQ(outcome.exitCode, kExitSuccess) << outcome.message;
    EXPECT_TRUE(std::filesystem::exists(dir_.path("etc/udev/rules.d/70-tolvane-hidraw.rules")));
    UdevRulesRequest request;
    request.rulesDir = dir_.path("stage/lib/udev/rules.d");
    const UdevRulesOutcome chosen = InstallUdevRules(system_, request);
    EXPECT_EQ(chosen.exitCode, kExitSuccess) << chosen.message;
    EXPECT_TRUE(
        std::filesystem::exists(dir_.path("stage/lib/udev/rules.d/70-tolvane-hidraw.rules")));
}

// The group and the invoking user: what the installer does and says for each case.
TEST_F(UdevRulesInstallerTest, TheGroupIsMadeWhenMissingAndTheInvokingUserIsToldWhatToDo) {
    struct Case {
        const char* name;
        GroupFacts group;
        std::string user;
        int groupaddStatus;
        bool chosenFolder;
        std::vector<std::string> expected;  // parts of the message
        std::size_t programsRun;            // groupadd and the three udevadm steps
    };
    const std::vector<Case> cases = {
        {"member", {true, true}, "ada", 0, false, {"ada is in plugdev already"}, 3},
        {"not a member",
         {true, false},
         "ada",
         0,
         false,
         {"ada is not in plugdev", "sudo usermod -aG plugdev ada", "log in again"},
         3},
        {"no sudo user", {true, false}, "", 0, false, {"udev reloaded."}, 3},
        {"no group", {false, false}, "ada", 0, false, {"Created the group plugdev"}, 4},
        {"no group, groupadd fails",
         {false, false},
         "",
         9,
         false,
         {"no group plugdev", "groupadd --system plugdev"},
         4},
        {"chosen folder: no system group made", {false, false}, "", 0, true, {"Installed"}, 3},
    };
    for (const Case& c : cases) {
        calls_.clear();
        group_ = c.group;
        system_.invokingUser = c.user;
        system_.groupadd = "groupadd";
        system_.run = [&](const std::vector<std::string>& argv, std::string&) {
            calls_.push_back(argv);
            return argv[0] == "groupadd" ? c.groupaddStatus : 0;
        };
        UdevRulesRequest request;
        if (c.chosenFolder) request.rulesDir = dir_.path("");
        const UdevRulesOutcome outcome = InstallUdevRules(system_, request);
        EXPECT_EQ(outcome.exitCode, kExitSuccess) << c.name;
        for (const std::string& part : c.expected) {
            EXPECT_THAT(outcome.message, HasSubstr(part)) << c.name;
        }
        EXPECT_EQ(calls_.size(), c.programsRun) << c.name;
        if (c.programsRun == 4) {
            EXPECT_THAT(calls_[0], ElementsAre("groupadd", "--system", "plugdev")) << c.name;
        }
    }
}

}  // namespace
}  // namespace tolvane::cli
