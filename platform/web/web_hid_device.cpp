#include "web_hid_device.h"

#include "web_js.h"

#include <algorithm>

namespace tolvane::web {

WebHidDevice::WebHidDevice(std::uint32_t number, ReportLayout layout, bool opened)
    : number_(number), layout_(std::move(layout)), opened_(opened) {}

WebHidDevice::~WebHidDevice() {
    if (opened_) js::Close(number_);
}

SysError WebHidDevice::getAttributes(HidAttributes& attributes) {
    if (!js::IsPresent(number_)) return kErrorDeviceNotConnected;
    // WebHID tells no release number.
    attributes = HidAttributes{layout_.vendorId, layout_.productId, 0};
    return 0;
}

SysError WebHidDevice::getCapabilities(HidCapabilities& capabilities) {
    if (!js::IsPresent(number_)) return kErrorDeviceNotConnected;
    capabilities = layout_.capabilities();
    return 0;
}

SysError WebHidDevice::setFeature(std::span<const std::uint8_t> report) {
    if (const SysError refused = CheckReport(layout_.feature, report, false)) return refused;
    if (!opened_) return js::IsPresent(number_) ? kErrorAccessDenied : kErrorDeviceNotConnected;
    const auto* own = layout_.feature.find(report[0]);
    // The report's own length goes, as the descriptor gives it.
    const std::span<const std::uint8_t> data =
        report.subspan(1, std::min<std::size_t>(own->bytes, report.size() - 1));
    std::size_t ignored = 0;
    return js::Transfer(js::TransferKind::SendFeature, number_, report[0], data, {}, ignored);
}

SysError WebHidDevice::getFeature(std::span<std::uint8_t> report) {
    if (const SysError refused = CheckReport(layout_.feature, report, false)) return refused;
    if (!opened_) return js::IsPresent(number_) ? kErrorAccessDenied : kErrorDeviceNotConnected;
    const std::uint8_t id = report[0];
    // With identifiers WebHID hands the report with its identifier first; without, it leaves
    // identifier 0 out: put it back.
    const std::span<std::uint8_t> into = layout_.usesIds() ? report : report.subspan(1);
    std::size_t received = 0;
    const SysError error =
        js::Transfer(js::TransferKind::ReceiveFeature, number_, id, {}, into, received);
    if (error != 0) return error;
    std::fill(into.begin() + static_cast<std::ptrdiff_t>(std::min(received, into.size())),
              into.end(), std::uint8_t{0});
    report[0] = id;
    return 0;
}

SysError WebHidDevice::writeOutput(std::span<const std::uint8_t> report) {
    if (const SysError refused = CheckReport(layout_.output, report, true)) return refused;
    if (!opened_) return js::IsPresent(number_) ? kErrorAccessDenied : kErrorDeviceNotConnected;
    const auto* own = layout_.output.find(report[0]);
    const std::span<const std::uint8_t> data =
        report.subspan(1, std::min<std::size_t>(own->bytes, report.size() - 1));
    std::size_t ignored = 0;
    return js::Transfer(js::TransferKind::SendOutput, number_, report[0], data, {}, ignored);
}

}  // namespace tolvane::web
