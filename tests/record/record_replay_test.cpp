// An update recorded against the simulated bus on the virtual clock, then replayed through the
// engine from the recording alone: the same results when the run asks the same, and a mismatch
// naming the first call that differs when it does not.
#include "dfu_engine.h"
#include "dispatch_thread.h"
#include "recorder.h"
#include "recording_compare.h"
#include "recording_hid_bus.h"
#include "recording_services.h"
#include "replay_hid_bus.h"
#include "replay_script.h"
#include "replay_services.h"
#include "sim_bus.h"
#include "sim_services.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace tolvane::record {
namespace {

struct UpdateResult {
    ResultCode resetToIsp = 0;
    ResultCode download = 0;
    ResultCode resetToAp = 0;
    bool operator==(const UpdateResult&) const = default;
};

// The three steps of an update, with the watcher on a thread that dispatches.
UpdateResult RunUpdate(HidBus& bus, SystemServices& services,
                       const std::vector<std::uint8_t>& image) {
    DfuEngine engine(bus, services);
    sim::DispatchThread ui(services);
    ui.run([&] { EXPECT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
    UpdateResult result;
    result.resetToIsp = engine.ResetToIsp(0x5C3B, 0x0326);
    const auto size = static_cast<std::uint32_t>(image.size());
    if (result.resetToIsp == DFU_SUCCESS || result.resetToIsp == DFU_ALREADY_IN_DFU) {
        result.download = engine.Download(image.data(), 0, size, ImageChecksum(image.data(), size));
        if (result.download == DFU_SUCCESS) result.resetToAp = engine.ResetToAp();
    }
    ui.run([&] { engine.StopDeviceChangeWatcher(); });
    return result;
}

std::vector<std::uint8_t> MakeImage(std::size_t size, std::uint8_t seed = 1) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 13 + seed);
    return image;
}

struct Recorded {
    UpdateResult result;
    std::string text;
};

using Shape = std::function<void(sim::DeviceSpec&)>;

// An update of one simulated target, shaped by `shape`, recorded.
Recorded RecordUpdate(const std::vector<std::uint8_t>& image, bool full = false,
                      const Shape& shape = {}) {
    sim::Transcript transcript;
    sim::SimServices services(transcript);
    sim::SimBus bus(services.timeline(), transcript);
    sim::DeviceSpec spec = sim::DeviceSpec::target(0x5C3B, 0x0326);
    spec.bootLoaderArrivalMs = 1500;
    if (shape) shape(spec);
    bus.addDevice(spec);
    std::ostringstream out;
    RecordingHeader header{"tolvane test", "sim", "update image.bin", image.size(), "", "",
                           0x5C3B,         0x0326};
    Recorder recorder(out, header, full, [&] { return services.timeline().nowMs() * 1000; });
    RecordingHidBus recordingBus(bus, recorder);
    RecordingServices recordingServices(services, recorder);
    Recorded recorded;
    recorded.result = RunUpdate(recordingBus, recordingServices, image);
    recorded.text = out.str();
    return recorded;
}

struct Replayed {
    UpdateResult result;
    std::optional<std::string> mismatch;
    std::uint64_t endMs = 0;
};

Replayed Replay(const std::string& text, const std::vector<std::uint8_t>& image) {
    std::istringstream in(text);
    std::string error;
    auto recording = ReadRecording(in, error);
    EXPECT_TRUE(recording) << error;
    if (!recording) return {};
    ReplayScript script(std::move(*recording));
    ReplayHidBus bus(script);
    ReplayServices services(script);
    Replayed replayed;
    replayed.result = RunUpdate(bus, services, image);
    script.finish();
    replayed.mismatch = script.mismatch();
    replayed.endMs = script.timeline().nowMs();
    return replayed;
}

// The call lines of a recording without their times, for comparing two recordings.
std::vector<std::string> Calls(const std::string& text) {
    std::istringstream in(text);
    std::string error;
    const auto recording = ReadRecording(in, error);
    std::vector<std::string> calls;
    for (const RecordLine& line : recording->lines) {
        if (IsNoticeLine(line)) continue;
        std::string json = line.json();
        calls.push_back(json.substr(json.find(',')));
    }
    return calls;
}

TEST(RecordReplay, ReplayOfTheSameUpdateAnswersAsRecorded) {
    const auto image = MakeImage(5000);
    const Recorded recorded = RecordUpdate(image);
    ASSERT_EQ(recorded.result, (UpdateResult{DFU_SUCCESS, DFU_SUCCESS, DFU_SUCCESS}));
    const Replayed replayed = Replay(recorded.text, image);
    EXPECT_FALSE(replayed.mismatch) << *replayed.mismatch;
    EXPECT_EQ(replayed.result, recorded.result);
    // The replay's clock ends where the recording's did: the waits passed on it.
    EXPECT_GE(replayed.endMs, 1500u);
}

// Every way an update can go wrong replays with the recorded result: errors, failed opens, lookups
// that fail, waits that time out, notifications twice over.
TEST(RecordReplay, FailedUpdatesReplayWithTheirResults) {
    using sim::ReportKind;
    struct Case {
        const char* name;
        Shape shape;
        const char* recordedText;  // a piece the recording must hold
    };
    const std::vector<Case> cases = {
        {"never enters", [](sim::DeviceSpec& d) { d.neverEntersBootLoader = true; },
         "\"r\":\"timed_out\""},
        {"never returns", [](sim::DeviceSpec& d) { d.neverReturnsToApplication = true; },
         "\"op\":\"wait\""},
        {"wrong checksum", [](sim::DeviceSpec& d) { d.wrongChecksum = true; }, "\"op\":\"get\""},
        {"data report refused",
         [](sim::DeviceSpec& d) {
             d.bootLoader.interfaces[0].refusals.push_back(
                 {ReportKind::Data, sim::Fault::always(kErrorGenFailure), 3});
         },
         "\"e\":31"},
        {"unplugged while written",
         [](sim::DeviceSpec& d) {
             d.unplugRules.push_back({ReportKind::Data, 5});
         },
         "\"e\":1167"},
        {"open refused",
         [](sim::DeviceSpec& d) { d.application.interfaces[0].readWriteOpenFails = true; },
         "\"ok\":false"},
        {"attributes fail",
         [](sim::DeviceSpec& d) { d.application.interfaces[0].attributesError = kErrorGenFailure; },
         "\"op\":\"attributes\""},
        {"detail fails", [](sim::DeviceSpec& d) { d.application.interfaces[0].detailFails = true; },
         "\"lookup\":\"failed\""},
        {"arrivals twice, query-remove first",
         [](sim::DeviceSpec& d) {
             d.duplicateArrivals = true;
             d.queryRemoveFirst = true;
         },
         "\"event\":32769"},
    };
    const auto image = MakeImage(700);
    for (const Case& c : cases) {
        const Recorded recorded = RecordUpdate(image, false, c.shape);
        EXPECT_NE(recorded.text.find(c.recordedText), std::string::npos) << c.name;
        const Replayed replayed = Replay(recorded.text, image);
        EXPECT_FALSE(replayed.mismatch) << c.name << ": " << replayed.mismatch.value_or("");
        EXPECT_EQ(replayed.result, recorded.result) << c.name;
    }
}

TEST(RecordReplay, CallsInAnotherOrderAreAMismatch) {
    const auto image = MakeImage(1000);
    const std::string text = RecordUpdate(image).text;
    // The first two data reports, after the pause that follows the setup, change places.
    const std::size_t pause = text.find("\"op\":\"sleep\"");
    ASSERT_NE(pause, std::string::npos);
    const std::size_t start = text.find('\n', pause) + 1;
    const std::size_t middle = text.find('\n', start) + 1;
    const std::size_t end = text.find('\n', middle) + 1;
    const std::string second = text.substr(middle, end - middle - 1);
    ASSERT_NE(second.find("\"op\":\"set\""), std::string::npos) << second;
    const std::string swapped = text.substr(0, start) + second + "\n" +
                                text.substr(start, middle - start) + text.substr(end);
    const Replayed replayed = Replay(swapped, image);
    ASSERT_TRUE(replayed.mismatch);
    EXPECT_NE(replayed.mismatch->find("recorded " + second + ", but the run asked {\"op\":\"set\""),
              std::string::npos)
        << *replayed.mismatch;
}

TEST(RecordReplay, AnotherImageStopsAtTheFirstDifferingReport) {
    const auto image = MakeImage(5000);
    auto other = image;
    other[64 * 3 + 5] ^= 0x40;  // in the fourth data report
    const Recorded recorded = RecordUpdate(image);
    const auto expected = Calls(recorded.text);
    const auto asked = Calls(RecordUpdate(other).text);
    std::size_t first = 0;
    while (first < expected.size() && expected[first] == asked[first]) ++first;
    ASSERT_LT(first, expected.size());

    const Replayed replayed = Replay(recorded.text, other);
    ASSERT_TRUE(replayed.mismatch);
    const std::string& message = *replayed.mismatch;
    EXPECT_EQ(message.rfind("call " + std::to_string(first + 1) + ": recorded ", 0), 0u) << message;
    EXPECT_NE(message.find(expected[first]), std::string::npos) << message;
    EXPECT_NE(message.find("but the run asked {\"op\":\"set\""), std::string::npos) << message;
    EXPECT_NE(replayed.result.download, DFU_SUCCESS);
}

TEST(RecordReplay, ACallTooManyOrTooFewIsAMismatch) {
    const auto image = MakeImage(1000);
    const std::string text = RecordUpdate(image).text;
    // Without its last line the recording ends before the run does.
    std::string shorter = text.substr(0, text.rfind('\n', text.size() - 2) + 1);
    const Replayed tooMany = Replay(shorter, image);
    ASSERT_TRUE(tooMany.mismatch);
    EXPECT_NE(tooMany.mismatch->find("the recording has ended, but the run asked {"),
              std::string::npos)
        << *tooMany.mismatch;
    // With one more call than the run makes.
    const std::string longer = text + "{\"t\":99999999,\"op\":\"sleep\",\"ms\":5,\"us\":5000}\n";
    const Replayed tooFew = Replay(longer, image);
    ASSERT_TRUE(tooFew.mismatch);
    EXPECT_NE(tooFew.mismatch->find("\"op\":\"sleep\",\"ms\":5,\"us\":5000}, but the run asked "
                                    "nothing more"),
              std::string::npos)
        << *tooFew.mismatch;
    EXPECT_EQ(tooFew.result, (UpdateResult{DFU_SUCCESS, DFU_SUCCESS, DFU_SUCCESS}));
}

Recording Read(const std::string& text) {
    std::istringstream in(text);
    std::string error;
    return ReadRecording(in, error).value_or(Recording{});
}

// The comparison a kernel recording is held to: the same scenario gives the same calls, whatever
// the paths and times; another image does not.
TEST(RecordReplay, RecordingsCompareTimesAndPathsAside) {
    const auto image = MakeImage(900);
    const Recording first = Read(RecordUpdate(image).text);
    // Later arrivals, and the interfaces' paths as another system names them.
    std::string later =
        RecordUpdate(image, false, [](sim::DeviceSpec& d) { d.bootLoaderArrivalMs = 2500; }).text;
    for (std::size_t at = 0; (at = later.find("#6&1a2b3c4", at)) != std::string::npos;) {
        later.replace(at, 10, "#7&99999999");
    }
    Recording elsewhere = Read(later);
    EXPECT_EQ(FirstDifference(first, elsewhere), std::nullopt);
    auto other = image;
    other[100] ^= 1;
    const auto differs = FirstDifference(first, Read(RecordUpdate(other).text));
    ASSERT_TRUE(differs);
    EXPECT_NE(differs->find("\"op\":\"set\""), std::string::npos) << *differs;
    // A field two systems differ in by nature is left out only when named.
    std::string newer = RecordUpdate(image).text;
    for (std::size_t at = 0; (at = newer.find("\"ver\":256", at)) != std::string::npos;) {
        newer.replace(at, 9, "\"ver\":0");
    }
    EXPECT_TRUE(FirstDifference(first, Read(newer)));
    EXPECT_EQ(FirstDifference(first, Read(newer), {"ver"}), std::nullopt);
    elsewhere.lines.pop_back();
    const auto shorter = FirstDifference(first, elsewhere);
    ASSERT_TRUE(shorter);
    EXPECT_NE(shorter->find("only the first has"), std::string::npos) << *shorter;
}

TEST(RecordReplay, AMebibyteUpdateRecordsInUnderAMegabyteUnlessFull) {
    const auto image = MakeImage(1 << 20);
    const Recorded hashed = RecordUpdate(image);
    ASSERT_EQ(hashed.result, (UpdateResult{DFU_SUCCESS, DFU_SUCCESS, DFU_SUCCESS}));
    EXPECT_LT(hashed.text.size(), 1'000'000u);
    std::cout << "1 MiB update: " << hashed.text.size() << " bytes recorded by hash, ";
    const Recorded full = RecordUpdate(image, true);
    std::cout << full.text.size() << " bytes in full\n";
    EXPECT_GT(full.text.size(), 2u * image.size());
    EXPECT_FALSE(Replay(full.text, image).mismatch);
}

}  // namespace
}  // namespace tolvane::record
