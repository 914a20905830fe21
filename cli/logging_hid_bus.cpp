#include "logging_hid_bus.h"

#include "result_message.h"
#include "text_format.h"

#include <utility>

namespace tolvane::cli {
namespace {

std::string Outcome(SysError error) {
    return error == 0 ? "ok" : "error " + std::to_string(error);
}

// "#3": the opened devices are numbered so that their lines can be told apart.
std::string DeviceName(int number) {
    std::string name(1, '#');
    name += std::to_string(number);
    return name;
}

class LoggingHidDevice final : public HidDevice {
public:
    LoggingHidDevice(std::unique_ptr<HidDevice> inner, ReportLog& log, int number)
        : inner_(std::move(inner)), log_(log), number_(number) {}
    ~LoggingHidDevice() override { log_.write(name() + "close"); }
    LoggingHidDevice(const LoggingHidDevice&) = delete;
    LoggingHidDevice& operator=(const LoggingHidDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override {
        const SysError error = inner_->getAttributes(attributes);
        log_.write(name() + "attributes: " +
                   (error == 0 ? "vid " + Hex(attributes.vendorId, 4) + " pid " +
                                     Hex(attributes.productId, 4)
                               : Outcome(error)));
        return error;
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        const SysError error = inner_->getCapabilities(caps);
        log_.write(name() + "capabilities: " +
                   (error == 0 ? "input " + std::to_string(caps.inputReportByteLength) +
                                     ", output " + std::to_string(caps.outputReportByteLength) +
                                     ", feature " + std::to_string(caps.featureReportByteLength)
                               : Outcome(error)));
        return error;
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        const SysError error = inner_->setFeature(report);
        log_.write(name() + "set feature  -> " + HexBytes(report) + "  " + Outcome(error));
        return error;
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        const SysError error = inner_->getFeature(report);
        log_.write(name() + "get feature  <- " + (error == 0 ? HexBytes(report) : Outcome(error)));
        return error;
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        const SysError error = inner_->writeOutput(report);
        log_.write(name() + "write output -> " + HexBytes(report) + "  " + Outcome(error));
        return error;
    }
    SysError getSerialNumber(std::u16string& serial) override {
        return inner_->getSerialNumber(serial);
    }

private:
    std::string name() const { return DeviceName(number_) + ' '; }

    std::unique_ptr<HidDevice> inner_;
    ReportLog& log_;
    int number_;
};

}  // namespace

std::unique_ptr<HidInterfaceList> LoggingHidBus::listInterfaces() {
    // Searches list the interfaces often; the opens that follow are what is worth reading.
    return inner_.listInterfaces();
}

std::unique_ptr<HidDevice> LoggingHidBus::open(std::u16string_view path, DeviceAccess access,
                                               SysError& error) {
    auto device = inner_.open(path, access, error);
    const std::string mode = access == DeviceAccess::ReadWrite ? "read-write" : "query";
    if (!device) {
        log_.write("open " + ToUtf8(path) + " (" + mode + "): " + Outcome(error));
        return device;
    }
    const int number = ++opened_;
    log_.write(DeviceName(number) + " open " + ToUtf8(path) + " (" + mode + ")");
    return std::make_unique<LoggingHidDevice>(std::move(device), log_, number);
}

SysError LoggingHidBus::portOf(std::u16string_view path, std::string& port) {
    return inner_.portOf(path, port);
}

void LoggingHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    inner_.waitNoPendingInstallEvents(timeoutMs);
    log_.write("waited for pending installations" +
               (timeoutMs == kInfinite ? std::string()
                                       : " (at most " + std::to_string(timeoutMs) + " ms)"));
}

std::unique_ptr<NotificationRegistration> LoggingHidBus::registerNotifications(NotifyWindow& window,
                                                                               SysError& error) {
    auto registration = inner_.registerNotifications(window, error);
    log_.write("register for interface notifications: " + Outcome(error));
    return registration;
}

}  // namespace tolvane::cli
