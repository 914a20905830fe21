// The download: reports and their bytes, pauses, the search for the boot loader, retries,
// verification, progress, and release of everything on every path.
#include "engine_fixture.h"
#include "progress_probe.h"

#include <gmock/gmock.h>

#include <numeric>
#include <set>

namespace tolvane::test {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

class DownloadTest : public EngineTest {};

TEST_F(DownloadTest, SizeZeroDoesNothingAtAll) {
    AddBootLoader();
    const std::uint8_t byte = 0;
    EXPECT_EQ(world.engine.Download(&byte, 0, 0, 0), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.count(sim::Call::ListInterfaces), 0u);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);

    // Also after a download that left 100 behind.
    ASSERT_EQ(Download(MakeImage(10)), DFU_SUCCESS);
    world.transcript.clear();
    EXPECT_EQ(world.engine.Download(nullptr, 0, 0, 0), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.size(), 0u);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
}

TEST_F(DownloadTest, SendsTheWholeProtocolWithPaddedLastReport) {
    SimDevice& device = AddBootLoader(65);
    const auto image = MakeImage(130);
    ASSERT_EQ(Download(image, 0x00123456), DFU_SUCCESS) << world.transcript.dump();

    const auto sent = world.transcript.reportsSent();
    ASSERT_EQ(sent.size(), 6u);  // start query, setup, three data reports, finish query
    EXPECT_EQ(sent[0].bytes, kQuery65);
    EXPECT_EQ(sent[1].bytes, Report(65, {0x00, 0x33, 0x12, 0x34, 0x56, 0x00, 0x00, 130}));
    for (std::size_t report = 0; report < 3; ++report) {
        const auto& bytes = sent[2 + report].bytes;
        ASSERT_EQ(bytes.size(), 65u);
        EXPECT_EQ(bytes[0], 0x00);
        const std::size_t count = report < 2 ? 64 : 2;
        EXPECT_TRUE(std::equal(bytes.begin() + 1, bytes.begin() + 1 + static_cast<long>(count),
                               image.begin() + static_cast<long>(report * 64)));
        EXPECT_THAT(
            std::vector<std::uint8_t>(bytes.begin() + 1 + static_cast<long>(count), bytes.end()),
            Each(0x00));
    }
    EXPECT_EQ(sent[5].bytes, kQuery65);
    EXPECT_EQ(world.transcript.count(sim::Call::GetFeature), 2u);
    EXPECT_EQ(device.memory().image, image);
    EXPECT_EQ(device.memory().loadAddress, 0x123456u);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
}

TEST_F(DownloadTest, ProgressFollowsTheAcceptedDataReports) {
    ProgressProbeBus probe(world.bus);
    DfuEngine engine(probe, world.services);
    probe.watch(engine);
    AddBootLoader(65);
    const auto image = MakeImage(130);
    ASSERT_EQ(engine.Download(image.data(), 0, 130, ImageChecksum(image.data(), 130)), 0u);
    // Seen at: start query, setup, data 1, 2, 3, finish query.
    EXPECT_THAT(probe.seen(), ElementsAre(255u, 255u, 255u, 49u, 98u, 100u));
}

TEST_F(DownloadTest, ReportsCarryLengthMinusOneImageBytes) {
    AddBootLoader(65);
    ASSERT_EQ(Download(MakeImage(128)), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.reportsSent().size(), 2u + 2u + 1u);

    world.transcript.clear();
    SimDevice& small = AddBootLoader(9, 0x0332);
    world.bus.devices().front()->unplug();
    const auto image = MakeImage(20);
    ASSERT_EQ(Download(image), DFU_SUCCESS);
    const auto sent = world.transcript.reportsSent();
    ASSERT_EQ(sent.size(), 2u + 3u + 1u);  // 8 + 8 + 4 image bytes
    EXPECT_EQ(sent[4].bytes, Report(9, {0x00, image[16], image[17], image[18], image[19]}));
    EXPECT_EQ(small.memory().image, image);
}

