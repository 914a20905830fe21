// The run's outcome whatever becomes of its output: a reader that went away, a full disk, file
// names that are not UTF-8; and one JSON object for every run with --json.
#include "output/exit_codes.h"
#include "output/output_buffer.h"
#include "temp_dir.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>

namespace tolvane::cli {
namespace {

using test::ToolBench;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using tolvane::test::TempDir;

// Standard output that fails with `error` once `keep` bytes have gone through.
class FailingOutput {
public:
    FailingOutput(int error, std::size_t keep)
        : buffer_([this, error, keep](const char* data, std::size_t size, int& failed) -> long {
              if (kept_.size() >= keep) {
                  failed = error;
                  return -1;
              }
              const std::size_t take = std::min(size, keep - kept_.size());
              kept_.append(data, take);
              return static_cast<long>(take);
          }),
          stream_(&buffer_) {}
    std::ostream& stream() { return stream_; }
    const std::string& kept() const { return kept_; }

private:
    std::string kept_;
    OutputBuffer buffer_;
    std::ostream stream_;
};

class ToolOutputTest : public ToolBenchTest {
protected:
    ToolOutputTest() : ToolBenchTest(sim::VirtualTargetOptions{}) {}
    std::string image() { return dir_.write("fw.bin", test::CountingImage(3000)); }
    std::vector<std::string> update() {
        return {"update", image(), "--vid", "5C3B", "--pid", "0326"};
    }
};

TEST_F(ToolOutputTest, AReaderThatWentAwayDoesNotStopTheUpdate) {
    // As `tolvane update ... | head -1`: the first line gets through, then the pipe is closed.
    FailingOutput out(EPIPE, 20);
    const auto r = bench_.run(update(), {.out = &out.stream()});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_EQ(out.kept(), "Searching device...\n");
    EXPECT_EQ(bench_.memory().image, test::CountingImage(3000));
    EXPECT_EQ(bench_.memory().entriesToApplication, 1u);
    EXPECT_THAT(r.err, IsEmpty());
}

TEST_F(ToolOutputTest, ALostFinalReportGivesItsOwnExitCode) {
    FailingOutput out(ENOSPC, 0);
    const auto r = bench_.run(update(), {.out = &out.stream()});
    EXPECT_EQ(r.exitCode, kExitOutputFailed);
    EXPECT_THAT(r.err, HasSubstr("could not be written to standard output"));
    EXPECT_EQ(bench_.memory().image, test::CountingImage(3000));
}

TEST_F(ToolOutputTest, ALostReportKeepsTheCodeOfAFailedUpdate) {
    FailingOutput out(ENOSPC, 0);
    auto args = update();
    args[3] = "1234";  // no such vendor: not found
    const auto r = bench_.run(args, {.out = &out.stream()});
    EXPECT_EQ(r.exitCode, kExitNotFound);
    EXPECT_THAT(r.err, HasSubstr("could not be written to standard output"));
}

TEST_F(ToolOutputTest, ALostJsonObjectIsALostReport) {
    FailingOutput out(EIO, 0);
    auto args = update();
    args.insert(args.begin(), "--json");
    const auto r = bench_.run(args, {.out = &out.stream()});
    EXPECT_EQ(r.exitCode, kExitOutputFailed);
}

// Every run with --json prints exactly one JSON object on standard output, and nothing else.
class JsonForEveryRun : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(JsonForEveryRun, PrintsExactlyOneObject) {
    ToolBench platform;
    std::vector<std::string> args = GetParam();
    args.insert(args.begin(), "--json");
    const auto r = platform.run(args);
    ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_TRUE(json.is_object());
    EXPECT_EQ(json["exit_code"], r.exitCode);
    if (r.exitCode == kExitUsage) {
        EXPECT_EQ(json["result"], "USAGE");
        EXPECT_FALSE(json["message"].get<std::string>().empty());
        // The same message reaches people on standard error.
        EXPECT_THAT(r.err, HasSubstr(json["message"].get<std::string>()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    UsageErrorsHelpAndVersion, JsonForEveryRun,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"flash"},
                      std::vector<std::string>{"update", "x.bin"},
                      std::vector<std::string>{"update", "x.bin", "--vid", "zz", "--pid", "1"},
                      std::vector<std::string>{"update", "x.bin", "--checksum", "", "--vid", "1",
                                               "--pid", "2"},
                      std::vector<std::string>{"list", "--sim-fast"},
                      std::vector<std::string>{"-q", "-v", "list"},
                      std::vector<std::string>{"reset-to-ap", "extra"},
                      std::vector<std::string>{"--help"}, std::vector<std::string>{"--version"},
                      std::vector<std::string>{"update", "--help"}));

TEST(ToolJson, UsageErrorNamesItsCommandAndCode) {
    ToolBench platform;
    const auto r = platform.run({"--json", "download", "x.bin", "--address", ""});
    EXPECT_EQ(r.exitCode, kExitUsage);
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["command"], "download");
    EXPECT_EQ(json["code"], kErrorInvalidParameter);
    EXPECT_THAT(json["message"].get<std::string>(), HasSubstr("--address"));
    const auto none = nlohmann::json::parse(platform.run({"--json"}).out);
    EXPECT_TRUE(none["command"].is_null());
}

TEST(ToolJson, VersionIsTheBuildsVersion) {
    ToolBench platform;
    const auto plain = platform.run({"--version"});
    EXPECT_EQ(plain.exitCode, kExitSuccess);
    EXPECT_EQ(plain.out, std::string("tolvane ") + TOLVANE_VERSION + "\n");
    const auto json = nlohmann::json::parse(platform.run({"--json", "--version"}).out);
    EXPECT_EQ(json["version"], TOLVANE_VERSION);
}

TEST(ToolJson, FileNamesThatAreNotUtf8BecomeValidUtf8) {
    TempDir dir;
    ToolBench platform;
    // Built by hand: a path object would convert the bytes on some systems.
    const std::string name = dir.path("fw") + "-\xff\xfe-\xc3.bin";
    const auto r = platform.run({"--json", "update", name, "--vid", "1", "--pid", "2"});
    EXPECT_EQ(r.exitCode, kExitUnreadable);
    // The parser refuses invalid UTF-8: parsing at all proves the text valid.
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_THAT(json["message"].get<std::string>(), HasSubstr("fw-\xEF\xBF\xBD"));
}

TEST(ToolJson, RefusedImagesCarryASystemErrorCode) {
    TempDir dir;
    ToolBench platform;
    const auto missing =
        nlohmann::json::parse(platform.run({"--json", "download", dir.path("none.bin")}).out);
    EXPECT_EQ(missing["exit_code"], kExitUnreadable);
    EXPECT_EQ(missing["code"], 2);  // file not found
    const auto empty = nlohmann::json::parse(
        platform.run({"--json", "download", dir.write("empty.bin", std::string())}).out);
    EXPECT_EQ(empty["exit_code"], kExitBadImage);
    EXPECT_EQ(empty["code"], 13);  // invalid data
}

}  // namespace
}  // namespace tolvane::cli
