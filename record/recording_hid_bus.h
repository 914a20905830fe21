// A HID bus that forwards every call to another bus and writes one recording line per call: what
// was asked, what came back, the system error. It knows nothing of what the bytes mean.
#pragma once

#include "forwarding_hid_bus.h"
#include "recorder.h"

namespace tolvane::record {

class RecordingHidBus final : public ForwardingHidBus {
public:
    RecordingHidBus(HidBus& inner, Recorder& recorder)
        : ForwardingHidBus(inner), recorder_(recorder) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    SysError portOf(std::u16string_view path, std::string& port) override;

private:
    Recorder& recorder_;
};

// Names of an access mode and an interface lookup as recordings write them.
const char* AccessName(DeviceAccess access);
const char* LookupName(InterfaceLookup lookup);

}  // namespace tolvane::record
