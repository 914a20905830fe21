// One HID interface (a top-level collection of a HIDDevice) opened through WebHID. WebHID takes
// the report identifier as an argument of its own, leaves identifier 0 out of what it receives,
// checks no length against the descriptor, and names every failure NotAllowedError: this class
// makes the contract of hid_bus.h out of that.
#pragma once

#include "hid_bus.h"
#include "report_layout.h"

#include <cstdint>

namespace tolvane::web {

class WebHidDevice final : public HidDevice {
public:
    // `opened`: the device was opened for transfers (DeviceAccess::ReadWrite) and is closed by
    // this handle's end.
    WebHidDevice(std::uint32_t number, ReportLayout layout, bool opened);
    ~WebHidDevice() override;
    WebHidDevice(const WebHidDevice&) = delete;
    WebHidDevice& operator=(const WebHidDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override;
    SysError getCapabilities(HidCapabilities& capabilities) override;
    SysError setFeature(std::span<const std::uint8_t> report) override;
    SysError getFeature(std::span<std::uint8_t> report) override;
    SysError writeOutput(std::span<const std::uint8_t> report) override;
    // WebHID tells no serial number: kErrorInvalidFunction (the default).

private:
    std::uint32_t number_;
    ReportLayout layout_;
    bool opened_;
};

}  // namespace tolvane::web
