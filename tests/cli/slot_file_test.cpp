// The slot file as people write it and as it must not be: a name written like a port (which
// made --port ambiguous), a byte-order mark, and files that are no slot file at all.
#include "options/slot_names.h"
#include "output/exit_codes.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;

TEST(SlotNames, ANameMayNotBeWrittenLikeAPort) {
    const std::pair<const char*, bool> texts[] = {
        {"1-1", true}, {"1-1.4.2", true}, {"12-3", true},  {"A2", false},  {"slot-1", false},
        {"1-", false}, {"-1", false},     {"1-1.", false}, {"1-a", false}, {"12", false},
    };
    for (const auto& [text, port] : texts) EXPECT_EQ(LooksLikePort(text), port) << text;
    // Refused whether or not the file names that port: --port 1-2 must mean port 1-2.
    for (const char* file : {"1-1 1-2\n", "1-1 a\n2-1 1-1.3\n"}) {
        const SlotsRead read = ParseSlots(file, "s");
        EXPECT_FALSE(read.names) << file;
        EXPECT_THAT(read.error, HasSubstr("is written like a port")) << file;
    }
}

TEST(SlotNames, AByteOrderMarkIsNoPartOfTheFirstPort) {
    const SlotsRead read = ParseSlots(
        "\xEF\xBB\xBF"
        "1-1 a\n1-2 b\n",
        "s");
    ASSERT_TRUE(read.names) << read.error;
    EXPECT_EQ(read.names->nameOf("1-1"), "a");
    EXPECT_EQ(read.names->byPort.size(), 2u);
}

using SlotFileTest = ToolBenchTest;

TEST_F(SlotFileTest, WhatIsNoSlotFileIsRefused) {
    std::vector<std::pair<std::string, const char*>> refused = {
        {dir_.path(""), "is not a regular file"},
        {dir_.write("big", std::string(1024 * 1024 + 1, '#')), "is longer than 1048576 bytes"},
    };
#ifndef _WIN32
    refused.emplace_back("/dev/zero", "is not a regular file");  // never ends
#endif
    for (const auto& [path, says] : refused) {
        const ToolRun r = simulate({"--slots", path, "list"});
        EXPECT_EQ(r.exitCode, kExitUsage) << path;
        EXPECT_THAT(r.err, HasSubstr(says)) << path;
    }
}

// The unit at port 1-2 is never taken for the slot a file once named "1-2".
TEST_F(SlotFileTest, PortMeansAPortOrASlotUnambiguously) {
    const std::string slots = dir_.write("slots", std::string("1-1 1-2\n"));
    const ToolRun r = simulate(
        {"--sim-devices", "2", "--json", "--slots", slots, "update", image(), "--port", "1-2"});
    EXPECT_EQ(r.exitCode, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("slots:1: the name 1-2 is written like a port"));
    const auto json = nlohmann::json::parse(r.out);
    for (const auto& device : json["simulated_devices"]) {
        EXPECT_EQ(device["memory_equals_image"], false);
    }
}

}  // namespace
}  // namespace tolvane::cli
