#include "tool/command_line.h"

#include "output/exit_codes.h"
#include "temp_dir.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

ParsedCommandLine Parse(std::vector<std::string> args) {
    return ParseCommandLine(args);
}

Options Accept(std::vector<std::string> args) {
    ParsedCommandLine parsed = Parse(args);
    EXPECT_TRUE(parsed.options) << parsed.err;
    return parsed.options.value_or(Options{});
}

// A usage error: exit code 64 and a message naming what is wrong.
void ExpectUsageError(std::vector<std::string> args, const std::string& part) {
    ParsedCommandLine parsed = Parse(args);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exitCode, kExitUsage);
    EXPECT_NE(parsed.err.find(part), std::string::npos)
        << "wanted \"" << part << "\" in: " << parsed.err;
}

TEST(CommandLine, UpdateTakesImageIdentifiersAddressAndChecksum) {
    const Options o = Accept({"update", "fw.bin", "--vid", "0x1234", "--pid", "abcd", "--address",
                              "0x8000", "--checksum", "DEADBEEF"});
    EXPECT_EQ(o.command, Command::Update);
    EXPECT_EQ(o.imagePath, "fw.bin");
    EXPECT_EQ(o.vid, 0x1234u);
    EXPECT_EQ(o.pid, 0xABCDu);
    EXPECT_EQ(o.address, 0x8000u);
    EXPECT_EQ(o.checksum, 0xDEADBEEFu);
    EXPECT_FALSE(o.simulation.enabled);
}

TEST(CommandLine, GlobalOptionsGoBeforeOrAfterTheCommand) {
    const Options before = Accept({"--json", "-v", "reset-to-ap"});
    EXPECT_TRUE(before.json);
    EXPECT_TRUE(before.verbose);
    const Options after = Accept({"reset-to-ap", "-q", "--json"});
    EXPECT_TRUE(after.quiet);
    EXPECT_TRUE(after.json);
}

TEST(CommandLine, SimulateDefaultsTheIdentifiersToTheVirtualTarget) {
    const Options o = Accept({"update", "--simulate", "fw.bin"});
    EXPECT_EQ(o.vid, 0x5C3Bu);
    EXPECT_EQ(o.pid, 0x0326u);
    const Options other = Accept({"update", "--simulate", "--pid", "0x1111", "fw.bin"});
    EXPECT_EQ(other.pid, 0x1111u);
}

TEST(CommandLine, SimulationOptionsShapeTheVirtualTarget) {
    const Options o = Accept({"update", "fw.hex", "--simulate", "--sim-fast", "--sim-report-length",
                              "9", "--sim-bootloader-pid", "0332", "--sim-in-bootloader",
                              "--sim-never-enters", "--sim-refuse-report", "3", "--sim-unplug-at",
                              "5", "--sim-wrong-checksum", "--sim-hold-report", "4:40000"});
    const SimulationOptions& s = o.simulation;
    EXPECT_TRUE(s.enabled);
    EXPECT_TRUE(s.fast);
    EXPECT_EQ(s.reportLength, 9u);
    EXPECT_EQ(s.bootLoaderPid, 0x0332);
    EXPECT_TRUE(s.inBootLoader);
    EXPECT_TRUE(s.neverEnters);
    EXPECT_EQ(s.refuseReport, 3u);
    EXPECT_EQ(s.unplugAt, 5u);
    EXPECT_TRUE(s.wrongChecksum);
    ASSERT_TRUE(s.holdReport);
    EXPECT_EQ(s.holdReport->report, 4u);
    EXPECT_EQ(s.holdReport->ms, 40000u);
}

TEST(CommandLine, EachCommandIsRecognised) {
    EXPECT_EQ(Accept({"reset-to-isp", "--vid", "1", "--pid", "2"}).command, Command::ResetToIsp);
    EXPECT_EQ(Accept({"download", "x.bin"}).command, Command::Download);
    EXPECT_EQ(Accept({"reset-to-ap"}).command, Command::ResetToAp);
    EXPECT_EQ(Accept({"list"}).command, Command::List);
}

