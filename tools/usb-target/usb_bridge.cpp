#include "usb_bridge.h"

#include "hid_function_descriptors.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

namespace tolvane::usb {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kClassToInterface = 0x21;       // OUT, class, interface
constexpr std::uint8_t kClassFromInterface = 0xA1;     // IN, class, interface
constexpr std::uint8_t kStandardFromInterface = 0x81;  // IN, standard, interface
constexpr std::uint8_t kGetDescriptor = 0x06;
constexpr std::uint8_t kSetIdle = 0x0A;
constexpr std::uint8_t kSetProtocol = 0x0B;
constexpr std::uint8_t kHidDescriptorType = 0x21;
constexpr std::uint8_t kReportDescriptorType = 0x22;
// The pause between unbinding and binding again, so the host has seen the device leave.
constexpr auto kUnbindPause = std::chrono::milliseconds(150);

// The buffer the model takes: the bytes cut or padded to the report's length.
Bytes Fitted(const Bytes& data, std::uint16_t length) {
    Bytes report(std::max<std::size_t>(length, 1), 0);
    std::copy_n(data.begin(), std::min(data.size(), report.size()), report.begin());
    return report;
}

std::string InstanceFor(const std::string& udc) {
    std::string name = "tolvane_";
    for (const char c : udc) name.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
    return name;
}

}  // namespace

UsbBridge::UsbBridge(const sim::DeviceSpec& spec, UsbBridgeOptions options)
    : options_(std::move(options)),
      spec_(spec),
      bus_(timeline_, transcript_),
      device_(bus_.addDevice(spec)),
      instance_(InstanceFor(options_.udc)) {
    if (options_.serial.empty()) {
        const std::size_t dot = options_.udc.rfind('.');
        options_.serial =
            "USB-" + (dot == std::string::npos ? options_.udc : options_.udc.substr(dot + 1));
    }
}

UsbBridge::~UsbBridge() {
    handle_.reset();
    if (gadget_) gadget_->unbind();
    ep0_.reset();
    mount_.reset();
    gadget_.reset();
}

const sim::InterfaceSpec& UsbBridge::lengths() const {
    static const sim::InterfaceSpec none{};
    return shown_ ? spec_.identity(*shown_).interfaces.at(0) : none;
}

