// The manual page against --help: every command, option and exit code that --help shows is in
// the page, and the page names no option that --help does not know, so that neither can fall
// behind the other. The README's exit-code table holds the same codes as --help.
#include "options/command_table.h"
#include "output/exit_codes.h"
#include "tool/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace tolvane::cli {
namespace {

std::string FileText(const char* path) {
    std::ifstream file(path);
    std::ostringstream read;
    read << file.rdbuf();
    return read.str();
}

// The page as a reader sees its words: roff's "\-" is a plain hyphen.
std::string ManualPageText() {
    std::string text = FileText(TOLVANE_MANUAL_PAGE);
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
        text.erase(at, 1);
    }
    return text;
}

std::set<std::string> Matches(const std::string& text, const std::regex& pattern,
                              std::size_t group = 0) {
    std::set<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), pattern), end; it != end; ++it) {
        found.insert((*it)[group].str());
    }
    return found;
}

std::string AllHelp() {
    std::string help = ParseCommandLine({"--help"}).out;
    for (const char* command :
         {"update", "reset-to-isp", "download", "reset-to-ap", "list", "install-udev-rules",
          "station", "report", "pack", "sign", "verify"}) {
        help += ParseCommandLine({command, "--help"}).out;
    }
    help += ParseCommandLine({"slots", "teach", "--help"}).out;
    return help;
}

TEST(ManualPageTest, ShowsWhatHelpShowsAndNothingElse) {
    const std::string page = ManualPageText();
    ASSERT_FALSE(page.empty()) << TOLVANE_MANUAL_PAGE;
    const std::string help = AllHelp();
    const std::regex option("--[a-z][a-z-]*[a-z]");
    const std::set<std::string> helpOptions = Matches(help, option);
    for (const std::string& name : helpOptions) {
        EXPECT_NE(page.find(name), std::string::npos) << name << " is missing from the page";
    }
    for (const std::string& name : Matches(page, option)) {
        EXPECT_TRUE(helpOptions.contains(name)) << name << " is on the page but not in --help";
    }
    const std::string commands = help.substr(help.find("Subcommands:"));
    for (const std::string& command :
         Matches(commands.substr(0, commands.find("\n\n")), std::regex("\n  ([a-z-]+) "), 1)) {
        EXPECT_NE(page.find(".B " + command + "\n"), std::string::npos)
            << "command " << command << " has no entry on the page";
    }
    for (const std::string& code : Matches(ExitCodeHelp(), std::regex("\n *([0-9]+)  "), 1)) {
        EXPECT_NE(page.find(".B " + code + "\n"), std::string::npos)
            << "exit code " << code << " has no entry on the page";
    }
}

// The page's list of commands holds the commands of --help, whose entries come from the command
// table, and no other; a subcommand's entry names its parent first (".B slots" then ".B teach").
TEST(ManualPageTest, CommandListIsTheCommandsOfHelp) {
    const std::string page = ManualPageText();
    const std::size_t from = page.find(".SH COMMANDS");
    ASSERT_NE(from, std::string::npos);
    const std::string list = page.substr(from, page.find(".SH ", from + 1) - from);
    const std::string help = AllHelp();
    const std::string commands = help.substr(help.find("Subcommands:"));
    std::set<std::string> helpCommands =
        Matches(commands.substr(0, commands.find("\n\n")), std::regex("\n  ([a-z-]+) "), 1);
    for (const CommandTraits& row : CommandTable()) {
        std::string entry = row.name;
        // "slots teach" is entered as ".B slots" then ".B teach".
        const std::size_t space = entry.find(' ');
        if (space != std::string::npos) entry.replace(space, 1, "\n.B ");
        EXPECT_NE(list.find(".TP\n.B " + entry), std::string::npos)
            << row.name << " has no entry in the page's command list";
    }
    EXPECT_EQ(Matches(list, std::regex("\\.TP\n\\.B ([a-z-]+)"), 1), helpCommands);
}

TEST(ManualPageTest, ReadmeTableHoldsTheExitCodesOfHelp) {
    const std::string readme = FileText(TOLVANE_README);
    ASSERT_FALSE(readme.empty()) << TOLVANE_README;
    EXPECT_EQ(Matches(readme, std::regex("\n\\| ([0-9]+) \\|"), 1),
              Matches(ExitCodeHelp(), std::regex("\n *([0-9]+)  "), 1));
}

}  // namespace
}  // namespace tolvane::cli
