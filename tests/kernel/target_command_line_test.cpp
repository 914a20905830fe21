// The options both virtual targets share: each goes to its field, a bad value is refused without
// moving past it or touching the field, and an option that is not shared is left to the target.
#include "target_command_line.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tolvane::target {
namespace {

struct Case {
    std::vector<const char*> words;  // the arguments after the program's name
    OptionTaken taken;
    int next;  // where the cursor stands after the call
    std::function<bool(const SharedTargetOptions&)> holds;
};

OptionTaken Take(const std::vector<const char*>& words, int& i, SharedTargetOptions& out) {
    // The parser reads argv and never writes it, as main's argv is passed on.
    std::vector<char*> argv{const_cast<char*>("target")};
    for (const char* word : words) argv.push_back(const_cast<char*>(word));
    i = 1;
    return TakeSharedOption(static_cast<int>(argv.size()), argv.data(), i, out);
}

TEST(TargetCommandLine, EachSharedOptionGoesToItsFieldOrIsRefused) {
    const SharedTargetOptions defaults;
    auto unchanged = [&](const SharedTargetOptions& o) {
        return o.model.reportLength == defaults.model.reportLength &&
               o.applicationPid == defaults.applicationPid &&
               o.model.bootLoaderProductId == defaults.model.bootLoaderProductId &&
               o.model.unplugAtDataReport == defaults.model.unplugAtDataReport &&
               o.serial.empty() && o.memoryFile.empty();
    };
    const std::vector<Case> cases = {
        {{"--report-length", "33"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.model.reportLength == 33; }},
        {{"--report-length", "1"}, OptionTaken::Bad, 1, unchanged},
        {{"--report-length", "4097"}, OptionTaken::Bad, 1, unchanged},
        {{"--report-length", "-5"}, OptionTaken::Bad, 1, unchanged},
        {{"--report-length"}, OptionTaken::Bad, 1, unchanged},
        {{"--application-pid", "0327"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.applicationPid == 0x0327; }},
        {{"--application-pid", "0"}, OptionTaken::Bad, 1, unchanged},
        {{"--application-pid", "10000"}, OptionTaken::Bad, 1, unchanged},
        {{"--application-pid", "03x7"}, OptionTaken::Bad, 1, unchanged},
        {{"--boot-loader-pid", "0332"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.model.bootLoaderProductId == 0x0332; }},
        {{"--boot-loader-pid", "0333"}, OptionTaken::Bad, 1, unchanged},
        {{"--reenumeration-ms", "0"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.model.reenumerationMs == 0; }},
        {{"--unplug-at", "4"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.model.unplugAtDataReport == 4; }},
        {{"--unplug-at", "0"}, OptionTaken::Bad, 1, unchanged},
        {{"--serial", "TV-1"}, OptionTaken::Yes, 2, [](auto& o) { return o.serial == "TV-1"; }},
        {{"--serial", ""}, OptionTaken::Bad, 1, unchanged},
        {{"--memory-file"}, OptionTaken::Bad, 1, unchanged},
        {{"--memory-file", "m.bin"},
         OptionTaken::Yes,
         2,
         [](auto& o) { return o.memoryFile == "m.bin"; }},
        {{"--numbered-reports", "--composite"},
         OptionTaken::Yes,
         1,
         [](auto& o) { return o.application.numbered && !o.application.composite; }},
        {{"--composite"}, OptionTaken::Yes, 1, [](auto& o) { return o.application.composite; }},
        {{"--starts-in-boot-loader"},
         OptionTaken::Yes,
         1,
         [](auto& o) { return o.model.startsInBootLoader; }},
        {{"--never-enters"},
         OptionTaken::Yes,
         1,
         [](auto& o) { return o.model.neverEntersBootLoader; }},
        {{"--wrong-checksum"}, OptionTaken::Yes, 1, [](auto& o) { return o.model.wrongChecksum; }},
        // Each target's own options, and unknown ones, are not taken here.
        {{"--port", "1.4"}, OptionTaken::No, 1, unchanged},
        {{"--udc", "dummy_udc.1"}, OptionTaken::No, 1, unchanged},
        {{"--bogus"}, OptionTaken::No, 1, unchanged},
    };
    for (const Case& c : cases) {
        SharedTargetOptions out;
        int i = 0;
        const OptionTaken taken = Take(c.words, i, out);
        const std::string what = std::string(c.words.front()) +
                                 (c.words.size() > 1 ? " " + std::string(c.words[1]) : "");
        EXPECT_EQ(taken, c.taken) << what;
        EXPECT_EQ(i, c.next) << what;
        EXPECT_TRUE(c.holds(out)) << what;
    }
}

TEST(TargetCommandLine, NumbersAreWholeAndBounded) {
    std::uint32_t value = 7;
    EXPECT_TRUE(ParseNumber("FFFFFF", 16, value));
    EXPECT_EQ(value, 0xFFFFFFu);
    for (const char* bad : {"", "1000000", "12 ", "+3", "-1", "99999999999999999999"}) {
        value = 7;
        EXPECT_FALSE(ParseNumber(bad, 16, value)) << bad;
        EXPECT_EQ(value, 7u) << bad;
    }
    EXPECT_FALSE(ParseNumber(nullptr, 10, value));
}

}  // namespace
}  // namespace tolvane::target