TEST(CommandLine, ImageFormatCanBeForced) {
    EXPECT_EQ(Accept({"download", "x.dat", "--format", "hex"}).imageFormat, ImageFormat::IntelHex);
    EXPECT_EQ(Accept({"download", "x.hex", "--format", "raw"}).imageFormat, ImageFormat::Raw);
    ExpectUsageError({"download", "x.hex", "--format", "elf"}, "--format");
}

TEST(CommandLine, UsageErrors) {
    ExpectUsageError({}, "subcommand");
    ExpectUsageError({"flash", "x.bin"}, "subcommand");
    ExpectUsageError({"update", "--vid", "1", "--pid", "2"}, "IMAGE");
    ExpectUsageError({"update", "x.bin"}, "--vid and --pid are required");
    ExpectUsageError({"update", "x.bin", "--vid", "1"}, "--vid and --pid are required");
    ExpectUsageError({"reset-to-isp", "--pid", "2"}, "--vid and --pid are required");
    ExpectUsageError({"update", "x.bin", "--vid", "12G4", "--pid", "2"}, "--vid: '12G4'");
    ExpectUsageError({"update", "x.bin", "--vid", "10000", "--pid", "2"}, "--vid");
    ExpectUsageError({"update", "x.bin", "--vid", "0x", "--pid", "2"}, "--vid");
    ExpectUsageError({"download", "x.bin", "--address", "0x1000000"}, "--address");
    ExpectUsageError({"download", "x.bin", "--checksum", "100000000"}, "--checksum");
    ExpectUsageError({"-q", "-v", "list"}, "excludes");
    ExpectUsageError({"list", "--sim-fast"}, "--sim-fast needs --simulate");
    ExpectUsageError({"list", "--sim-wrong-checksum"}, "--sim-wrong-checksum needs --simulate");
    ExpectUsageError({"update", "x", "--simulate", "--sim-refuse-report", "0"}, "counted from 1");
    for (const char* hold : {"0:100", "4", "4:", ":100", "4:x", "4:100:1", "4:3600001", "-1:5"}) {
        ExpectUsageError({"update", "x", "--simulate", "--sim-hold-report", hold},
                         "--sim-hold-report: '" + std::string(hold) + "' is not K:MS");
    }
    ExpectUsageError({"update", "x", "--simulate", "--sim-report-length", "70000"},
                     "--sim-report-length");
    ExpectUsageError({"update", "x", "--simulate", "--sim-bootloader-pid", "xyz"},
                     "--sim-bootloader-pid");
    ExpectUsageError({"reset-to-ap", "extra"}, "extra");
}

// `--checksum "$SUM"` with SUM unset must not silently skip the check.
TEST(CommandLine, AnEmptyValueIsAUsageErrorNamingItsOption) {
    const std::vector<std::string> update{"update", "x.bin", "--vid", "1", "--pid", "2"};
    for (const std::string option : {"--checksum", "--address", "--vid", "--pid", "--format"}) {
        auto args = update;
        args.push_back(option);
        args.push_back("");
        ExpectUsageError(args, option + ": an empty value");
    }
    for (const std::string option :
         {"--sim-report-length", "--sim-bootloader-pid", "--sim-refuse-report", "--sim-unplug-at",
          "--sim-leave-delay", "--sim-hold-report"}) {
        ExpectUsageError({"update", "x.bin", "--simulate", option, ""}, option);
    }
    ExpectUsageError({"update", "", "--vid", "1", "--pid", "2"}, "IMAGE: an empty value");
    ExpectUsageError({"install-udev-rules", "--rules-dir", ""}, "--rules-dir");
}

