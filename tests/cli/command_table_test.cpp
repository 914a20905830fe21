// The command table: one row per command, and the rules the rows must keep with each other.
#include "options/command_table.h"
#include "tool/command_line.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

namespace tolvane::cli {
namespace {

TEST(CommandTable, EveryCommandHasOneRowWithAName) {
    std::set<std::string> names;
    for (const CommandTraits& row : CommandTable()) {
        EXPECT_EQ(TraitsOf(row.command).name, row.name) << row.name << " is found by its command";
        EXPECT_TRUE(names.insert(row.name).second) << row.name << " twice";
    }
    EXPECT_EQ(names.size(), 9u);
}

TEST(CommandTable, RowsKeepToTheUpdatesRules) {
    for (const CommandTraits& row : CommandTable()) {
        SCOPED_TRACE(row.name);
        // A command that looks for the boot loader only never needs the application's ids.
        if (row.bootLoaderOnly) {
            EXPECT_FALSE(row.findsApplication);
        }
        // Only a command that reads an image downloads one.
        EXPECT_EQ(row.steps.download, row.needsImage);
        // A command with no device takes no step.
        if (row.devices == CommandDevices::None) {
            EXPECT_FALSE(row.steps.enterBootLoader || row.steps.download ||
                         row.steps.resetToApplication);
        }
    }
}

TEST(CommandTable, UpdateWorksOnOneDeviceUnlessAll) {
    Options options;
    options.command = Command::Update;
    EXPECT_TRUE(WorksOnOneDevice(options));
    options.all = true;
    EXPECT_FALSE(WorksOnOneDevice(options));
    options.command = Command::Download;
    EXPECT_TRUE(WorksOnOneDevice(options));
    options.command = Command::Station;
    EXPECT_FALSE(WorksOnOneDevice(options));
}

// Each row is a command of --help under its name, with its summary as its line there (a
// subcommand's under its parent's --help).
TEST(CommandTable, HelpShowsEachRowAsTheTableHasIt) {
    for (const CommandTraits& row : CommandTable()) {
        SCOPED_TRACE(row.name);
        const std::string name = row.name;
        const std::size_t space = name.rfind(' ');
        std::vector<std::string> ask{"--help"};
        if (space != std::string::npos) ask.insert(ask.begin(), name.substr(0, space));
        // Long lines may be wrapped: spaces and line breaks count alike.
        const std::string help =
            std::regex_replace(ParseCommandLine(ask).out, std::regex("\\s+"), " ");
        // Appended piece by piece: the cross compiler mistakes the chain of + for an overlap.
        std::string entry(" ");
        entry.append(name, space == std::string::npos ? 0 : space + 1).append(" ");
        entry.append(row.summary).append(" ");
        EXPECT_NE(help.find(entry), std::string::npos) << help;
    }
}

}  // namespace
}  // namespace tolvane::cli