TEST_F(DownloadTest, ShortFeatureReportsAreNotUsed) {
    AddBootLoader(8);
    EXPECT_EQ(Download(MakeImage(16)), DFU_ERR_NOT_FOUND);
    EXPECT_TRUE(world.transcript.reportsSent().empty());
    EXPECT_EQ(world.transcript.installWaits(), std::vector<std::uint32_t>{10000});
}

TEST_F(DownloadTest, PauseAfterSetupGrowsWithTheSize) {
    AddBootLoader(65);
    for (const auto& [size, pause] : {std::pair{511u, 48u}, {512u, 72u}, {65536u, 3120u}}) {
        world.transcript.clear();
        ASSERT_EQ(Download(MakeImage(size)), DFU_SUCCESS);
        EXPECT_EQ(world.transcript.sleeps(), std::vector<std::uint32_t>{pause}) << size;
    }
}

TEST_F(DownloadTest, AddressAndSizeAreSentHighByteFirstInTwentyFourBits) {
    AddBootLoader(65);
    ASSERT_EQ(Download(MakeImage(0x012345), 0x12345678), DFU_SUCCESS);
    const auto setup = world.transcript.reportsSent().at(1).bytes;
    EXPECT_EQ(setup, Report(65, {0x00, 0x33, 0x34, 0x56, 0x78, 0x01, 0x23, 0x45}));
}

TEST_F(DownloadTest, ImagesTheSetupCannotAnnounceAreRefusedBeforeAnySearch) {
    AddBootLoader(65);
    const std::uint8_t byte = 1;
    EXPECT_EQ(world.engine.Download(&byte, 0, 16777216, 0), kErrorInvalidParameter);
    EXPECT_EQ(world.engine.Download(&byte, 0, 16777217, 0), kErrorInvalidParameter);
    EXPECT_EQ(world.engine.Download(nullptr, 0, 1, 0), kErrorInvalidParameter);
    EXPECT_EQ(world.transcript.count(sim::Call::ListInterfaces), 0u);
    EXPECT_EQ(world.transcript.count(sim::Call::WaitInstall), 0u);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
}

TEST_F(DownloadTest, ComparesOnlyTheLowSixteenBitsHighByteFirst) {
    AddBootLoader(65);
    // 172 bytes of 0xFF and one of 121 sum to 0xABCD: the device answers 0xAB 0xCD.
    std::vector<std::uint8_t> image(172, 0xFF);
    image.push_back(121);
    ASSERT_EQ(ImageChecksum(image.data(), image.size()), 0xABCDu);
    EXPECT_EQ(world.engine.Download(image.data(), 0, 173, 0x7777ABCD), DFU_SUCCESS);
    EXPECT_EQ(world.engine.Download(image.data(), 0, 173, 0x0000CDAB), DFU_ERR_VERIFY);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
}

TEST_F(DownloadTest, WrongChecksumFromTheDeviceIsAVerifyFailure) {
    SimDevice& device = AddBootLoader(65);
    device.setWrongChecksum(true);
    const auto image = MakeImage(100);
    EXPECT_EQ(Download(image), DFU_ERR_VERIFY);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
    // The answer is kept for diagnostics, and forgotten when the next download starts.
    ASSERT_TRUE(state().reportedChecksum.has_value());
    EXPECT_NE(*state().reportedChecksum, ImageChecksum(image.data(), image.size()) & 0xFFFF);
    device.unplug();
    EXPECT_EQ(Download(image), DFU_ERR_NOT_FOUND);
    EXPECT_FALSE(state().reportedChecksum.has_value());
}

