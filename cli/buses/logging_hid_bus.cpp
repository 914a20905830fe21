#include "buses/logging_hid_bus.h"

#include "output/text_format.h"
#include "text.h"

#include <utility>

namespace tolvane::cli {
namespace {

using NativeDetail = std::function<std::string()>;

// "ok", or "error 5" followed by what the system said beyond the number when it is known.
std::string Outcome(SysError error, const NativeDetail& nativeDetail) {
    if (error == 0) return "ok";
    std::string text = "error " + std::to_string(error);
    if (nativeDetail) {
        const std::string detail = nativeDetail();
        if (!detail.empty()) text += " [" + detail + "]";
    }
    return text;
}

// "#3": the opened devices are numbered so that their lines can be told apart.
std::string DeviceName(int number) {
    std::string name(1, '#');
    name += std::to_string(number);
    return name;
}

class LoggingHidDevice final : public ForwardingHidDevice {
public:
    LoggingHidDevice(std::unique_ptr<HidDevice> inner, ReportLog& log, int number,
                     NativeDetail nativeDetail)
        : ForwardingHidDevice(std::move(inner)),
          log_(log),
          number_(number),
          nativeDetail_(std::move(nativeDetail)) {}
    ~LoggingHidDevice() override { log_.write(name() + "close"); }
    LoggingHidDevice(const LoggingHidDevice&) = delete;
    LoggingHidDevice& operator=(const LoggingHidDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override {
        const SysError error = inner().getAttributes(attributes);
        log_.write(name() + "attributes: " +
                   (error == 0 ? "vid " + Hex(attributes.vendorId, 4) + " pid " +
                                     Hex(attributes.productId, 4)
                               : Outcome(error, nativeDetail_)));
        return error;
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        const SysError error = inner().getCapabilities(caps);
        log_.write(name() + "capabilities: " +
                   (error == 0 ? "input " + std::to_string(caps.inputReportByteLength) +
                                     ", output " + std::to_string(caps.outputReportByteLength) +
                                     ", feature " + std::to_string(caps.featureReportByteLength)
                               : Outcome(error, nativeDetail_)));
        return error;
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        const SysError error = inner().setFeature(report);
        log_.write(name() + "set feature  -> " + HexBytes(report) + "  " +
                   Outcome(error, nativeDetail_));
        return error;
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        const SysError error = inner().getFeature(report);
        log_.write(name() + "get feature  <- " +
                   (error == 0 ? HexBytes(report) : Outcome(error, nativeDetail_)));
        return error;
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        const SysError error = inner().writeOutput(report);
        log_.write(name() + "write output -> " + HexBytes(report) + "  " +
                   Outcome(error, nativeDetail_));
        return error;
    }
    SysError getSerialNumber(std::u16string& serial) override {
        const SysError error = inner().getSerialNumber(serial);
        std::string line = name() + "serial number: ";
        if (error == 0) {
            line += '"';
            line += ToUtf8(serial);
            line += '"';
        } else {
            line += Outcome(error, nativeDetail_);
        }
        log_.write(line);
        return error;
    }

private:
    std::string name() const { return DeviceName(number_) + ' '; }

    ReportLog& log_;
    int number_;
    NativeDetail nativeDetail_;
};

}  // namespace

std::unique_ptr<HidDevice> LoggingHidBus::open(std::u16string_view path, DeviceAccess access,
                                               SysError& error) {
    auto device = inner().open(path, access, error);
    const std::string mode = access == DeviceAccess::ReadWrite ? "read-write" : "query";
    if (!device) {
        log_.write("open " + ToUtf8(path) + " (" + mode + "): " + Outcome(error, nativeDetail_));
        return device;
    }
    const int number = ++opened_;
    log_.write(DeviceName(number) + " open " + ToUtf8(path) + " (" + mode + ")");
    return std::make_unique<LoggingHidDevice>(std::move(device), log_, number, nativeDetail_);
}

void LoggingHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    inner().waitNoPendingInstallEvents(timeoutMs);
    log_.write("waited for pending installations" +
               (timeoutMs == kInfinite ? std::string()
                                       : " (at most " + std::to_string(timeoutMs) + " ms)"));
}

std::unique_ptr<NotificationRegistration> LoggingHidBus::registerNotifications(NotifyWindow& window,
                                                                               SysError& error) {
    auto registration = inner().registerNotifications(window, error);
    log_.write("register for interface notifications: " + Outcome(error, nativeDetail_));
    return registration;
}

SysError LoggingHidBus::portOf(std::u16string_view path, std::string& port) {
    const SysError error = inner().portOf(path, port);
    log_.write(
        "port of " + ToUtf8(path) + ": " +
        (error == 0 ? (port.empty() ? std::string("none") : port) : Outcome(error, nativeDetail_)));
    return error;
}

}  // namespace tolvane::cli
