#include "hidraw_device.h"

#include "errno_error.h"
#include "report_descriptor.h"
#include "text.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

namespace tolvane::hidraw {

std::uint32_t DescriptorRequestLength(int reportedSize) noexcept {
    return static_cast<std::uint32_t>(std::clamp(reportedSize, 0, HID_MAX_DESCRIPTOR_SIZE - 1));
}

HidrawDevice HidrawDevice::WithoutAccess(HidrawDeviceSite site, int refusal) noexcept {
    HidrawDevice device(posix::UniqueFd{}, std::move(site));
    device.refusal_ = refusal;
    return device;
}

SysError HidrawDevice::refused() const noexcept {
    return NoteFailure(kErrorAccessDenied, refusal_);
}

SysError HidrawDevice::getAttributes(HidAttributes& attributes) {
    if (!fd_) {
        const auto id = site_.sysfs.hidIdOf(site_.nodeName);
        if (!id) {
            return NoteFailure(kErrorDeviceNotConnected, 0);
        }
        attributes.vendorId = id->vendorId;
        attributes.productId = id->productId;
    } else {
        hidraw_devinfo info{};
        if (::ioctl(fd_.get(), HIDIOCGRAWINFO, &info) < 0) {
            return LastFailure();
        }
        attributes.vendorId = static_cast<std::uint16_t>(info.vendor);
        attributes.productId = static_cast<std::uint16_t>(info.product);
    }
    attributes.versionNumber =
        site_.nodeName.empty() ? 0 : site_.sysfs.usbReleaseNumberOf(site_.nodeName);
    return 0;
}

SysError HidrawDevice::readDescriptor(std::vector<std::uint8_t>& bytes) {
    // sysfs first: it has the whole descriptor, where the ioctl stops at 4095 bytes.
    if (!site_.nodeName.empty()) {
        if (auto fromSysfs = site_.sysfs.reportDescriptorOf(site_.nodeName)) {
            bytes = std::move(*fromSysfs);
            return 0;
        }
    }
    if (!fd_) {
        return NoteFailure(kErrorDeviceNotConnected, 0);
    }
    int size = 0;
    if (::ioctl(fd_.get(), HIDIOCGRDESCSIZE, &size) < 0) {
        return LastFailure();
    }
    const auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = DescriptorRequestLength(size);
    if (::ioctl(fd_.get(), HIDIOCGRDESC, descriptor.get()) < 0) {
        return LastFailure();
    }
    bytes.assign(descriptor->value, descriptor->value + descriptor->size);
    return 0;
}

SysError HidrawDevice::loadReports() {
    if (reports_) {
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    if (const SysError error = readDescriptor(bytes)) {
        return error;
    }
    auto collections = ReportsByCollection(bytes);
    // The interface's collection must still be there: a node number taken over by another
    // device with fewer collections names nothing.
    const std::size_t index = site_.collection == 0 ? 0 : site_.collection - 1;
    if (!collections || index >= collections->size()) {
        return NoteFailure(kErrorGenFailure, 0);
    }
    reports_ = std::move((*collections)[index]);
    return 0;
}

SysError HidrawDevice::getCapabilities(HidCapabilities& capabilities) {
    if (const SysError error = loadReports()) {
        return error;
    }
    capabilities = reports_->lengths;
    return 0;
}

SysError HidrawDevice::checkReport(ReportType type, std::span<const std::uint8_t> report) {
    // A descriptor that cannot be read leaves the kernel to judge, as before.
    if (loadReports() != 0) {
        return 0;
    }
    const SysError refusal = RefusalOf(*reports_, type, report);
    return refusal != 0 ? NoteFailure(refusal, 0) : 0;
}

SysError HidrawDevice::setFeature(std::span<const std::uint8_t> report) {
    if (report.empty()) {
        return NoteFailure(kErrorInvalidParameter, 0);
    }
    if (!fd_) {
        return refused();
    }
    if (const SysError refusal = checkReport(ReportType::Feature, report)) {
        return refusal;
    }
    // The kernel reads the buffer only; the request code carries the length.
    if (::ioctl(fd_.get(), HIDIOCSFEATURE(report.size()), report.data()) < 0) {
        return LastFailure();
    }
    return 0;
}

SysError HidrawDevice::getFeature(std::span<std::uint8_t> report) {
    if (report.empty()) {
        return NoteFailure(kErrorInvalidParameter, 0);
    }
    if (!fd_) {
        return refused();
    }
    if (const SysError refusal = checkReport(ReportType::Feature, report)) {
        return refusal;
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
        return NoteFailure(kErrorInvalidParameter, 0);
    }
    if (!fd_) {
        return refused();
    }
    if (const SysError refusal = checkReport(ReportType::Output, report)) {
        return refusal;
    }
    const ssize_t written = ::write(fd_.get(), report.data(), report.size());
    if (written < 0) {
        return LastFailure();
    }
    return static_cast<std::size_t>(written) == report.size() ? 0
                                                              : NoteFailure(kErrorGenFailure, 0);
}

SysError HidrawDevice::getSerialNumber(std::u16string& serial) {
    serial.clear();
    const auto unique = site_.sysfs.uniqueIdOf(site_.nodeName);
    if (!unique) {
        return NoteFailure(kErrorDeviceNotConnected, 0);
    }
    serial = FromUtf8(*unique);
    return 0;
}

}  // namespace tolvane::hidraw
