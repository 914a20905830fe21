// The simulated devices' behaviour: reset transitions between the two identities with the memory
// kept, and the boot loader's side of the download protocol.
#include "sim_bus.h"
#include "sim_services.h"
#include "virtual_target.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace tolvane::sim {
namespace {

std::vector<std::uint8_t> Report(std::size_t length, std::initializer_list<std::uint8_t> head) {
    std::vector<std::uint8_t> report(length, 0);
    std::copy(head.begin(), head.end(), report.begin());
    return report;
}

std::vector<std::uint8_t> Query(std::size_t length) {
    return Report(length, {0x00, 0x22, 0, 0, 0, 0, 0, 0x02});
}

std::vector<std::uint8_t> SetupReport(std::size_t length, std::uint32_t address,
                                      std::uint32_t size) {
    return Report(length,
                  {0x00, 0x33, static_cast<std::uint8_t>(address >> 16),
                   static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address),
                   static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 8),
                   static_cast<std::uint8_t>(size)});
}

std::vector<std::uint8_t> Image(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

class DeviceTest : public ::testing::Test {
protected:
    std::unique_ptr<HidDevice> open(SimDevice& device) { return open(bus, device); }
    std::unique_ptr<HidDevice> open(HidBus& on, SimDevice& device) {
        SysError error = 0;
        auto handle = on.open(device.paths().at(0), DeviceAccess::ReadWrite, error);
        EXPECT_EQ(error, 0u);
        return handle;
    }

    // Sends the whole protocol with `length`-byte reports; returns the checksum answered.
    std::uint16_t download(HidDevice& handle, std::size_t length, std::uint32_t address,
                           const std::vector<std::uint8_t>& image) {
        auto answer = Report(length, {});
        EXPECT_EQ(handle.setFeature(Query(length)), 0u);
        EXPECT_EQ(handle.getFeature(answer), 0u);
        EXPECT_EQ(handle.setFeature(
                      SetupReport(length, address, static_cast<std::uint32_t>(image.size()))),
                  0u);
        for (std::size_t sent = 0; sent < image.size(); sent += length - 1) {
            auto data = Report(length, {});
            const std::size_t n = std::min(length - 1, image.size() - sent);
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(sent), n, data.begin() + 1);
            EXPECT_EQ(handle.setFeature(data), 0u);
        }
        EXPECT_EQ(handle.setFeature(Query(length)), 0u);
        EXPECT_EQ(handle.getFeature(answer), 0u);
        return static_cast<std::uint16_t>(answer[1] << 8 | answer[2]);
    }

    Transcript transcript;
    SimServices services{transcript};
    SimBus bus{services.timeline(), transcript};
};

TEST_F(DeviceTest, ApplicationResetBringsTheBootLoaderAndBackWithMemoryKept) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.bootLoaderArrivalMs = 1500;
    config.applicationArrivalMs = 700;
    SimDevice& device = bus.addDevice(config);
    auto app = open(device);
    EXPECT_EQ(app->setFeature(Report(65, {0x00, 0x55, 0x23, 0x01, 0x09, 0x00, 0x86})), 0u);
    EXPECT_FALSE(device.present());
    EXPECT_EQ(app->setFeature(Report(65, {0x00, 0x44})), kErrorDeviceNotConnected);
    app.reset();
    services.sleep(1499);
    EXPECT_FALSE(device.present());
    services.sleep(1);
    ASSERT_EQ(device.mode(), std::optional<Mode>(Mode::BootLoader));
    EXPECT_EQ(device.paths().at(0).substr(0, 26), u"\\\\?\\hid#vid_5c3b&pid_030b#");

    const auto image = Image(130);
    auto loader = open(device);
    const std::uint16_t sum =
        static_cast<std::uint16_t>(std::accumulate(image.begin(), image.end(), 0u));
    EXPECT_EQ(download(*loader, 65, 0x123456, image), sum);
    EXPECT_EQ(loader->setFeature(Report(65, {0x00, 0x44})), 0u);
    loader.reset();
    services.sleep(700);
    EXPECT_EQ(device.mode(), std::optional<Mode>(Mode::Application));

    const DeviceMemory memory = device.memory();
    EXPECT_EQ(memory.image, image);
    EXPECT_EQ(memory.loadAddress, 0x123456u);
    EXPECT_EQ(memory.announcedSize, 130u);
    EXPECT_EQ(memory.dataReports, 3u);
    EXPECT_EQ(memory.entriesToBootLoader, 1u);
    EXPECT_EQ(memory.entriesToApplication, 1u);
    EXPECT_TRUE(bus.held().none());

    // The transcript shows the arrivals and removals at their virtual times.
    const auto changes = transcript.of({Call::DeviceArrived, Call::DeviceRemoved});
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[2].call, Call::DeviceArrived);
    EXPECT_EQ(changes[2].atMs, 1500u);
    EXPECT_EQ(changes[2].value, 0x5C3B030Bu);
}

TEST_F(DeviceTest, ResetFormsAreConfigurable) {
    DeviceSpec config = DeviceSpec::target(0x1234, 0x0001);
    config.application.interfaces[0].acceptedResets = kResetFeature40;
    config.neverEntersBootLoader = true;
    SimDevice& device = bus.addDevice(config);
    auto handle = open(device);
    EXPECT_EQ(handle->setFeature(Report(65, {0x00, 0x44})), kErrorGenFailure);
    EXPECT_EQ(handle->setFeature(Report(65, {0x40, 0x44})), 0u);
    EXPECT_FALSE(device.present());
    services.sleep(100000);
    EXPECT_FALSE(device.present());
}

