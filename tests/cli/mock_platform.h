// Mocks of the two seams, for runs of the tool that must not touch the platform at all.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <gmock/gmock.h>

namespace tolvane::cli::test {

class MockHidBus : public HidBus {
public:
    MOCK_METHOD(std::unique_ptr<HidInterfaceList>, listInterfaces, (), (override));
    MOCK_METHOD(std::unique_ptr<HidDevice>, open,
                (std::u16string_view path, DeviceAccess access, SysError& error), (override));
    MOCK_METHOD(void, waitNoPendingInstallEvents, (std::uint32_t timeoutMs), (override));
    MOCK_METHOD(std::unique_ptr<NotificationRegistration>, registerNotifications,
                (NotifyWindow & window, SysError& error), (override));
    MOCK_METHOD(SysError, portOf, (std::u16string_view path, std::string& port), (override));
};

class MockServices : public SystemServices {
public:
    MOCK_METHOD(std::unique_ptr<AutoResetEvent>, createEvent, (SysError & error), (override));
    MOCK_METHOD(void, sleep, (std::uint32_t ms), (override));
    MOCK_METHOD(std::uint64_t, nowMs, (), (override));
    MOCK_METHOD(std::unique_ptr<NotifyWindow>, createNotifyWindow,
                (const NotifyWindowSpec& config, DeviceChangeHandler& handler, SysError& error),
                (override));
    MOCK_METHOD(void, showMessageBox, (std::u16string_view text, std::u16string_view caption),
                (override));
    MOCK_METHOD(void, dispatchMessages, (std::uint32_t maxWaitMs), (override));
};

class MockDevice : public HidDevice {
public:
    MOCK_METHOD(SysError, getAttributes, (HidAttributes & attributes), (override));
    MOCK_METHOD(SysError, getCapabilities, (HidCapabilities & capabilities), (override));
    MOCK_METHOD(SysError, setFeature, (std::span<const std::uint8_t> report), (override));
    MOCK_METHOD(SysError, getFeature, (std::span<std::uint8_t> report), (override));
    MOCK_METHOD(SysError, writeOutput, (std::span<const std::uint8_t> report), (override));
    MOCK_METHOD(SysError, getSerialNumber, (std::u16string & serial), (override));
};

}  // namespace tolvane::cli::test
