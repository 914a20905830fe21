// The lock between tool processes on Windows, under Wine: one holder at a time whatever thread
// took it or lets it go, and the tool in another process refusing a device whose port or node is
// held, having sent it nothing (locked_sim_tool.exe: the tool over simulated devices with the
// system's own locks).
#include "buses/locking_hid_bus.h"
#include "captured_run.h"
#include "system/device_lock.h"
#include "win32_handles.h"
#include "win32_hid_bus.h"

#include <aclapi.h>
#include <sddl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using Take = std::function<std::unique_ptr<DeviceLock>(DeviceLock::Outcome&)>;

// Takes a lock on a thread of its own that has ended when this returns, as each device's engine
// thread under --all ends before the run does.
std::unique_ptr<DeviceLock> TakeOnAnEndedThread(const Take& take, DeviceLock::Outcome& outcome) {
    std::unique_ptr<DeviceLock> lock;
    std::thread([&] { lock = take(outcome); }).join();
    return lock;
}

// The system's semaphore behind a lock, opened by its documented name; keeps it in existence so
// that whether its token is free can be seen after the lock is let go.
win32::UniqueKernelHandle OpenByName(const std::wstring& name) {
    return win32::UniqueKernelHandle(
        OpenSemaphoreW(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, name.c_str()));
}

DWORD OpenHandles() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count;
}

