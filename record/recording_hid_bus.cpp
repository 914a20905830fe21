#include "recording_hid_bus.h"

#include "recording_services.h"

#include <utility>

namespace tolvane::record {
namespace {

// The system error, written only when there is one.
RecordLine& WithError(RecordLine& line, SysError error) {
    if (error != 0) line.number("e", error);
    return line;
}

class RecordingDevice final : public ForwardingHidDevice {
public:
    RecordingDevice(std::unique_ptr<HidDevice> inner, Recorder& recorder, std::uint32_t number)
        : ForwardingHidDevice(std::move(inner)), recorder_(recorder), number_(number) {}
    ~RecordingDevice() override {
        closeInner();
        recorder_.write(line("close"));
    }
    RecordingDevice(const RecordingDevice&) = delete;
    RecordingDevice& operator=(const RecordingDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override {
        const std::uint64_t at = recorder_.offsetUs();
        const SysError error = inner().getAttributes(attributes);
        RecordLine out = line("attributes");
        if (error == 0) {
            out.number("vid", attributes.vendorId)
                .number("pid", attributes.productId)
                .number("ver", attributes.versionNumber);
        }
        recorder_.write(WithError(out, error), at);
        return error;
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        const std::uint64_t at = recorder_.offsetUs();
        const SysError error = inner().getCapabilities(caps);
        RecordLine out = line("caps");
        if (error == 0) {
            out.number("in", caps.inputReportByteLength)
                .number("out", caps.outputReportByteLength)
                .number("feature", caps.featureReportByteLength);
        }
        recorder_.write(WithError(out, error), at);
        return error;
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        const std::uint64_t at = recorder_.offsetUs();
        return sent("set", report, inner().setFeature(report), at);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        const std::uint64_t at = recorder_.offsetUs();
        return sent("out", report, inner().writeOutput(report), at);
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        const std::uint64_t at = recorder_.offsetUs();
        RecordLine out = line("get");
        out.number("n", report.size()).number("id", report.empty() ? 0 : report[0]);
        const SysError error = inner().getFeature(report);
        if (error == 0) out.bytes("x", report);
        recorder_.write(WithError(out, error), at);
        return error;
    }
    SysError getSerialNumber(std::u16string& serial) override {
        const std::uint64_t at = recorder_.offsetUs();
        const SysError error = inner().getSerialNumber(serial);
        RecordLine out = line("serial");
        if (error == 0) out.text("serial", serial);
        recorder_.write(WithError(out, error), at);
        return error;
    }

private:
    RecordLine line(std::string_view op) const {
        RecordLine out(op);
        out.number("d", number_);
        return out;
    }
    SysError sent(std::string_view op, std::span<const std::uint8_t> report, SysError error,
                  std::uint64_t at) {
        RecordLine out = line(op);
        recorder_.addSent(out, report);
        recorder_.write(WithError(out, error), at);
        return error;
    }

    Recorder& recorder_;
    std::uint32_t number_;
};

class RecordingList final : public HidInterfaceList {
public:
    RecordingList(std::unique_ptr<HidInterfaceList> inner, Recorder& recorder)
        : inner_(std::move(inner)), recorder_(recorder) {}

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        const std::uint64_t at = recorder_.offsetUs();
        const InterfaceLookup lookup = inner_->interfacePath(index, path);
        RecordLine out("path");
        out.number("i", index).text("lookup", LookupName(lookup));
        if (lookup == InterfaceLookup::Found) out.text("path", path);
        recorder_.write(out, at);
        return lookup;
    }

private:
    std::unique_ptr<HidInterfaceList> inner_;
    Recorder& recorder_;
};

class RecordingRegistration final : public NotificationRegistration {
public:
    RecordingRegistration(std::unique_ptr<NotificationRegistration> inner, Recorder& recorder)
        : inner_(std::move(inner)), recorder_(recorder) {}

    SysError unregister() override {
        const SysError error = inner_->unregister();
        RecordLine out("unregister");
        recorder_.write(WithError(out, error));
        return error;
    }

private:
    std::unique_ptr<NotificationRegistration> inner_;
    Recorder& recorder_;
};

}  // namespace

const char* AccessName(DeviceAccess access) {
    return access == DeviceAccess::ReadWrite ? "read-write" : "query";
}

const char* LookupName(InterfaceLookup lookup) {
    switch (lookup) {
        case InterfaceLookup::Found:
            return "found";
        case InterfaceLookup::End:
            return "end";
        case InterfaceLookup::Failed:
            break;
    }
    return "failed";
}

std::unique_ptr<HidInterfaceList> RecordingHidBus::listInterfaces() {
    const std::uint64_t at = recorder_.offsetUs();
    auto list = inner().listInterfaces();
    recorder_.write(RecordLine("list").flag("ok", list != nullptr), at);
    if (!list) return list;
    return std::make_unique<RecordingList>(std::move(list), recorder_);
}

std::unique_ptr<HidDevice> RecordingHidBus::open(std::u16string_view path, DeviceAccess access,
                                                 SysError& error) {
    const std::uint64_t at = recorder_.offsetUs();
    auto device = inner().open(path, access, error);
    RecordLine out("open");
    out.text("path", path).text("access", AccessName(access));
    if (!device) {
        recorder_.write(WithError(out.flag("ok", false), error), at);
        return device;
    }
    const std::uint32_t number = recorder_.nextDevice();
    recorder_.write(out.number("d", number), at);
    return std::make_unique<RecordingDevice>(std::move(device), recorder_, number);
}

void RecordingHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    const std::uint64_t at = recorder_.offsetUs();
    inner().waitNoPendingInstallEvents(timeoutMs);
    const std::uint64_t took = recorder_.offsetUs() - at;
    recorder_.write(RecordLine("install_wait").number("ms", timeoutMs).number("us", took), at);
}

std::unique_ptr<NotificationRegistration> RecordingHidBus::registerNotifications(
    NotifyWindow& window, SysError& error) {
    const std::uint64_t at = recorder_.offsetUs();
    auto registration = inner().registerNotifications(UnwrappedWindow(window), error);
    RecordLine out("register");
    out.flag("ok", registration != nullptr);
    recorder_.write(WithError(out, error), at);
    if (!registration) return registration;
    return std::make_unique<RecordingRegistration>(std::move(registration), recorder_);
}

SysError RecordingHidBus::portOf(std::u16string_view path, std::string& port) {
    const std::uint64_t at = recorder_.offsetUs();
    const SysError error = inner().portOf(path, port);
    RecordLine out("port");
    out.text("path", path);
    if (error == 0) out.text("port", port);
    recorder_.write(WithError(out, error), at);
    return error;
}

}  // namespace tolvane::record
