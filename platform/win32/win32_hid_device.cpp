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

SysError Win32HidDevice::setFeature(std::span<const std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run([&]() -> SysError {
        // HidD_SetFeature takes a non-const buffer but only reads it.
        if (!HidD_SetFeature(handle_.get(), const_cast<std::uint8_t*>(report.data()),
                             static_cast<ULONG>(report.size()))) {
            return LastFailure();
        }
        return 0;
    });
}

SysError Win32HidDevice::getFeature(std::span<std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run([&]() -> SysError {
        if (!HidD_GetFeature(handle_.get(), report.data(), static_cast<ULONG>(report.size()))) {
            return LastFailure();
        }
        return 0;
    });
}

SysError Win32HidDevice::writeOutput(std::span<const std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    return watchdog_.run([&]() -> SysError {
        DWORD written = 0;
        if (!WriteFile(handle_.get(), report.data(), static_cast<DWORD>(report.size()), &written,
                       nullptr)) {
            return LastFailure();
        }
        return 0;
    });
}

SysError Win32HidDevice::getSerialNumber(std::u16string& serial) {
    serial.clear();
    // A USB string descriptor holds at most 126 UTF-16 units; one more for the terminator.
    wchar_t text[127] = {};
    const SysError error = watchdog_.run([&]() -> SysError {
        if (!HidD_GetSerialNumberString(handle_.get(), text, sizeof(text) - sizeof(wchar_t))) {
            return LastFailure();
        }
        return 0;
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
