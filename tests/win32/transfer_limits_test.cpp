// Time limits and timer resolution of the Windows platform under Wine: the watchdog that cancels
// an overlapped transfer which never ends (a named pipe stands in for a device that never
// answers), also when the first cancellation is ignored, and the 1 ms timer period held for
// exactly the length of a download.
#include "dfu_engine.h"
#include "fine_timer_resolution.h"
#include "forwarding_hid_bus.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "transcript.h"
#include "transfer_watchdog.h"
#include "virtual_target.h"
#include "win32_hid_device.h"
#include "win32_services.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace tolvane {
namespace {

using win32::TransferWatchdog;
using win32::UniqueFileHandle;

constexpr std::uint32_t kShortLimitMs = 150;

// Both ends of a named pipe opened for overlapped I/O, with a one-byte buffer: a read waits until
// the other end writes, and a larger write until the other end reads, as a transfer to a device
// that never answers does.
struct OverlappedPipe {
    OverlappedPipe() {
        static int count = 0;
        const std::wstring name = L"\\\\.\\pipe\\tolvane-transfer-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(++count);
        server.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                      PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr));
        client.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    }
    bool valid() const { return server.valid() && client.valid(); }
    UniqueFileHandle server;
    UniqueFileHandle client;
};

std::uint64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - since)
                                          .count());
}

// A read of one byte through the watchdog.
SysError ReadOne(TransferWatchdog& watchdog, HANDLE pipe, char& byte) {
    return watchdog.run(pipe, "ReadFile", [&](OVERLAPPED* overlapped) {
        return ReadFile(pipe, &byte, 1, nullptr, overlapped);
    });
}

TEST(TransferWatchdog, CancelsATransferThatNeverEndsAndTellsWhichCallHitTheLimit) {
    OverlappedPipe pipe;
    ASSERT_TRUE(pipe.valid());
    TransferWatchdog watchdog(kShortLimitMs);
    char byte = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadOne(watchdog, pipe.server.get(), byte),
              static_cast<SysError>(ERROR_OPERATION_ABORTED));
    EXPECT_GE(ElapsedMs(start), kShortLimitMs - 20);
    const std::string detail = win32::LastTransferLimitDetail();
    EXPECT_NE(detail.find("ReadFile: no answer within 150 ms"), std::string::npos) << detail;
    EXPECT_NE(detail.find("1 request"), std::string::npos) << detail;

    // The same watchdog limits the next transfer too, and one that ends in time leaves no
    // detail behind and is never cancelled later.
    EXPECT_EQ(ReadOne(watchdog, pipe.server.get(), byte),
              static_cast<SysError>(ERROR_OPERATION_ABORTED));
    const char sent = 'x';
    DWORD count = 0;
    OVERLAPPED write{};
    ASSERT_TRUE(WriteFile(pipe.client.get(), &sent, 1, &count, &write) ||
                GetLastError() == ERROR_IO_PENDING);
    EXPECT_EQ(ReadOne(watchdog, pipe.server.get(), byte), 0u);
    EXPECT_EQ(byte, 'x');
    EXPECT_EQ(win32::LastTransferLimitDetail(), "");
}

// A driver that does not complete the operation at the first cancellation.
int cancelsSeen = 0;
BOOL WINAPI IgnoreFirstCancel(HANDLE file, LPOVERLAPPED overlapped) {
    if (++cancelsSeen == 1) {
        return TRUE;
    }
    return CancelIoEx(file, overlapped);
}

TEST(TransferWatchdog, TransferWhoseDriverIgnoresTheFirstCancelStillReturns) {
    OverlappedPipe pipe;
    ASSERT_TRUE(pipe.valid());
    cancelsSeen = 0;
    TransferWatchdog watchdog(kShortLimitMs, &IgnoreFirstCancel);
    char byte = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadOne(watchdog, pipe.server.get(), byte),
              static_cast<SysError>(ERROR_OPERATION_ABORTED));
    EXPECT_EQ(cancelsSeen, 2);
    // The limit, one retry pause and the time the system takes: far below another limit.
    EXPECT_LT(ElapsedMs(start), kShortLimitMs + 2000);
    EXPECT_NE(win32::LastTransferLimitDetail().find("2 requests"), std::string::npos);
}

TEST(Win32HidDevice, OutputReportToADeviceThatNeverTakesItEndsAtTheLimit) {
    OverlappedPipe pipe;
    ASSERT_TRUE(pipe.valid());
    win32::Win32HidDevice device(std::move(pipe.client), kShortLimitMs);
    // Far more than the pipe holds: the write waits as a refused transfer does.
    const std::vector<std::uint8_t> report(1 << 16, 0x55);
    EXPECT_EQ(device.writeOutput(report), static_cast<SysError>(ERROR_OPERATION_ABORTED));
    EXPECT_NE(win32::LastTransferLimitDetail().find("WriteFile"), std::string::npos);
    EXPECT_EQ(device.writeOutput(report), static_cast<SysError>(ERROR_OPERATION_ABORTED));
}

// The engine sets each transfer's limit: a handle opened with the default one waits as long as
// it was last told.
TEST(Win32HidDevice, TransferLimitSetOnTheHandleGovernsTheNextTransfers) {
    OverlappedPipe pipe;
    ASSERT_TRUE(pipe.valid());
    win32::Win32HidDevice device(std::move(pipe.client));
    EXPECT_EQ(device.setTransferLimit(kShortLimitMs), 0u);
    const std::vector<std::uint8_t> report(1 << 16, 0x55);
    EXPECT_EQ(device.writeOutput(report), static_cast<SysError>(ERROR_OPERATION_ABORTED));
    EXPECT_NE(win32::LastTransferLimitDetail().find("within 150 ms"), std::string::npos)
        << win32::LastTransferLimitDetail();
}

TEST(FineTimerResolution, CountsThePeriodsHeldAndGivesEachBack) {
    const int before = Win32Services::FineTimerPeriodsHeld();
    Win32Services services;
    bool optedOut = false;
    {
        auto first = services.holdFineTimerResolution();
        ASSERT_NE(first, nullptr);
        auto second = services.holdFineTimerResolution();
        EXPECT_EQ(Win32Services::FineTimerPeriodsHeld(), before + 2);
        optedOut = win32::FineTimerResolution::ThrottlingOptOutHeld();
    }
    EXPECT_EQ(Win32Services::FineTimerPeriodsHeld(), before);
    // The opt-out of timer-resolution throttling ends with the last hold (where the system has
    // it at all: Wine may not).
    EXPECT_FALSE(win32::FineTimerResolution::ThrottlingOptOutHeld());
    std::printf("power throttling opt-out while held: %s\n", optedOut ? "yes" : "no");
}

// The simulated bus in front of the real services, noting the periods held at every feature
// report the engine sends.
class PeriodProbeDevice final : public ForwardingHidDevice {
public:
    PeriodProbeDevice(std::unique_ptr<HidDevice> inner, std::vector<int>& seen)
        : ForwardingHidDevice(std::move(inner)), seen_(seen) {}
    SysError setFeature(std::span<const std::uint8_t> report) override {
        seen_.push_back(Win32Services::FineTimerPeriodsHeld());
        return inner().setFeature(report);
    }

private:
    std::vector<int>& seen_;
};

class PeriodProbeBus final : public ForwardingHidBus {
public:
    explicit PeriodProbeBus(HidBus& inner) : ForwardingHidBus(inner) {}
    std::vector<int> seen;

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override {
        auto device = inner().open(path, access, error);
        if (!device) {
            return nullptr;
        }
        return std::make_unique<PeriodProbeDevice>(std::move(device), seen);
    }
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
