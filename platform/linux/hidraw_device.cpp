#include "hidraw_device.h"

#include "errno_error.h"
#include "report_descriptor.h"
#include "udev_hidraw.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tolvane::hidraw {

SysError HidrawDevice::getAttributes(HidAttributes& attributes) {
    hidraw_devinfo info{};
    if (::ioctl(fd_.get(), HIDIOCGRAWINFO, &info) < 0) {
        return LastFailure();
    }
    attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
    attributes.productId = static_cast<std::uint16_t>(info.product);
    struct stat status {};
    attributes.versionNumber =
        ::fstat(fd_.get(), &status) == 0 ? UsbReleaseNumberOfNode(status.st_rdev) : 0;
    return 0;
}

SysError HidrawDevice::getCapabilities(HidCapabilities& capabilities) {
    int size = 0;
    if (::ioctl(fd_.get(), HIDIOCGRDESCSIZE, &size) < 0) {
        return LastFailure();
    }
    const auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<std::uint32_t>(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE));
    if (::ioctl(fd_.get(), HIDIOCGRDESC, descriptor.get()) < 0) {
        return LastFailure();
    }
    const auto lengths = ReportLengthsFromDescriptor(
        std::span<const std::uint8_t>(descriptor->value, descriptor->size));
    if (!lengths) {
        return kErrorGenFailure;
    }
    capabilities = *lengths;
    return 0;
}

SysError HidrawDevice::setFeature(std::span<const std::uint8_t> report) {
    if (report.empty()) {
        return kErrorInvalidParameter;
    }
    // The kernel reads the buffer only; the request code carries the length.
    if (::ioctl(fd_.get(), HIDIOCSFEATURE(report.size()), report.data()) < 0) {
        return LastFailure();
    }
    return 0;
}

SysError HidrawDevice::getFeature(std::span<std::uint8_t> report) {
    if (report.empty()) {
        return kErrorInvalidParameter;
    }
    const int received = ::ioctl(fd_.get(), HIDIOCGFEATURE(report.size()), report.data());
    if (received < 0) {
        return LastFailure();
    }
    const auto filled = std::min(report.size(), static_cast<std::size_t>(received));
    std::fill(report.begin() + static_cast<std::ptrdiff_t>(filled), report.end(), 0);
    return 0;
}

SysError HidrawDevice::writeOutput(std::span<const std::uint8_t> report) {
    if (report.empty()) {
        return kErrorInvalidParameter;
    }
    const ssize_t written = ::write(fd_.get(), report.data(), report.size());
    if (written < 0) {
        return LastFailure();
    }
    return static_cast<std::size_t>(written) == report.size() ? 0 : kErrorGenFailure;
}

}  // namespace tolvane::hidraw