TEST_F(DownloadTest, WithoutBootLoaderSearchesThirtyPassesThenWaitsForInstallation) {
    EXPECT_EQ(Download(MakeImage(10)), DFU_ERR_NOT_FOUND);
    std::vector<std::uint32_t> sleeps(30, 1000);
    sleeps.push_back(2000);
    sleeps.push_back(2000);
    EXPECT_EQ(world.transcript.sleeps(), sleeps);
    EXPECT_EQ(world.transcript.installWaits(),
              (std::vector<std::uint32_t>{kInfinite, kInfinite, kInfinite, 10000}));
    // Each pass tries both boot-loader identities; 31 passes.
    EXPECT_EQ(world.transcript.count(sim::Call::ListInterfaces), 62u);
    EXPECT_EQ(now(), 34000u);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
    EXPECT_TRUE(world.transcript.reportsSent().empty());

    // The last pass comes after the three installation waits.
    const auto entries = world.transcript.entries();
    const auto lastWait = std::find_if(entries.rbegin(), entries.rend(), [](const Entry& e) {
        return e.call == sim::Call::WaitInstall && e.value == kInfinite;
    });
    EXPECT_EQ(std::count_if(entries.rbegin(), lastWait,
                            [](const Entry& e) { return e.call == sim::Call::ListInterfaces; }),
              2);
}

TEST_F(DownloadTest, BootLoaderArrivingAfterTheTwelfthPassIsFoundByTheThirteenth) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.appearAfterMs = 11500;  // during the pause after the 12th pass
    world.bus.addDevice(config);
    EXPECT_EQ(Download(MakeImage(10)), DFU_SUCCESS);
    const auto sleeps = world.transcript.sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1000u), 12);
    EXPECT_EQ(world.transcript.installWaits(), std::vector<std::uint32_t>{10000});
}

TEST_F(DownloadTest, FailedControlRequestsGiveTheSystemErrorAndStopThere) {
    for (const ReportKind kind :
         {ReportKind::StartQuery, ReportKind::StartAnswer, ReportKind::Setup,
          ReportKind::FinishQuery, ReportKind::ChecksumAnswer}) {
        sim::SimWorld local;
        DeviceSpec config = DeviceSpec::bootLoaderOnly();
        config.bootLoader.interfaces[0].refusals.push_back(
            {kind, sim::Fault::always(kErrorGenFailure), 0});
        SimDevice& device = local.bus.addDevice(config);
        const auto image = MakeImage(100);
        EXPECT_EQ(local.engine.Download(image.data(), 0, 100, 0), kErrorGenFailure)
            << sim::ReportKindName(kind);
        const bool dataSent = kind == ReportKind::FinishQuery || kind == ReportKind::ChecksumAnswer;
        EXPECT_EQ(device.memory().dataReports, dataSent ? 2u : 0u) << sim::ReportKindName(kind);
        EXPECT_EQ(local.transcript.installWaits(), std::vector<std::uint32_t>{10000});
        EXPECT_TRUE(local.held().none()) << local.held();
    }
}

TEST_F(DownloadTest, RefusedDataReportIsTriedTwoThousandAndOneTimesEightMsApart) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault::always(kErrorGenFailure), 2});
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_EQ(Download(MakeImage(64 * 3)), kErrorGenFailure);
    auto sleeps = world.transcript.sleeps();
    ASSERT_EQ(sleeps.size(), 1u + 2000u);
    EXPECT_THAT(std::vector<std::uint32_t>(sleeps.begin() + 1, sleeps.end()), Each(8u));
    EXPECT_EQ(world.transcript.reportsSent().size(), 2u + 1u + 2001u);
    EXPECT_EQ(device.memory().finishQueries, 0u);
    EXPECT_EQ(world.engine.GetPercentage(), 33u);
    EXPECT_EQ(world.engine.BytesSent(), 64u);  // the bytes taken, not the progress's 33 %
}

TEST_F(DownloadTest, RefusedLastDataReportFailsWithoutFinishQuery) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault::always(kErrorDeviceNotConnected), 3});
    SimDevice& device = world.bus.addDevice(config);
    // The last report's bytes sum to zero, as padding does: a finish query would pass.
    auto image = MakeImage(64 * 2);
    image.resize(64 * 2 + 10, 0);
    EXPECT_EQ(Download(image), kErrorDeviceNotConnected);
    EXPECT_EQ(device.memory().finishQueries, 0u);
    EXPECT_EQ(world.engine.GetPercentage(), 128u * 100u / 138u);
    EXPECT_EQ(world.engine.BytesSent(), 128u);
}

