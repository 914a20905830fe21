// The command table: one row per command, and the rules the rows must keep with each other.
#include "options/command_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

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

}  // namespace
}  // namespace tolvane::cli
