// Bases for a HID bus that stands in front of another: every entry of the bus and of its devices
// goes on to the inner one unless the subclass overrides it. A decorator overrides only what it
// watches or changes, and an entry added to the seam is forwarded here once, so no decorator can
// silently answer it with the seam's default.
#pragma once

#include "hid_bus.h"

#include <memory>
#include <string>

namespace tolvane {

class ForwardingHidDevice : public HidDevice {
public:
    explicit ForwardingHidDevice(std::unique_ptr<HidDevice> inner) : inner_(std::move(inner)) {}

    SysError getAttributes(HidAttributes& attributes) override;
    SysError getCapabilities(HidCapabilities& capabilities) override;
    SysError setFeature(std::span<const std::uint8_t> report) override;
    SysError getFeature(std::span<std::uint8_t> report) override;
    SysError writeOutput(std::span<const std::uint8_t> report) override;
    SysError getSerialNumber(std::u16string& serial) override;
    SysError setTransferLimit(std::uint32_t limitMs) override;

protected:
    HidDevice& inner() { return *inner_; }
    // Closes the inner device now, so that a subclass can tell of the close after it happened.
    void closeInner() { inner_.reset(); }

private:
    std::unique_ptr<HidDevice> inner_;
};

class ForwardingHidBus : public HidBus {
public:
    explicit ForwardingHidBus(HidBus& inner) : inner_(inner) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    SysError portOf(std::u16string_view path, std::string& port) override;
    SysError deviceNodeOf(std::u16string_view path, std::string& node) override;

protected:
    HidBus& inner() { return inner_; }
    const HidBus& inner() const { return inner_; }

private:
    HidBus& inner_;
};

}  // namespace tolvane