TEST_F(DownloadTest, DataReportAcceptedAfterRetriesGoesOn) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault{kErrorGenFailure, 2000}, 1});
    SimDevice& device = world.bus.addDevice(config);
    const auto image = MakeImage(100);
    EXPECT_EQ(Download(image), DFU_SUCCESS);
    EXPECT_EQ(device.memory().image, image);
}

TEST_F(DownloadTest, UnpluggedBootLoaderEndsTheDownloadWithItsError) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.unplugRules.push_back({ReportKind::Data, 2});
    world.bus.addDevice(config);
    EXPECT_EQ(Download(MakeImage(64 * 4)), kErrorDeviceNotConnected);
}

// A vanished device cannot take another attempt: the retries end at once with its error.
TEST_F(DownloadTest, VanishedDeviceIsNotRetried) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault::always(kErrorDeviceNotConnected), 2});
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_EQ(Download(MakeImage(64 * 3)), kErrorDeviceNotConnected);
    // Start query, setup, the first data report and one attempt at the second.
    EXPECT_EQ(world.transcript.reportsSent().size(), 4u);
    EXPECT_EQ(world.transcript.sleeps().size(), 1u) << "only the pause after the setup";
    EXPECT_EQ(device.memory().finishQueries, 0u);
}

// The time limits of the download's transfers, against a boot loader that takes a report and then
// holds its status stage: the setup, each data report and the checksum answer may take 30 s, the
// queries and the start answer 5 s. Past the limit the transfer is cancelled (995) and the report
// is never sent again, since the boot loader counts the bytes it took.
struct HoldCase {
    ReportKind kind;
    std::uint32_t reportNumber;
    std::uint32_t holdMs;
    ResultCode expected;
};

class HeldReportTest : public DownloadTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(HeldReportTest, HeldWithinItsLimitSucceedsPastItFailsAndNothingIsSentTwice) {
    const HoldCase hold = GetParam();
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.holdRules.push_back({hold.kind, hold.reportNumber, hold.holdMs});
    SimDevice& device = world.bus.addDevice(config);
    const auto image = MakeImage(64 * 4);
    EXPECT_EQ(Download(image), hold.expected) << world.transcript.dump();

