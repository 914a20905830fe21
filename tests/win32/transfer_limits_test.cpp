// Time limits and timer resolution of the Windows platform under Wine: the watchdog that cancels
// a synchronous transfer which never ends (a pipe stands in for a device that never answers), and
// the 1 ms timer period held for exactly the length of a download.
#include "dfu_engine.h"
#include "fine_timer_resolution.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "transcript.h"
#include "transfer_watchdog.h"
#include "virtual_target.h"
#include "win32_hid_device.h"
#include "win32_services.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

namespace tolvane {
namespace {

using win32::TransferWatchdog;
using win32::UniqueFileHandle;

constexpr std::uint32_t kShortLimitMs = 150;

struct Pipe {
    Pipe() {
        HANDLE readEnd = nullptr;
        HANDLE writeEnd = nullptr;
        // A one-byte buffer: a larger write blocks until someone reads.
        if (CreatePipe(&readEnd, &writeEnd, nullptr, 1)) {
            read.reset(readEnd);
            write.reset(writeEnd);
        }
    }
    UniqueFileHandle read;
    UniqueFileHandle write;
};

SysError ReadOne(HANDLE pipe) {
    char byte = 0;
    DWORD count = 0;
    return ReadFile(pipe, &byte, 1, &count, nullptr) ? 0 : GetLastError();
}

std::uint64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - since)
                                          .count());
}

TEST(TransferWatchdog, CancelsATransferThatNeverEndsWithTheSystemsAnswer) {
    Pipe pipe;
    ASSERT_TRUE(pipe.read && pipe.write);
    TransferWatchdog watchdog(kShortLimitMs);
    ASSERT_TRUE(watchdog.active());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(watchdog.run([&] { return ReadOne(pipe.read.get()); }),
              static_cast<SysError>(ERROR_OPERATION_ABORTED));
    const std::uint64_t elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, kShortLimitMs - 20);
    EXPECT_LT(elapsed, 4000u);

    // The same watchdog limits the next transfer too.
    EXPECT_EQ(watchdog.run([&] { return ReadOne(pipe.read.get()); }),
              static_cast<SysError>(ERROR_OPERATION_ABORTED));
}

TEST(TransferWatchdog, ATransferThatEndsInTimeIsNeverCancelledLater) {
    Pipe pipe;
    ASSERT_TRUE(pipe.read && pipe.write);
    TransferWatchdog watchdog(kShortLimitMs);
    const char byte = 'x';
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(pipe.write.get(), &byte, 1, &count, nullptr));
    EXPECT_EQ(watchdog.run([&] { return ReadOne(pipe.read.get()); }), 0u);
    // Past the limit of the finished transfer, a blocking read of this thread is not cut short
    // by it: it ends only when data comes.
    Sleep(kShortLimitMs * 2);
    std::thread writer([&] {
        Sleep(kShortLimitMs);
        DWORD written = 0;
        WriteFile(pipe.write.get(), &byte, 1, &written, nullptr);
    });
    EXPECT_EQ(ReadOne(pipe.read.get()), 0u);
    writer.join();
}

TEST(Win32HidDevice, OutputReportToADeviceThatNeverTakesItEndsAtTheLimit) {
    Pipe pipe;
    ASSERT_TRUE(pipe.read && pipe.write);
    win32::Win32HidDevice device(std::move(pipe.write), kShortLimitMs);
    // Far more than the pipe holds: the write blocks as a refused transfer does.
    const std::vector<std::uint8_t> report(1 << 16, 0x55);
    EXPECT_EQ(device.writeOutput(report), static_cast<SysError>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(device.writeOutput(report), static_cast<SysError>(ERROR_OPERATION_ABORTED));
}

TEST(FineTimerResolution, CountsThePeriodsHeldAndGivesEachBack) {
    const int before = Win32Services::FineTimerPeriodsHeld();
    Win32Services services;
    {
        auto first = services.holdFineTimerResolution();
        ASSERT_NE(first, nullptr);
        auto second = services.holdFineTimerResolution();
        EXPECT_EQ(Win32Services::FineTimerPeriodsHeld(), before + 2);
    }
    EXPECT_EQ(Win32Services::FineTimerPeriodsHeld(), before);
}

// The simulated bus in front of the real services, noting the periods held at every feature
// report the engine sends.
class PeriodProbeDevice final : public HidDevice {
public:
    PeriodProbeDevice(std::unique_ptr<HidDevice> inner, std::vector<int>& seen)
        : inner_(std::move(inner)), seen_(seen) {}
    SysError getAttributes(HidAttributes& attributes) override {
        return inner_->getAttributes(attributes);
    }
    SysError getCapabilities(HidCapabilities& capabilities) override {
        return inner_->getCapabilities(capabilities);
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        seen_.push_back(Win32Services::FineTimerPeriodsHeld());
        return inner_->setFeature(report);
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        return inner_->getFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        return inner_->writeOutput(report);
    }

private:
    std::unique_ptr<HidDevice> inner_;
    std::vector<int>& seen_;
};

class PeriodProbeBus final : public HidBus {
public:
    explicit PeriodProbeBus(HidBus& inner) : inner_(inner) {}
    std::vector<int> seen;

    std::unique_ptr<HidInterfaceList> listInterfaces() override { return inner_.listInterfaces(); }
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override {
        auto device = inner_.open(path, access, error);
        if (!device) {
            return nullptr;
        }
        return std::make_unique<PeriodProbeDevice>(std::move(device), seen);
    }
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override {
        inner_.waitNoPendingInstallEvents(timeoutMs);
    }
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override {
        return inner_.registerNotifications(window, error);
    }

private:
    HidBus& inner_;
};

TEST(FineTimerResolution, IsHeldForTheWholeDownloadAndOnlyThen) {
    sim::VirtualTargetOptions options;
    options.startsInBootLoader = true;
    options.paced = false;
    sim::VirtualTarget target(options);
    PeriodProbeBus bus(target.bus());
    Win32Services services;
    DfuEngine engine(bus, services);
    const int before = Win32Services::FineTimerPeriodsHeld();

    const std::vector<std::uint8_t> image(200, 0x11);
    EXPECT_EQ(engine.Download(image.data(), 0, static_cast<std::uint32_t>(image.size()),
                              ImageChecksum(image.data(), image.size())),
              DFU_SUCCESS);
    ASSERT_FALSE(bus.seen.empty());
    for (const int held : bus.seen) {
        EXPECT_EQ(held, before + 1);
    }
    EXPECT_EQ(Win32Services::FineTimerPeriodsHeld(), before);
}

}  // namespace
}  // namespace tolvane
