// What a device or a slot file says reaches a terminal escaped: a serial number or a slot name
// with control characters can neither clear the screen nor rewrite what was printed before.
#include "line/all_devices_run.h"
#include "output/exit_codes.h"
#include "tool_bench.h"
#include "update/device_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kHostile[] =
    "A\x1b[2J\rB\xc2\x9b"
    "1m";

TEST(UntrustedText, ListTableAndLabelsShowControlCharactersEscaped) {
    ListedInterface listed;
    listed.path = u"/dev/hidraw0\x1b]0;x\x07";
    listed.port = kHostile;
    listed.slot = kHostile;
    listed.serial = u"S\x1b[31m\x7f";
    DeviceResult device;
    device.port = kHostile;
    device.slot = kHostile;
    device.serial = u"S\x1b[31m\x7f";
    device.result = "DFU_SUCCESS";
    const std::pair<const char*, std::string> shown[] = {
        {"list", FormatInterface(listed)},
        {"table", FormatResultTable({device})},
        {"label", PortLabel(kHostile, kHostile)},
    };
    for (const auto& [what, text] : shown) {
        EXPECT_EQ(text.find_first_of("\x1b\r\x07\x7f"), std::string::npos) << what << ": " << text;
        EXPECT_EQ(text.find("\xc2\x9b"), std::string::npos) << what;
        EXPECT_THAT(text, HasSubstr("A\\x1B[2J\\x0DB\\xC2\\x9B1m")) << what;
    }
    EXPECT_THAT(FormatInterface(listed), HasSubstr("serial S\\x1B[31m\\x7F"));
}

using UntrustedTextTest = ToolBenchTest;

TEST_F(UntrustedTextTest, StationAndListShowASlotNameEscaped) {
    const std::string slots = dir_.write("slots", std::string("1-1 a\x1b[2Jb\n"));
    const ToolRun station = simulate({"--slots", slots, "station", image(), "--count", "1"});
    EXPECT_EQ(station.exitCode, kExitSuccess) << station.err;
    const ToolRun list = simulate({"--slots", slots, "list"});
    for (const ToolRun* r : {&station, &list}) {
        EXPECT_THAT(r->out, Not(HasSubstr("\x1b"))) << r->out;
        EXPECT_THAT(r->out, HasSubstr("a\\x1B[2Jb"));
    }
}

}  // namespace
}  // namespace tolvane::cli