    // Every report but the two queries (alike by design) is sent once at most, and nothing after
    // the one held past its limit.
    // Reports are told apart by a hash of their bytes (a set of the byte vectors themselves trips
    // a false bounds warning of the cross compiler's optimiser).
    std::set<std::uint64_t> others;
    std::size_t othersSent = 0;
    for (const Entry& entry : world.transcript.reportsSent()) {
        if (entry.bytes[1] == 0x22) continue;
        std::uint64_t hash = 14695981039346656037u;
        for (const std::uint8_t byte : entry.bytes) hash = (hash ^ byte) * 1099511628211u;
        others.insert(hash);
        ++othersSent;
    }
    EXPECT_EQ(others.size(), othersSent) << world.transcript.dump();
    const bool success = hold.expected == DFU_SUCCESS;
    const std::size_t upToHeld = hold.kind == ReportKind::Setup         ? 1u
                                 : hold.kind == ReportKind::Data        ? 1u + hold.reportNumber
                                 : hold.kind == ReportKind::FinishQuery ? 5u
                                                                        : 0u;
    EXPECT_EQ(othersSent, success ? 5u : upToHeld);
    EXPECT_EQ(device.memory().checksumAnswers, success ? 1u : 0u);
    if (success) {
        EXPECT_EQ(device.memory().image, image);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, HeldReportTest,
    ::testing::Values(HoldCase{ReportKind::Data, 2, 6000, DFU_SUCCESS},
                      HoldCase{ReportKind::Data, 2, 29999, DFU_SUCCESS},
                      HoldCase{ReportKind::Data, 2, 30001, kErrorOperationAborted},
                      HoldCase{ReportKind::Data, 4, 40000, kErrorOperationAborted},
                      HoldCase{ReportKind::Setup, 1, 20000, DFU_SUCCESS},
                      HoldCase{ReportKind::Setup, 1, 40000, kErrorOperationAborted},
                      HoldCase{ReportKind::ChecksumAnswer, 1, 20000, DFU_SUCCESS},
                      HoldCase{ReportKind::StartQuery, 1, 4999, DFU_SUCCESS},
                      HoldCase{ReportKind::StartQuery, 1, 6000, kErrorOperationAborted},
                      HoldCase{ReportKind::StartAnswer, 1, 6000, kErrorOperationAborted},
                      HoldCase{ReportKind::FinishQuery, 1, 6000, kErrorOperationAborted}));

TEST_F(DownloadTest, DataReportHeldPastItsLimitIsCancelledAtThirtySecondsAndSentOnce) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.holdRules.push_back({ReportKind::Data, 2, 40000});
    SimDevice& device = world.bus.addDevice(config);
    // Padded with 0xFF, as a resent report would have let the checksum pass.
    const std::vector<std::uint8_t> image(64 * 3, 0xFF);
    EXPECT_EQ(Download(image), kErrorOperationAborted);
    const auto sent = SentOfLength(65);
    ASSERT_EQ(sent.size(), 2u + 2u) << world.transcript.dump();
    EXPECT_EQ(world.nowMs() - sent.back().atMs, 30000u) << "cancelled at its limit";
    EXPECT_EQ(device.memory().image.size(), 128u);
    EXPECT_EQ(device.memory().finishQueries, 0u);
    EXPECT_EQ(world.engine.BytesSent(), 64u);
}

// A failure that does not prove a refusal ends the download at once: a time-out by any name, or
// any error that came after a wait (over uhid a refusal and a time-out are both an I/O error).
struct UnprovenCase {
    SysError error;
    std::uint32_t answerMs;  // how long each transfer takes
};

class UnprovenFailureTest : public DownloadTest,
                            public ::testing::WithParamInterface<UnprovenCase> {};

TEST_P(UnprovenFailureTest, DataReportIsNotSentAgain) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.reportPaceMs = GetParam().answerMs;
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault::always(GetParam().error), 2});
    world.bus.addDevice(config);
    EXPECT_EQ(Download(MakeImage(64 * 3)), GetParam().error);
    // Start query, setup, the first data report and the one attempt at the second.
    EXPECT_EQ(world.transcript.reportsSent().size(), 4u);
    EXPECT_EQ(world.transcript.sleeps().size(), 1u) << "only the pause after the setup";
}

INSTANTIATE_TEST_SUITE_P(TimeOutsAndSlowFailures, UnprovenFailureTest,
                         ::testing::Values(UnprovenCase{kErrorOperationAborted, 0},
                                           UnprovenCase{kErrorTimeout, 0},
                                           UnprovenCase{kErrorSemTimeout, 0},
                                           UnprovenCase{kErrorGenFailure, 5000},
                                           UnprovenCase{kErrorGenFailure, 1000}));

// Refusals are retried, but one data report's attempts never run past 30 s in all, however slowly
// the refusals come; each attempt gets what is left as its limit.
TEST_F(DownloadTest, RefusedDataReportRetriesStopWithinThirtySeconds) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.reportPaceMs = 400;
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault::always(kErrorGenFailure), 2});
    world.bus.addDevice(config);
    // The last retry starts 29.784 s in and is cancelled when the 30 s are up.
    EXPECT_EQ(Download(MakeImage(64 * 3)), kErrorOperationAborted);
    const auto sent = SentOfLength(65);
    ASSERT_EQ(sent.size(), 3u + 74u);
    EXPECT_EQ(sent.back().atMs - sent[3].atMs, 73u * 408u);
    EXPECT_EQ(world.nowMs() - sent[3].atMs, 30000u);
}

