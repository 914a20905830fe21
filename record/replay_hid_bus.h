// A HID bus that answers from a recording: each call is matched against the next recorded one and
// answered with what was recorded. After a mismatch every call fails (kErrorGenFailure, nothing
// found), so the run ends; the script tells what differed.
#pragma once

#include "hid_bus.h"
#include "replay_script.h"

namespace tolvane::record {

class ReplayHidBus final : public HidBus {
public:
    explicit ReplayHidBus(ReplayScript& script) : script_(script) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    SysError portOf(std::u16string_view path, std::string& port) override;

private:
    ReplayScript& script_;
};

// The recorded system error of a matched call, or kErrorGenFailure when the call did not match.
SysError RecordedError(const std::optional<RecordLine>& recorded);

}  // namespace tolvane::record
