// An open hidraw node, or one collection of it: attributes, capabilities from the report
// descriptor, feature reports by ioctl and output reports by write(). A node that exists but may
// not be opened is still described from sysfs, as Windows describes an interface opened without
// access rights; its reports are refused as access denied.
#pragma once

#include "hid_bus.h"
#include "hidraw_sysfs.h"
#include "unique_fd.h"

#include <cstdint>
#include <string>

namespace tolvane::hidraw {

// The length to ask HIDIOCGRDESC for, given what HIDIOCGRDESCSIZE reported: the kernel refuses
// anything above HID_MAX_DESCRIPTOR_SIZE - 1 (4095) bytes.
std::uint32_t DescriptorRequestLength(int reportedSize) noexcept;

// Where a device's facts come from besides its descriptor: the node's name, the top-level
// collection the interface stands for (0: the node's only one), and sysfs.
struct HidrawDeviceSite {
    std::string nodeName;
    std::uint32_t collection = 0;
    HidrawSysfs sysfs;
};

class HidrawDevice final : public HidDevice {
public:
    explicit HidrawDevice(posix::UniqueFd fd, HidrawDeviceSite site = {}) noexcept
        : fd_(std::move(fd)), site_(std::move(site)) {}

    // A node that refused opening with the errno value `refusal`: described from sysfs only.
    static HidrawDevice WithoutAccess(HidrawDeviceSite site, int refusal) noexcept;

    // HIDIOCGRAWINFO (HID_ID from sysfs without access), and the USB device's release number
    // from sysfs (0 where there is none).
    SysError getAttributes(HidAttributes& attributes) override;
    // HIDIOCGRDESCSIZE and HIDIOCGRDESC (the sysfs copy without access), then the longest
    // reports of the interface's top-level collection.
    SysError getCapabilities(HidCapabilities& capabilities) override;
    // HIDIOCSFEATURE with the buffer's length.
    SysError setFeature(std::span<const std::uint8_t> report) override;
    // HIDIOCGFEATURE with the buffer's length; bytes the device did not send are set to 0.
    SysError getFeature(std::span<std::uint8_t> report) override;
    // write() of the whole buffer; a partial write is a general failure.
    SysError writeOutput(std::span<const std::uint8_t> report) override;
    // HID_UNIQ of the node's HID device from sysfs; empty with 0 when it has none.
    SysError getSerialNumber(std::u16string& serial) override;

private:
    SysError refused() const noexcept;

    posix::UniqueFd fd_;
    HidrawDeviceSite site_;
    int refusal_ = 0;  // errno of the refused open of a device without a descriptor
};

}  // namespace tolvane::hidraw
