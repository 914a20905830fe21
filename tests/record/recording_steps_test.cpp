// The steps show-recording labels, told from the calls of the updates recorded against the kernel
// (tests/record/fixtures/kernel): each scenario goes through its steps in order and stops where
// its fault stops it.
#include "recording_steps.h"
#include "replay_script.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace tolvane::record {
namespace {

using enum UpdateStep;

// The steps in the order they came, each once.
std::vector<UpdateStep> Sequence(const std::vector<RecordLine>& lines) {
    std::vector<UpdateStep> sequence;
    for (const UpdateStep step : StepsOf(lines)) {
        if (sequence.empty() || sequence.back() != step) sequence.push_back(step);
    }
    return sequence;
}

TEST(RecordingSteps, EachKernelScenarioGoesThroughItsSteps) {
    const std::vector<UpdateStep> whole = {Finding,  EnterBootLoader, Waiting,
                                           Download, Verification,    ResetToApplication};
    const std::vector<UpdateStep> untilDownload(whole.begin(), whole.begin() + 4);
    const struct {
        const char* name;
        std::vector<UpdateStep> steps;
    } cases[] = {
        {"root", whole},
        {"plugdev_user", whole},
        {"refused_report", untilDownload},
        {"unplugged", untilDownload},
        {"wrong_checksum", {whole.begin(), whole.begin() + 5}},
        {"never_enters", {Finding, EnterBootLoader, Waiting}},
    };
    for (const auto& c : cases) {
        std::ifstream in(std::string(TOLVANE_KERNEL_FIXTURES) + "/" + c.name + ".jsonl");
        std::string error;
        const auto recording = ReadRecording(in, error);
        ASSERT_TRUE(recording) << c.name << ": " << error;
        EXPECT_EQ(Sequence(recording->lines), c.steps) << c.name;
    }
}

// In a recording made in full, data reports carry any bytes: one that looks like a reset or a query
// is still data.
TEST(RecordingSteps, DataThatLooksLikeACommandStaysData) {
    std::vector<RecordLine> lines;
    const auto add = [&](const std::string& json) { lines.push_back(*RecordLine::parse(json)); };
    add(R"({"op":"open","access":"read-write","d":1})");
    add(R"({"op":"attributes","d":1,"vid":23611,"pid":779,"ver":256})");
    add(R"({"op":"set","d":1,"n":9,"x":"002200000000000200"})");
    add(R"({"op":"get","d":1,"n":9,"id":0,"x":"000000000000000000"})");
    add(R"({"op":"set","d":1,"n":9,"x":"003300000000000bb8"})");
    add(R"({"op":"set","d":1,"n":9,"x":"004400000000000000"})");
    add(R"({"op":"set","d":1,"n":9,"x":"002200000000000200"})");
    add(R"({"op":"get","d":1,"n":9,"id":0,"x":"00dc36000000000000"})");
    add(R"({"op":"set","d":1,"n":9,"x":"004400000000000000"})");
    EXPECT_EQ(StepsOf(lines),
              (std::vector<UpdateStep>{Finding, Finding, Download, Download, Download, Download,
                                       Verification, Verification, ResetToApplication}));
}

}  // namespace
}  // namespace tolvane::record
