// What the tool says when the system gets in the way: interfaces it may not open, system errors
// with their texts, and images that do not fit where they are to go.
#include "output/exit_codes.h"
#include "temp_dir.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tolvane::cli {
namespace {

using test::ToolBench;
using ::testing::HasSubstr;
using ::testing::Not;
using tolvane::test::TempDir;

// The fix the tool names for refused access: udev rules on Linux.
#ifdef __linux__
constexpr const char* kAccessFix = "tolvane install-udev-rules";
#else
constexpr const char* kAccessFix = "administrator";
#endif

sim::DeviceSpec TargetWhose(void (*shape)(sim::InterfaceSpec&)) {
    sim::DeviceSpec spec = sim::DeviceSpec::target(0x5C3B, 0x0326);
    shape(spec.application.interfaces.at(0));
    return spec;
}

class ToolAccessTest : public ToolBenchTest {
protected:
    std::vector<std::string> update() {
        return {"update", dir_.write("fw.bin", test::CountingImage(100)), "--vid", "5C3B", "--pid",
                "0326"};
    }
};

TEST_F(ToolAccessTest, AnInterfaceThatCannotBeOpenedIsCountedAndTheFixNamed) {
    ToolBench platform(TargetWhose([](sim::InterfaceSpec& i) { i.openFails = true; }));
    platform.bus().addDevice(sim::DeviceSpec::plainDevice(0x1234, 0x0001, 0));
    const auto r = platform.run(update());
    EXPECT_EQ(r.exitCode, kExitNotFound);
    EXPECT_THAT(r.err, HasSubstr("not found"));
    EXPECT_THAT(r.err, HasSubstr("1 HID interface could not be opened: error 5 (text of 5)"));
    EXPECT_THAT(r.err, HasSubstr(kAccessFix));
}

TEST_F(ToolAccessTest, DifferentErrorsAreCountedApartAndOnlyAccessNamesTheRules) {
    ToolBench platform(TargetWhose([](sim::InterfaceSpec& i) {
        i.openFails = true;
        i.openError = kErrorGenFailure;
    }));
    const auto r = platform.run(update());
    EXPECT_EQ(r.exitCode, kExitNotFound);
    EXPECT_THAT(r.err, HasSubstr("1 HID interface could not be opened: error 31"));
    EXPECT_THAT(r.err, Not(HasSubstr(kAccessFix)));
}

// Found by its identity but not opened read-write: its reports are refused as well.
sim::InterfaceSpec& RefusingWrites(sim::InterfaceSpec& i) {
    i.readWriteOpenFails = true;
    i.refusals = {sim::Refusal{sim::ReportKind::Any, sim::Fault::always(kErrorAccessDenied)}};
    return i;
}

TEST_F(ToolAccessTest, ABootLoaderThatRefusesWritingIsExplained) {
    sim::DeviceSpec spec = sim::DeviceSpec::target(0x5C3B, 0x0326);
    spec.startsIn = sim::Mode::BootLoader;
    RefusingWrites(spec.bootLoader.interfaces.at(0));
    ToolBench platform(spec);
    const auto r = platform.run({"download", dir_.write("fw.bin", test::CountingImage(100))});
    EXPECT_EQ(r.exitCode, kExitSystemError);
    EXPECT_THAT(r.err, HasSubstr("Error code: 5"));
    EXPECT_THAT(r.err, HasSubstr("refused to open it for writing: error 5 (text of 5)"));
    EXPECT_THAT(r.err, HasSubstr(kAccessFix));
}

TEST_F(ToolAccessTest, AnApplicationThatRefusesWritingIsExplained) {
    sim::DeviceSpec spec = sim::DeviceSpec::target(0x5C3B, 0x0326);
    RefusingWrites(spec.application.interfaces.at(0));
    ToolBench platform(spec);
    const auto r = platform.run(update());
    EXPECT_EQ(r.exitCode, kExitEnterDfu);
    EXPECT_THAT(r.err, HasSubstr("refused to open it for writing"));
}

TEST_F(ToolAccessTest, NothingToExplainWhenEveryInterfaceOpened) {
    ToolBench platform;
    auto args = update();
    args[5] = "1111";
    const auto r = platform.run(args);
    EXPECT_EQ(r.exitCode, kExitNotFound);
    EXPECT_THAT(r.err, Not(HasSubstr("could not be opened")));
}

TEST(ToolMessages, SystemErrorsCarryTheirTextAndWithVerboseTheNativeDetail) {
    TempDir dir;
    const std::string image = dir.write("fw.bin", test::CountingImage(1000));
    ToolBench platform(sim::VirtualTargetOptions{.unplugAtDataReport = 3});
    platform.nativeDetail = [] { return std::string("errno 19 (No such device)"); };
    const auto plain = platform.run({"update", image, "--vid", "5C3B", "--pid", "0326"});
    EXPECT_EQ(plain.exitCode, kExitSystemError);
    EXPECT_THAT(plain.err, HasSubstr("system error 1167: text of 1167"));
    EXPECT_THAT(plain.err, Not(HasSubstr("errno 19")));

    ToolBench again(sim::VirtualTargetOptions{.unplugAtDataReport = 3});
    again.nativeDetail = [] { return std::string("errno 19 (No such device)"); };
    const auto verbose = again.run({"-v", "update", image, "--vid", "5C3B", "--pid", "0326"});
    EXPECT_THAT(verbose.err,
                HasSubstr("system error 1167: text of 1167 [errno 19 (No such device)]"));
    // The failed report in the log carries it too.
    EXPECT_THAT(verbose.err, HasSubstr("error 1167 [errno 19 (No such device)]"));
}

class ToolImagePlacement : public ToolBenchTest {
protected:
    ToolImagePlacement() : ToolBenchTest(sim::VirtualTargetOptions{.startsInBootLoader = true}) {}
};

TEST_F(ToolImagePlacement, AnAddressThatPutsTheImagePastTwentyFourBitsIsAUsageError) {
    const std::string image = dir_.write("fw.bin", std::string(16384, 'x'));
    const auto r = bench_.run({"download", image, "--address", "FFFFFF"});
    EXPECT_EQ(r.exitCode, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("--address 0xFFFFFF"));
    EXPECT_EQ(bench_.memory().startQueries, 0u);
    // The last address that still fits.
    const auto fits = bench_.run({"download", image, "--address", "FFC000"});
    EXPECT_EQ(fits.exitCode, kExitSuccess) << fits.err;
    EXPECT_EQ(bench_.memory().loadAddress, 0xFFC000u);
}

TEST_F(ToolImagePlacement, AHexFileThatRunsPastTwentyFourBitsIsABadImage) {
    // Data from 0xFFFFF8 to 0x1000007.
    const std::string image =
        dir_.write("high.hex",
                   ":0200000400FFFB\n:08FFF8000001020304050607E5\n:020000040100F9\n"
                   ":080000000001020304050607DC\n:00000001FF\n");
    const auto r = bench_.run({"--json", "download", image});
    EXPECT_EQ(r.exitCode, kExitBadImage);
    EXPECT_THAT(r.err, HasSubstr("past the boot loader's last address"));
    EXPECT_EQ(bench_.memory().startQueries, 0u);
}

TEST_F(ToolImagePlacement, HexTextInARawNamedFileIsReadAsHexWithAWarning) {
    const std::string text = ":0401000001020304F1\n:00000001FF\n";
    const std::string image = dir_.write("fw.bin", text);
    const auto r = bench_.run({"--json", "download", image});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.err, HasSubstr("warning: "));
    EXPECT_THAT(r.err, HasSubstr("--format raw"));
    EXPECT_EQ(bench_.memory().image, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(bench_.memory().loadAddress, 0x100u);
    EXPECT_EQ(nlohmann::json::parse(r.out)["warnings"].size(), 1u);

    const auto raw = bench_.run({"download", image, "--format", "raw"});
    EXPECT_EQ(raw.exitCode, kExitSuccess) << raw.err;
    EXPECT_THAT(raw.err, HasSubstr("warning: " + image + " holds Intel HEX records"));
    EXPECT_EQ(bench_.memory().image, std::vector<std::uint8_t>(text.begin(), text.end()));
}

}  // namespace
}  // namespace tolvane::cli
