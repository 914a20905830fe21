// An open hidraw node, or one collection of it: attributes, capabilities from the report
// descriptor, feature reports by ioctl and output reports by write(). A node that exists but may
// not be opened is still described from sysfs, as Windows describes an interface opened without
// access rights; its reports are refused as access denied.
#pragma once

#include "hid_bus.h"
#include "hidraw_sysfs.h"
#include "report_descriptor.h"
#include "unique_fd.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
    // The report descriptor from sysfs (whole; HIDIOCGRDESCSIZE and HIDIOCGRDESC where sysfs has
    // none), then the longest reports of the interface's top-level collection.
    SysError getCapabilities(HidCapabilities& capabilities) override;
    // Feature and output reports are first checked against the collection as Windows' class
    // driver checks them (RefusalOf): hidraw sends anything, and a device must not receive on
    // Linux what it never receives on Windows (a report ID 0 sent to firmware that numbers its
    // reports, for one). Where the descriptor cannot be read, the kernel judges alone.
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
    SysError readDescriptor(std::vector<std::uint8_t>& bytes);
    // Reads the collection's reports once; 0 when they are known.
    SysError loadReports();
    SysError checkReport(ReportType type, std::span<const std::uint8_t> report);

    posix::UniqueFd fd_;
    HidrawDeviceSite site_;
    int refusal_ = 0;  // errno of the refused open of a device without a descriptor
    std::optional<CollectionReportSet> reports_;
};

}  // namespace tolvane::hidraw
