#include "forwarding_hid_bus.h"

namespace tolvane {

SysError ForwardingHidDevice::getAttributes(HidAttributes& attributes) {
    return inner_->getAttributes(attributes);
}

SysError ForwardingHidDevice::getCapabilities(HidCapabilities& capabilities) {
    return inner_->getCapabilities(capabilities);
}

SysError ForwardingHidDevice::setFeature(std::span<const std::uint8_t> report) {
    return inner_->setFeature(report);
}

SysError ForwardingHidDevice::getFeature(std::span<std::uint8_t> report) {
    return inner_->getFeature(report);
}

SysError ForwardingHidDevice::writeOutput(std::span<const std::uint8_t> report) {
    return inner_->writeOutput(report);
}

SysError ForwardingHidDevice::getSerialNumber(std::u16string& serial) {
    return inner_->getSerialNumber(serial);
}

SysError ForwardingHidDevice::setTransferLimit(std::uint32_t limitMs) {
    return inner_->setTransferLimit(limitMs);
}

std::unique_ptr<HidInterfaceList> ForwardingHidBus::listInterfaces() {
    return inner_.listInterfaces();
}

std::unique_ptr<HidDevice> ForwardingHidBus::open(std::u16string_view path, DeviceAccess access,
                                                  SysError& error) {
    return inner_.open(path, access, error);
}

void ForwardingHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    inner_.waitNoPendingInstallEvents(timeoutMs);
}

std::unique_ptr<NotificationRegistration> ForwardingHidBus::registerNotifications(
    NotifyWindow& window, SysError& error) {
    return inner_.registerNotifications(window, error);
}

SysError ForwardingHidBus::portOf(std::u16string_view path, std::string& port) {
    return inner_.portOf(path, port);
}

SysError ForwardingHidBus::deviceNodeOf(std::u16string_view path, std::string& node) {
    return inner_.deviceNodeOf(path, node);
}

}  // namespace tolvane
