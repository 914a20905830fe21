#include "win32_hid_device.h"

#include "wide_text.h"
#include "win32_error.h"

#include <cwchar>
#include <limits>

namespace tolvane::win32 {
namespace {

// HID report lengths are ULONG; a longer span cannot be a report of this interface.
bool FitsReportLength(std::size_t size) noexcept {
    return size <= std::numeric_limits<ULONG>::max();
}

}  // namespace

SysError Win32HidDevice::getAttributes(HidAttributes& attributes) {
    HIDD_ATTRIBUTES record{};
    record.Size = sizeof(record);
    if (!HidD_GetAttributes(handle_.get(), &record)) {
        return LastFailure();
    }
    attributes.vendorId = record.VendorID;
    attributes.productId = record.ProductID;
    attributes.versionNumber = record.VersionNumber;
    return 0;
}

SysError Win32HidDevice::getCapabilities(HidCapabilities& capabilities) {
    PHIDP_PREPARSED_DATA raw = nullptr;
    if (!HidD_GetPreparsedData(handle_.get(), &raw)) {
        return LastFailure();
    }
    const UniquePreparsedData preparsed(raw);
    HIDP_CAPS caps{};
    if (HidP_GetCaps(preparsed.get(), &caps) != HIDP_STATUS_SUCCESS) {
        // HidP_GetCaps reports a HID status, not a last-error value: its only failure is
        // preparsed data it cannot read.
        return ERROR_INVALID_DATA;
    }
    capabilities.inputReportByteLength = caps.InputReportByteLength;
    capabilities.outputReportByteLength = caps.OutputReportByteLength;
    capabilities.featureReportByteLength = caps.FeatureReportByteLength;
    return 0;
}

// The report goes in the input buffer, as HidD_SetFeature passes it.
SysError Win32HidDevice::setFeature(std::span<const std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run(handle_.get(), "HidD_SetFeature", [&](OVERLAPPED* overlapped) {
        return DeviceIoControl(handle_.get(), IOCTL_HID_SET_FEATURE,
                               const_cast<std::uint8_t*>(report.data()),
                               static_cast<DWORD>(report.size()), nullptr, 0, nullptr, overlapped);
    });
}

// The requested report identifier goes in with byte 0; the device's report comes back in the
// same buffer.
SysError Win32HidDevice::getFeature(std::span<std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run(handle_.get(), "HidD_GetFeature", [&](OVERLAPPED* overlapped) {
        return DeviceIoControl(handle_.get(), IOCTL_HID_GET_FEATURE, report.data(),
                               static_cast<DWORD>(report.size()), report.data(),
                               static_cast<DWORD>(report.size()), nullptr, overlapped);
    });
}

SysError Win32HidDevice::writeOutput(std::span<const std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run(handle_.get(), "WriteFile", [&](OVERLAPPED* overlapped) {
        return WriteFile(handle_.get(), report.data(), static_cast<DWORD>(report.size()), nullptr,
                         overlapped);
    });
}

SysError Win32HidDevice::setTransferLimit(std::uint32_t limitMs) {
    watchdog_.setLimit(limitMs);
    return 0;
}

SysError Win32HidDevice::getSerialNumber(std::u16string& serial) {
    serial.clear();
    // A USB string descriptor holds at most 126 UTF-16 units; one more for the terminator.
    wchar_t text[127] = {};
    const SysError error =
        watchdog_.run(handle_.get(), "HidD_GetSerialNumberString", [&](OVERLAPPED* overlapped) {
            return DeviceIoControl(handle_.get(), IOCTL_HID_GET_SERIALNUMBER_STRING, nullptr, 0,
                                   text, sizeof(text) - sizeof(wchar_t), nullptr, overlapped);
        });
    switch (error) {
        case 0:
            serial = FromWide({text, wcsnlen(text, std::size(text))});
            return 0;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_INVALID_HANDLE:
        case ERROR_OPERATION_ABORTED:
        case ERROR_TIMEOUT:
            return error;
        default:
            return 0;
    }
}

}  // namespace tolvane::win32
