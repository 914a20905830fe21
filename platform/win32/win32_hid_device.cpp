#include "win32_hid_device.h"

#include "win32_error.h"

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
    // HidD_SetFeature takes a non-const buffer but only reads it.
    if (!HidD_SetFeature(handle_.get(), const_cast<std::uint8_t*>(report.data()),
                         static_cast<ULONG>(report.size()))) {
        return LastFailure();
    }
    return 0;
}

SysError Win32HidDevice::getFeature(std::span<std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!HidD_GetFeature(handle_.get(), report.data(), static_cast<ULONG>(report.size()))) {
        return LastFailure();
    }
    return 0;
}

SysError Win32HidDevice::writeOutput(std::span<const std::uint8_t> report) {
    if (!FitsReportLength(report.size())) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD written = 0;
    if (!WriteFile(handle_.get(), report.data(), static_cast<DWORD>(report.size()), &written,
                   nullptr)) {
        return LastFailure();
    }
    return 0;
}

}  // namespace tolvane::win32
