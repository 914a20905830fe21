#include "uhid_bridge.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace tolvane::uhid {

namespace {

using Bytes = std::vector<std::uint8_t>;

// The kernel turns any error of a reply into EIO for the caller.
constexpr std::uint16_t kReplyError = EIO;

// The buffer the model takes: the kernel's bytes, cut or padded to the report's length, as a
// device's control endpoint receives a transfer into a buffer of its report's size.
Bytes Fitted(const std::uint8_t* data, std::size_t size, std::uint16_t length) {
    Bytes report(std::max<std::size_t>(length, 1), 0);
    std::copy_n(data, std::min(size, report.size()), report.begin());
    return report;
}

}  // namespace

std::string PhysFor(const std::string& portChain) {
    return "usb-0000:00:14.0-" + portChain + "/input0";
}

UhidBridge::UhidBridge(const sim::DeviceSpec& spec, BridgeOptions options,
                       std::unique_ptr<UhidDevice> uhid)
    : options_(std::move(options)),
      spec_(spec),
      bus_(timeline_, transcript_),
      device_(bus_.addDevice(spec)),
      uhid_(std::move(uhid)) {
    if (options_.serial.empty()) options_.serial = "UHID-" + options_.portChain;
}

const sim::InterfaceSpec& UhidBridge::lengths() const {
    static const sim::InterfaceSpec none{};
    return shown_ ? spec_.identity(*shown_).interfaces.at(0) : none;
}

int UhidBridge::run(const volatile std::sig_atomic_t& stop) {
    auto event = std::make_unique<uhid_event>();
    while (stop == 0) {
        if (const int error = followIdentity()) return error;
        pollfd fd{uhid_->fd(), POLLIN, 0};
        if (::poll(&fd, 1, 10) <= 0) continue;
        while (uhid_->read(*event)) handle(*event);
    }
    handle_.reset();
    uhid_->destroy();
    return 0;
}

int UhidBridge::followIdentity() {
    const std::optional<sim::Mode> now = device_.mode();
    if (now == shown_) return 0;
    handle_.reset();
    uhid_->destroy();
    shown_ = now;
    if (!now) return 0;
    const sim::Identity& identity = spec_.identity(*now);
    SysError error = 0;
    handle_ = bus_.open(device_.pathOf(*now), DeviceAccess::ReadWrite, error);
    // The device side knows no transfer limit: a report the model holds is answered when the hold
    // ends, and the host sees the kernel's own limit.
    if (handle_) (void)handle_->setTransferLimit(kInfinite);
    const DescriptorShape shape =
        *now == sim::Mode::Application ? options_.application : DescriptorShape{};
    const Bytes descriptor = BuildReportDescriptor(identity.interfaces.at(0), shape);
    const DeviceIdentity kernelIdentity{
        .name = *now == sim::Mode::Application ? "Tolvane virtual target"
                                               : "Tolvane virtual target boot loader",
        .phys = PhysFor(options_.portChain),
        .uniq = options_.serial,
        .vendor = identity.vendorId,
        .product = identity.productId,
        .version = identity.versionNumber,
    };
    if (!handle_ || !uhid_->create(kernelIdentity, descriptor)) return errno != 0 ? errno : EIO;
    return 0;
}

void UhidBridge::handle(const uhid_event& event) {
    switch (event.type) {
        case UHID_SET_REPORT:
            onSetReport(event);
            break;
        case UHID_GET_REPORT:
            onGetReport(event);
            break;
        case UHID_OUTPUT:
            onOutput(event);
            break;
        default:
            break;  // start, stop, open, close: nothing to do
    }
}

bool UhidBridge::undeclared(std::uint8_t reportId, std::uint8_t rtype) const {
    if (shown_ != sim::Mode::Application) return reportId != 0;
    const DescriptorShape shape = options_.application;
    if (!shape.numbered && !shape.composite) return reportId != 0;
    switch (rtype) {
        case UHID_FEATURE_REPORT:
            return reportId != kVendorFeatureReportId;
        case UHID_OUTPUT_REPORT:
            return reportId != kVendorOutputReportId;
        default:
            return reportId != kVendorInputReportId &&
                   !(shape.composite && reportId == kKeyboardReportId);
    }
}

void UhidBridge::onSetReport(const uhid_event& event) {
    const auto& request = event.u.set_report;
    const std::size_t size = std::min<std::size_t>(request.size, sizeof request.data);
    if (!handle_) {
        uhid_->replySet(request.id, kReplyError);
        return;
    }
    // Firmware that numbers its reports acknowledges one it does not know and does nothing.
    if (undeclared(request.rnum, request.rtype)) {
        uhid_->replySet(request.id, 0);
        return;
    }
    if (request.rtype == UHID_OUTPUT_REPORT) {
        const Bytes report = Fitted(request.data, size, lengths().outputReportLength);
        uhid_->replySet(request.id, handle_->writeOutput(report) == 0 ? 0 : kReplyError);
        return;
    }
    Bytes report = Fitted(request.data, size, lengths().featureReportLength);
    report[0] = request.rnum;
    uhid_->replySet(request.id, handle_->setFeature(report) == 0 ? 0 : kReplyError);
}

void UhidBridge::onGetReport(const uhid_event& event) {
    const auto& request = event.u.get_report;
    if (!handle_ || undeclared(request.rnum, request.rtype)) {
        uhid_->replyGet(request.id, kReplyError, {});
        return;
    }
    if (request.rtype != UHID_FEATURE_REPORT) {
        Bytes report(std::max<std::uint16_t>(lengths().inputReportLength, 1), 0);
        report[0] = request.rnum;
        uhid_->replyGet(request.id, 0, report);
        return;
    }
    // The answer starts with the report ID, 0 for a device without IDs, as usbhid hands it over.
    Bytes report(std::max<std::uint16_t>(lengths().featureReportLength, 1), 0);
    report[0] = request.rnum;
    if (handle_->getFeature(report) != 0) {
        uhid_->replyGet(request.id, kReplyError, {});
        return;
    }
    uhid_->replyGet(request.id, 0, report);
}

void UhidBridge::onOutput(const uhid_event& event) {
    const auto& output = event.u.output;
    const std::size_t size = std::min<std::size_t>(output.size, sizeof output.data);
    if (!handle_ || size == 0 || undeclared(output.data[0], UHID_OUTPUT_REPORT)) return;
    (void)handle_->writeOutput(Fitted(output.data, size, lengths().outputReportLength));
}

}  // namespace tolvane::uhid