void UsbBridge::log(const char* format, ...) const {
    std::va_list args;
    va_start(args, format);
    std::fprintf(stderr, "tolvane-usb-target[%s]: ", options_.udc.c_str());
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

std::string UsbBridge::run(const volatile std::sig_atomic_t& stop) {
    stop_ = &stop;
    while (stop == 0) {
        if (std::string error = followIdentity(); !error.empty()) return error;
        if (!ep0_) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        pollfd fd{ep0_->fd(), POLLIN, 0};
        if (::poll(&fd, 1, 10) <= 0) continue;
        while (stop == 0) {
            const auto event = ep0_->nextEvent();
            if (!event) break;
            handle(*event);
        }
    }
    return {};
}

std::string UsbBridge::openFunction(const Bytes& reportDescriptor) {
    ep0_.reset();
    std::string error;
    ep0_ = Ep0::Open(*mount_,
                     HidFunctionDescriptors(static_cast<std::uint16_t>(reportDescriptor.size())),
                     NoFunctionStrings(), error);
    if (ep0_) reportDescriptor_ = reportDescriptor;
    return error;
}

std::string UsbBridge::followIdentity() {
    const std::optional<sim::Mode> now = device_.mode();
    if (now == shown_ && gadget_) return {};
    const bool wasBound = gadget_ && gadget_->bound();
    handle_.reset();
    if (gadget_) gadget_->unbind();
    shown_ = now;
    const sim::Identity& identity = spec_.identity(now.value_or(sim::Mode::Application));
    GadgetIdentity gadgetIdentity{
        .vendorId = identity.vendorId,
        .productId = identity.productId,
        .releaseNumber = identity.versionNumber,
        .product = now == sim::Mode::BootLoader ? "Tolvane virtual target boot loader"
                                                : "Tolvane virtual target",
        .serial = options_.serial,
    };
    std::string error;
    if (!gadget_) {
        gadget_ = ConfigfsGadget::Make("tolvane-" + options_.udc, instance_, gadgetIdentity, error);
        if (!gadget_) return error;
        mount_ = FunctionFsMount::Make(instance_, "/run/tolvane-usb-target/" + instance_, error);
        if (!mount_) return error;
    }
    if (!now) return {};
    SysError openError = 0;
    handle_ = bus_.open(device_.pathOf(*now), DeviceAccess::ReadWrite, openError);
    // The model's own release number: an application may come back from a download with another.
    HidAttributes attributes;
    if (handle_ && handle_->getAttributes(attributes) == 0) {
        gadgetIdentity.releaseNumber = attributes.versionNumber;
    }
    if (!gadget_->setIdentity(gadgetIdentity)) return "cannot change the gadget's identity";
    const uhid::DescriptorShape shape =
        *now == sim::Mode::Application ? options_.application : uhid::DescriptorShape{};
    const Bytes descriptor = uhid::BuildReportDescriptor(identity.interfaces.at(0), shape);
    // The HID descriptor names the report descriptor's length: a new length needs the function's
    // descriptors written anew, which FunctionFS takes only on a fresh open of ep0.
    if (!ep0_ || descriptor != reportDescriptor_) {
        if (std::string failed = openFunction(descriptor); !failed.empty()) return failed;
    }
    if (wasBound) std::this_thread::sleep_for(kUnbindPause);
    if (!gadget_->bind(options_.udc)) {
        return "cannot bind the gadget to " + options_.udc + ": " + std::strerror(errno);
    }
    log("%s %04X:%04X release %04X", *now == sim::Mode::BootLoader ? "boot loader" : "application",
        gadgetIdentity.vendorId, gadgetIdentity.productId, gadgetIdentity.releaseNumber);
    return {};
}

void UsbBridge::handle(const usb_functionfs_event& event) {
    if (event.type == FUNCTIONFS_SETUP) onSetup(SetupOf(event));
    // Bind, unbind, enable, disable, suspend, resume: nothing to do.
}

bool UsbBridge::undeclared(std::uint8_t reportId, std::uint8_t type) const {
    const uhid::DescriptorShape shape = options_.application;
    if (shown_ != sim::Mode::Application || (!shape.numbered && !shape.composite)) {
        return reportId != 0;
    }
    switch (type) {
        case kReportTypeFeature:
            return reportId != uhid::kVendorFeatureReportId;
        case kReportTypeOutput:
            return reportId != uhid::kVendorOutputReportId;
        default:
            return reportId != uhid::kVendorInputReportId &&
                   !(shape.composite && reportId == uhid::kKeyboardReportId);
    }
}

bool UsbBridge::holdFor(std::uint32_t delayMs) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
    while (*stop_ == 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return *stop_ == 0;
}

void UsbBridge::onSetup(const SetupPacket& setup) {
    const std::uint8_t type = static_cast<std::uint8_t>(setup.value >> 8);
    const std::uint8_t id = static_cast<std::uint8_t>(setup.value & 0xFF);
    if (setup.requestType == kStandardFromInterface && setup.request == kGetDescriptor) {
        if (type == kReportDescriptorType) {
            Bytes descriptor = reportDescriptor_;
            descriptor.resize(std::min<std::size_t>(setup.length, descriptor.size()));
            (void)ep0_->answer(descriptor, *stop_);
        } else if (type == kHidDescriptorType) {
            Bytes hid = HidClassDescriptor(static_cast<std::uint16_t>(reportDescriptor_.size()));
            hid.resize(std::min<std::size_t>(setup.length, hid.size()));
            (void)ep0_->answer(hid, *stop_);
        } else {
            ep0_->stall(setup);
        }
        return;
    }
    const bool report = (setup.requestType == kClassFromInterface && setup.request == kGetReport) ||
                        (setup.requestType == kClassToInterface && setup.request == kSetReport);
    if (!report || !shown_ || !handle_) {
        // SET_IDLE and SET_PROTOCOL are acknowledged; anything else is not understood.
        Bytes none;
        const bool acknowledged = setup.requestType == kClassToInterface &&
                                  (setup.request == kSetIdle || setup.request == kSetProtocol);
        if (acknowledged) {
            (void)ep0_->takeData(0, none, *stop_);
        } else {
            ep0_->stall(setup);
        }
        return;
    }
    const UsbReportKind kind = ClassifyReport(*shown_, setup.request, type, device_.memory());
    if (const auto rule = options_.rules.strike(kind, device_.memory())) {
        if (rule->action == RuleAction::Stall) {
            log("stalled %s report %02X (%s)", setup.in() ? "GET" : "SET", id,
                UsbReportKindName(kind));
            ep0_->stall(setup);
            return;
        }
        log("answering %s report %02X (%s) %u ms late", setup.in() ? "GET" : "SET", id,
            UsbReportKindName(kind), static_cast<unsigned>(rule->delayMs));
        // A device switched off while it holds a request answers nothing more.
        if (!holdFor(rule->delayMs)) return;
    }
    if (setup.in()) {
        onGetReport(setup, type, id);
    } else {
        onSetReport(setup, type, id);
    }
}

void UsbBridge::onGetReport(const SetupPacket& setup, std::uint8_t type, std::uint8_t id) {
    if (undeclared(id, type)) {
        ep0_->stall(setup);
        return;
    }
    const std::uint16_t length =
        type == kReportTypeFeature ? lengths().featureReportLength : lengths().inputReportLength;
    Bytes report(std::max<std::uint16_t>(length, 1), 0);
    report[0] = id;
    if (type == kReportTypeFeature && handle_->getFeature(report) != 0) {
        ep0_->stall(setup);
        return;
    }
    // On the wire a report travels with its ID byte only when the device numbers its reports.
    const auto first = report.begin() + (id == 0 ? 1 : 0);
    Bytes wire(first, first + std::min<std::ptrdiff_t>(report.end() - first, setup.length));
    if (const int error = ep0_->answer(wire, *stop_); error != 0) {
        log("GET report %02X: the host did not take the answer: %s", id, std::strerror(error));
    }
}

void UsbBridge::onSetReport(const SetupPacket& setup, std::uint8_t type, std::uint8_t id) {
    Bytes data;
    if (const int error = ep0_->takeData(setup.length, data, *stop_); error != 0) {
        log("SET report %02X: the host did not send its data: %s", id, std::strerror(error));
        return;
    }
    // Firmware that numbers its reports acknowledges one it does not know and does nothing.
    if (undeclared(id, type) || (type != kReportTypeFeature && type != kReportTypeOutput)) return;
    if (id == 0) data.insert(data.begin(), 0);
    const bool feature = type == kReportTypeFeature;
    Bytes report =
        Fitted(data, feature ? lengths().featureReportLength : lengths().outputReportLength);
    report[0] = id;
    const SysError error = feature ? handle_->setFeature(report) : handle_->writeOutput(report);
    // The data is acknowledged already: a refusal can no longer reach the host.
    if (error != 0) log("SET report %02X: the device model refused it (%u)", id, error);
}

}  // namespace tolvane::usb