// An output that is an input, or another output, by the file itself rather than its name.
TEST(CommandLine, AnOutputThatIsAnInputIsAUsageError) {
    const tolvane::test::TempDir dir;
    const std::string image = dir.write("fw.bin", std::string("firmware"));
    const std::string log = dir.write("st.log", std::string());
    const std::string slots = dir.write("slots.txt", std::string("1-1 A\n"));
    const std::string linked = dir.path("linked.bin");
    std::filesystem::create_hard_link(image, linked);
    const std::string fresh = dir.path("new.jsonl");
    const std::vector<std::string> id{"--vid", "1", "--pid", "2"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.end(), id.begin(), id.end());
        return args;
    };
    ExpectUsageError(with({"--record", image, "update", image}),
                     "--record " + image + " is the same file as the image " + image);
    ExpectUsageError(with({"--record", linked, "update", image}), "is the same file as the image");
    ExpectUsageError({"report", log, "--html", log},
                     "--html " + log + " is the same file as the log");
    ExpectUsageError(with({"station", image, "--log", image}), "--log");
    ExpectUsageError(with({"--slots", log, "station", image, "--log", log}), "as --slots");
    ExpectUsageError(with({"--record", fresh, "station", image, "--log", fresh}),
                     "--record " + fresh + " is the same file as --log");
    Accept(with({"--record", fresh, "update", image}));
    Accept({"--slots", slots, "slots", "teach", "--count", "1", "--out", slots, "--vid", "1",
            "--pid", "2"});
    EXPECT_EQ(std::filesystem::file_size(image), 8u);
}

TEST(CommandLine, InstallUdevRulesTakesAnIdentityAndAFolder) {
    const Options plain = Accept({"install-udev-rules"});
    EXPECT_EQ(plain.command, Command::InstallUdevRules);
    EXPECT_FALSE(plain.vid);
    EXPECT_FALSE(plain.rulesDir);
    const Options shaped =
        Accept({"install-udev-rules", "--vid", "1234", "--pid", "ABCD", "--rules-dir", "/x"});
    EXPECT_EQ(shaped.vid, 0x1234u);
    EXPECT_EQ(shaped.pid, 0xABCDu);
    EXPECT_EQ(shaped.rulesDir, "/x");
    ExpectUsageError({"install-udev-rules", "--vid", "1234"}, "--vid and --pid together");
}

TEST(CommandLine, JsonAndTheCommandAreKnownEvenWhenTheLineIsRefused) {
    const ParsedCommandLine parsed = Parse({"download", "--json", "--bogus"});
    EXPECT_FALSE(parsed.options);
    EXPECT_TRUE(parsed.json);
    EXPECT_EQ(parsed.command, "download");
    EXPECT_FALSE(parsed.message.empty());
    // After "--" everything is an argument.
    EXPECT_FALSE(Parse({"download", "--", "--json"}).json);
}

TEST(CommandLine, HelpListsTheExitCodesAndSucceeds) {
    for (const auto& args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"update", "--help"}}) {
        ParsedCommandLine parsed = Parse(args);
        EXPECT_FALSE(parsed.options);
        EXPECT_EQ(parsed.exitCode, kExitSuccess);
        EXPECT_NE(parsed.out.find("Exit codes:"), std::string::npos) << parsed.out;
        EXPECT_NE(parsed.out.find("66  image cannot be read"), std::string::npos);
        EXPECT_NE(parsed.out.find("74  the outcome could not be written"), std::string::npos);
        EXPECT_NE(parsed.out.find("130  interrupted"), std::string::npos);
    }
}

TEST(ExitCodes, EveryResultHasItsCode) {
    EXPECT_EQ(ExitCodeFor(DFU_SUCCESS), 0);
    EXPECT_EQ(ExitCodeFor(DFU_ALREADY_IN_DFU), 0);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_NOT_FOUND), 1);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_ENTER_DFU), 2);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_RESET_TO_AP), 3);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_AP_TIMEOUT), 4);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_DFU_TIMEOUT), 5);
    EXPECT_EQ(ExitCodeFor(DFU_ERR_VERIFY), 6);
    EXPECT_EQ(ExitCodeFor(31), 7);
    EXPECT_EQ(ExitCodeFor(14), 7);
    EXPECT_EQ(ExitCodeFor(0xE0000101), 7);
}

}  // namespace
}  // namespace tolvane::cli
