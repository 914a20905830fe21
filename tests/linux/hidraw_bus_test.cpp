// The hidraw bus on the machine that runs the tests. No HID hardware is assumed: whatever hidraw
// nodes exist are listed and each path leads back to its node. Its contract is checked by
// tests/conformance.
#include "hidraw_bus.h"
#include "errno_error.h"
#include "hidraw_path.h"
#include "platform.h"
#include "posix_services.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tolvane::hidraw {
namespace {

std::size_t HidrawNodesInSysfs() {
    std::error_code error;
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/hidraw", error)) {
        if (IsHidrawNodeName(entry.path().filename().string())) {
            ++count;
        }
    }
    return count;
}

TEST(HidrawBus, ListsEveryHidrawNodeAndNoFailureWhenThereAreNone) {
    HidrawBus bus;
    const auto list = bus.listInterfaces();
    ASSERT_NE(list, nullptr) << "an empty machine gives an empty list, not none";
    std::u16string path;
    std::uint32_t index = 0;
    while (list->interfacePath(index, path) == InterfaceLookup::Found) {
        const auto node = NodeNameFromInterfacePath(path);
        ASSERT_TRUE(node.has_value());
        EXPECT_TRUE(std::filesystem::exists("/sys/class/hidraw/" + *node)) << *node;
        ++index;
    }
    EXPECT_EQ(list->interfacePath(index, path), InterfaceLookup::End);
    EXPECT_EQ(index, HidrawNodesInSysfs());
}

TEST(HidrawBus, PathOfAnotherFormIsNotFound) {
    HidrawBus bus;
    SysError error = 0;
    EXPECT_EQ(bus.open(u"/dev/null", DeviceAccess::ReadWrite, error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
}

TEST(HidrawBus, UnlimitedInstallWaitReturns) {
    HidrawBus bus;
    bus.waitNoPendingInstallEvents(kInfinite);  // bounded by kMaxInstallWaitMs
}

TEST(HidrawBus, RegistrationStartsAndStopsItsMonitorAndOutlivesTheWindowSafely) {
    HidrawBus bus;
    posix::PosixServices services;
    struct : DeviceChangeHandler {
        void onDeviceChange(const DeviceChangeMessage&) override {}
    } handler;
    SysError error = 0;
    auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr);
    auto registration = bus.registerNotifications(*window, error);
    if (!registration) {
        GTEST_SKIP() << "no udev monitor here, error " << error;
    }
    EXPECT_EQ(error, 0u);
    window.reset();  // the registration holds the window's target, not the window
    EXPECT_EQ(registration->unregister(), 0u);
}

TEST(HidrawBus, DestroyingARegistrationWithoutUnregisterStopsItsThread) {
    HidrawBus bus;
    posix::PosixServices services;
    struct : DeviceChangeHandler {
        void onDeviceChange(const DeviceChangeMessage&) override {}
    } handler;
    SysError error = 0;
    auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr);
    auto registration = bus.registerNotifications(*window, error);
    if (!registration) {
        GTEST_SKIP() << "no udev monitor here, error " << error;
    }
    registration.reset();
}

TEST(DefaultPlatform, IsOneProcessWideBusAndOneSetOfServices) {
    EXPECT_EQ(&platform::DefaultHidBus(), &platform::DefaultHidBus());
    EXPECT_EQ(&platform::DefaultServices(), &platform::DefaultServices());
    EXPECT_NE(dynamic_cast<HidrawBus*>(&platform::DefaultHidBus()), nullptr);
    EXPECT_NE(dynamic_cast<posix::PosixServices*>(&platform::DefaultServices()), nullptr);
}

}  // namespace
}  // namespace tolvane::hidraw