// A second group: what the download's start does to progress and to the system timer.
class DownloadEntryTest : public EngineTest {};

TEST_F(DownloadEntryTest, ResetToIspAndDownloadEachSetProgressTo255AtEntry) {
    AddBootLoader();
    ASSERT_EQ(Download(MakeImage(100)), DFU_SUCCESS);
    ASSERT_EQ(world.engine.GetPercentage(), 100u);
    EXPECT_EQ(world.engine.ResetToIsp(0x1234, 0x5678), DFU_ALREADY_IN_DFU);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);

    ASSERT_EQ(Download(MakeImage(100)), DFU_SUCCESS);
    ASSERT_EQ(world.engine.GetPercentage(), 100u);
    world.bus.devices().front()->unplug();
    AddBootLoader(8);  // refused for its short reports, before any data
    EXPECT_EQ(Download(MakeImage(100)), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
}

// The simulated services in front, holding a fine timer on request and noting whether one was
// held at each sleep.
class TimerCountingServices final : public SystemServices {
public:
    explicit TimerCountingServices(SystemServices& inner) : inner_(inner) {}

    int held() const { return held_; }
    int taken() const { return taken_; }
    const std::vector<bool>& sleptHolding() const { return sleptHolding_; }

    std::unique_ptr<TimerResolutionHold> holdFineTimerResolution() override {
        return std::make_unique<Hold>(*this);
    }
    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override {
        return inner_.createEvent(error);
    }
    void sleep(std::uint32_t ms) override {
        sleptHolding_.push_back(held_ > 0);
        inner_.sleep(ms);
    }
    std::uint64_t nowMs() override { return inner_.nowMs(); }
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override {
        return inner_.createNotifyWindow(config, handler, error);
    }
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override {
        inner_.showMessageBox(text, caption);
    }
    void dispatchMessages(std::uint32_t maxWaitMs) override { inner_.dispatchMessages(maxWaitMs); }

private:
    struct Hold final : TimerResolutionHold {
        explicit Hold(TimerCountingServices& owner) : owner_(owner) {
            ++owner_.held_;
            ++owner_.taken_;
        }
        ~Hold() override { --owner_.held_; }
        TimerCountingServices& owner_;
    };
    SystemServices& inner_;
    int held_ = 0;
    int taken_ = 0;
    std::vector<bool> sleptHolding_;
};

TEST_F(DownloadEntryTest, FineTimerIsHeldForTheWholeDownloadAndGivenBackOnEveryPath) {
    TimerCountingServices services(world.services);
    DfuEngine engine(world.bus, services);
    const auto image = MakeImage(64 * 3);

    // Success, with retry pauses on the way.
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].refusals.push_back(
        {ReportKind::Data, sim::Fault{kErrorGenFailure, 3}, 2});
    world.bus.addDevice(config);
    EXPECT_EQ(engine.Download(image.data(), 0, 64 * 3, ImageChecksum(image.data(), image.size())),
              DFU_SUCCESS);
    EXPECT_EQ(services.taken(), 1);
    EXPECT_EQ(services.held(), 0);
    ASSERT_EQ(services.sleptHolding().size(), 1u + 3u);
    EXPECT_THAT(services.sleptHolding(), Each(true));

    // A failure in the middle, and no boot loader at all.
    world.bus.devices().front()->unplug();
    AddBootLoader(8);
    EXPECT_EQ(engine.Download(image.data(), 0, 64 * 3, 0), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(services.taken(), 2);
    EXPECT_EQ(services.held(), 0);
    // Nothing for a download of nothing.
    EXPECT_EQ(engine.Download(image.data(), 0, 0, 0), DFU_SUCCESS);
    EXPECT_EQ(services.taken(), 2);
}

}  // namespace
}  // namespace tolvane::test