TEST_F(DeviceTest, DelayedLeaveKeepsTheDeviceUntilItsTime) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.leaveAfterResetMs = 50;
    config.applicationArrivalMs = 100;
    SimDevice& device = bus.addDevice(config);
    auto handle = open(device);
    EXPECT_EQ(handle->writeOutput(Report(65, {0x0C, 0x44})), 0u);
    EXPECT_TRUE(device.present());
    services.sleep(50);
    EXPECT_FALSE(device.present());
    services.sleep(100);
    EXPECT_EQ(device.mode(), std::optional<Mode>(Mode::Application));
}

TEST_F(DeviceTest, ShortReportsAndAPartialLastReport) {
    SimDevice& device = bus.addDevice(DeviceSpec::bootLoaderOnly());
    DeviceSpec nine = DeviceSpec::bootLoaderOnly(0x0332);
    nine.bootLoader.interfaces[0].featureReportLength = 9;
    SimDevice& small = bus.addDevice(nine);
    const auto image = Image(20);
    auto handle = open(small);
    download(*handle, 9, 0, image);
    EXPECT_EQ(small.memory().image, image);
    EXPECT_EQ(small.memory().dataReports, 3u);  // 8 + 8 + 4
    EXPECT_EQ(device.memory().setups, 0u);
}

TEST_F(DeviceTest, WrongChecksumOption) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.wrongChecksum = true;
    SimDevice& device = bus.addDevice(config);
    const auto image = Image(64);
    auto handle = open(device);
    const auto sum = static_cast<std::uint16_t>(std::accumulate(image.begin(), image.end(), 0u));
    EXPECT_NE(download(*handle, 65, 0, image), sum);
    EXPECT_EQ(device.memory().checksum, sum);
}

TEST_F(DeviceTest, DataThatLooksLikeACommandIsStillData) {
    SimDevice& device = bus.addDevice(DeviceSpec::bootLoaderOnly());
    auto handle = open(device);
    std::vector<std::uint8_t> image(64, 0);
    image[0] = 0x22;
    image[6] = 0x02;  // a query in disguise
    image[63] = 0x44;
    download(*handle, 65, 0, image);
    EXPECT_EQ(device.memory().image, image);
    EXPECT_EQ(device.memory().finishQueries, 1u);
    EXPECT_TRUE(device.present());
}

TEST_F(DeviceTest, BytesBeyondAWrappedSizeAreKept) {
    SimDevice& device = bus.addDevice(DeviceSpec::bootLoaderOnly());
    auto handle = open(device);
    // 2^24 + 1 bytes announce as 1: the device counts 1 byte, and what follows is kept too.
    EXPECT_EQ(handle->setFeature(SetupReport(65, 0, 0x1000001)), 0u);
    EXPECT_EQ(handle->setFeature(Report(65, {0x00, 0xAA, 0xBB})), 0u);
    EXPECT_EQ(handle->setFeature(Report(65, {0x00, 0x11, 0x12})), 0u);
    const DeviceMemory memory = device.memory();
    EXPECT_EQ(memory.announcedSize, 1u);
    ASSERT_EQ(memory.image.size(), 1u + 64u);
    EXPECT_EQ(memory.image[0], 0xAA);
    EXPECT_EQ(memory.image[1], 0x11);
}

TEST_F(DeviceTest, RefusedAndUnpluggedDataReportsOfTheVirtualTarget) {
    VirtualTargetOptions options;
    options.startsInBootLoader = true;
    options.paced = false;
    options.refusedDataReport = 2;
    VirtualTarget target(services.timeline(), transcript, options);
    auto handle = open(target.bus(), target.device());
    EXPECT_EQ(handle->setFeature(SetupReport(65, 0, 200)), 0u);
    EXPECT_EQ(handle->setFeature(Report(65, {0x00, 1})), 0u);
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(handle->setFeature(Report(65, {0x00, 2})), kErrorGenFailure);
    }
    EXPECT_EQ(target.memory().image.size(), 64u);

    VirtualTargetOptions unplugging;
    unplugging.startsInBootLoader = true;
    unplugging.unplugAtDataReport = 2;
    unplugging.paced = false;
    VirtualTarget other(services.timeline(), transcript, unplugging);
    auto second = open(other.bus(), other.device());
    EXPECT_EQ(second->setFeature(SetupReport(65, 0, 200)), 0u);
    EXPECT_EQ(second->setFeature(Report(65, {0x00, 1})), 0u);
    EXPECT_EQ(second->setFeature(Report(65, {0x00, 2})), kErrorGenFailure);
    EXPECT_FALSE(other.device().present());
    EXPECT_EQ(second->setFeature(Report(65, {0x00, 2})), kErrorDeviceNotConnected);
}

TEST_F(DeviceTest, PacedTargetSpendsTimePerReportAndPerSwitch) {
    VirtualTargetOptions options;
    VirtualTarget target(services.timeline(), transcript, options);
    auto handle = open(target.bus(), target.device());
    EXPECT_EQ(handle->setFeature(Report(65, {0x00, 0x55, 0x23, 0x01, 0x09, 0x00, 0x86})), 0u);
    EXPECT_EQ(services.nowMs(), 2u);
    handle.reset();
    services.sleep(1497);
    EXPECT_FALSE(target.device().present());
    services.sleep(1);
    EXPECT_EQ(target.device().mode(), std::optional<Mode>(Mode::BootLoader));
}

}  // namespace
}  // namespace tolvane::sim