// Both kinds keep one contract: one holder at a time, even within one process; a holder whose
// thread has ended still holds it, and it is let go from any other thread; one name whatever the
// case of its letters; none for an empty name.
TEST(DeviceLockOnWindows, OneHolderAtATimeWhateverTheThread) {
    struct Kind {
        const char* name;
        std::wstring systemName;
        Take take;
        Take takeOtherCase;
        Take takeOther;
        Take takeNone;
    };
    const Kind kinds[] = {
        {"port", L"Global\\tolvane-port-test-1.4",
         [](auto& outcome) { return DeviceLock::takePort("test-1.4", outcome); },
         [](auto& outcome) { return DeviceLock::takePort("TEST-1.4", outcome); },
         [](auto& outcome) { return DeviceLock::takePort("test-1.5", outcome); },
         [](auto& outcome) { return DeviceLock::takePort("", outcome); }},
        {"node", L"Global\\tolvane-device-hid#vid_5c3b&pid_0326#7&1a2b&0&0000",
         [](auto& outcome) {
             return DeviceLock::take("HID\\VID_5C3B&PID_0326\\7&1A2B&0&0000", outcome);
         },
         [](auto& outcome) {
             return DeviceLock::take("hid\\vid_5c3b&pid_0326\\7&1a2b&0&0000", outcome);
         },
         [](auto& outcome) {
             return DeviceLock::take("HID\\VID_5C3B&PID_0326\\7&1A2B&0&0001", outcome);
         },
         [](auto& outcome) { return DeviceLock::take("", outcome); }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        DeviceLock::Outcome outcome{};
        auto held = TakeOnAnEndedThread(kind.take, outcome);
        ASSERT_TRUE(held);
        EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
        const win32::UniqueKernelHandle observer = OpenByName(kind.systemName);
        ASSERT_TRUE(observer) << "error " << GetLastError();
        EXPECT_EQ(WaitForSingleObject(observer.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
            << "the token stays taken after the taking thread ended";

        const DWORD handles = OpenHandles();
        for (const Take* again : {&kind.take, &kind.takeOtherCase}) {
            EXPECT_FALSE((*again)(outcome));
            EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
        }
        EXPECT_EQ(OpenHandles(), handles) << "a refusal keeps nothing open";
        auto other = kind.takeOther(outcome);
        EXPECT_TRUE(other) << "another name, another lock";
        EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);

        held.reset();  // on this thread, not the one that took it
        ASSERT_EQ(WaitForSingleObject(observer.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
            << "the token is given back";
        EXPECT_TRUE(ReleaseSemaphore(observer.get(), 1, nullptr));
        held = TakeOnAnEndedThread(kind.takeOtherCase, outcome);
        EXPECT_TRUE(held);
        EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
        held.reset();

        EXPECT_FALSE(kind.takeNone(outcome));
        EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable);
    }
}

// Every user may take and give back a lock that another user's run made (an elevated one, say):
// refused the global name, a run would lock a name of its own session that the maker never sees.
TEST(DeviceLockOnWindows, EveryUserMayTakeTheLock) {
    DeviceLock::Outcome outcome{};
    const auto held = DeviceLock::takePort("test-3.1", outcome);
    ASSERT_TRUE(held);
    const win32::UniqueKernelHandle query(
        OpenSemaphoreW(READ_CONTROL, FALSE, L"Global\\tolvane-port-test-3.1"));
    ASSERT_TRUE(query) << "error " << GetLastError();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(query.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    LPWSTR text = nullptr;
    ASSERT_TRUE(ConvertSecurityDescriptorToStringSecurityDescriptorW(
        descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr));
    const std::unique_ptr<void, decltype(&LocalFree)> ownedText(text, &LocalFree);
    EXPECT_EQ(std::wstring(text), L"D:(A;;0x100002;;;WD)");
}

// A name that an earlier build's mutex holds counts as held: that build's run is updating.
TEST(DeviceLockOnWindows, AMutexOfTheSameNameIsAHolder) {
    const win32::UniqueKernelHandle mutex(
        CreateMutexW(nullptr, FALSE, L"Global\\tolvane-port-test-2.1"));
    ASSERT_TRUE(mutex);
    DeviceLock::Outcome outcome{};
    EXPECT_FALSE(DeviceLock::takePort("test-2.1", outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
}

// Wine's own devices have no port: each is kept by its node's lock alone, which a second holder
// of the same device is refused and another device does not share.
TEST(DeviceLockOnWindows, ADeviceWithoutAPortIsKeptByItsNode) {
    Win32HidBus bus;
    std::vector<std::u16string> paths;
    const auto list = bus.listInterfaces();
    ASSERT_TRUE(list);
    std::u16string path;
    for (std::uint32_t i = 0; list->interfacePath(i, path) != InterfaceLookup::End; ++i) {
        paths.push_back(path);
    }
    ASSERT_GE(paths.size(), 2u) << "Wine's virtual mouse and keyboard";
    LockingHidBus first(bus);
    LockingHidBus second(bus);
    EXPECT_TRUE(first.lock(paths[0]));
    EXPECT_TRUE(first.lock(paths[0])) << "never refused by itself";
    EXPECT_FALSE(second.lock(paths[0]));
    EXPECT_EQ(second.busyPaths(), std::vector<std::u16string>{paths[0]});
    EXPECT_TRUE(second.lock(paths[1])) << "another device, another lock";
    EXPECT_FALSE(first.lock(paths[1]));
}

struct LockedRun {
    DWORD exitCode = 0;
    std::string out;
};

class LockedToolTest : public ::testing::Test {
protected:
    LockedToolTest() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        image_ = std::wstring(temp) + L"tolvane-lock-" + std::to_wstring(GetCurrentProcessId()) +
                 L".bin";
        std::ofstream(std::filesystem::path(image_), std::ios::binary) << std::string(3000, '\x5A');
    }
    ~LockedToolTest() override { DeleteFileW(image_.c_str()); }

    // `update` of the image on `devices` simulated devices, in a process of its own.
    LockedRun update(int devices, const std::wstring& more = L"") const {
        const testing::CapturedRun run = testing::RunCaptured(
            L"\"" + testing::DirectoryOfThisProgram() + L"locked_sim_tool.exe\" " +
            std::to_wstring(devices) + L" --json update \"" + image_ + L"\" --vid 5C3B --pid 0326" +
            more);
        return {run.exitCode, run.out};
    }

    std::wstring image_;
};

// Whoever holds a device's port or its node, another process's update sends it nothing and ends
// 75, also when the holder's taking thread has ended; once the holder lets go, from another
// thread, the same update goes through.
TEST_F(LockedToolTest, AnotherProcessHoldingThePortOrTheNodeGetsNothingSent) {
    const std::pair<const char*, Take> holders[] = {
        {"port", [](auto& outcome) { return DeviceLock::takePort("1-1", outcome); }},
        {"node",
         [](auto& outcome) { return DeviceLock::take("usb\\vid_5c3b&pid_0326\\1-1", outcome); }},
    };
    for (const auto& [held, take] : holders) {
        SCOPED_TRACE(held);
        DeviceLock::Outcome outcome{};
        auto holder = TakeOnAnEndedThread(take, outcome);
        ASSERT_TRUE(holder);
        const LockedRun refused = update(1);
        EXPECT_EQ(refused.exitCode, 75u) << refused.out;
        EXPECT_THAT(refused.out, HasSubstr("\"result\":\"DEVICE_BUSY\""));
        EXPECT_THAT(refused.out, HasSubstr("device 1-1: reports=0 entries=0 setups=0 bytes=0"));

        holder.reset();
        const LockedRun done = update(1);
        EXPECT_EQ(done.exitCode, 0u) << done.out;
        EXPECT_THAT(done.out, HasSubstr("entries=1 setups=1 bytes=3000"));
    }
}

// Updating every device while another process holds one port: the others are updated, the held
// one gets nothing and is reported busy, and the run ends 75.
TEST_F(LockedToolTest, AllDevicesLeaveTheHeldPortAlone) {
    DeviceLock::Outcome outcome{};
    const auto holder = DeviceLock::takePort("1-2", outcome);
    ASSERT_TRUE(holder);
    const LockedRun all = update(3, L" --all");
    EXPECT_EQ(all.exitCode, 75u) << all.out;
    EXPECT_THAT(all.out, HasSubstr("device 1-2: reports=0 entries=0 setups=0 bytes=0"));
    for (const char* done : {"1-1", "1-3"}) {
        EXPECT_THAT(all.out,
                    ::testing::ContainsRegex(std::string("device ") + done +
                                             ": reports=\\d+ entries=1 setups=1 bytes=3000"));
    }
}

}  // namespace
}  // namespace tolvane::cli
