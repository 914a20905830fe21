// An open hidraw node: attributes, capabilities from the report descriptor, feature reports by
// ioctl and output reports by write().
#pragma once

#include "hid_bus.h"
#include "unique_fd.h"

namespace tolvane::hidraw {

class HidrawDevice final : public HidDevice {
public:
    explicit HidrawDevice(posix::UniqueFd fd) noexcept : fd_(std::move(fd)) {}

    // HIDIOCGRAWINFO, and the USB device's release number from udev (0 where there is none).
    SysError getAttributes(HidAttributes& attributes) override;
    // HIDIOCGRDESCSIZE and HIDIOCGRDESC, then the descriptor's longest reports.
    SysError getCapabilities(HidCapabilities& capabilities) override;
    // HIDIOCSFEATURE with the buffer's length.
    SysError setFeature(std::span<const std::uint8_t> report) override;
    // HIDIOCGFEATURE with the buffer's length; bytes the device did not send are set to 0.
    SysError getFeature(std::span<std::uint8_t> report) override;
    // write() of the whole buffer; a partial write is a general failure.
    SysError writeOutput(std::span<const std::uint8_t> report) override;

private:
    posix::UniqueFd fd_;
};

}  // namespace tolvane::hidraw
