#include "replay_hid_bus.h"

#include "recording_hid_bus.h"

#include <algorithm>

namespace tolvane::record {
namespace {

class ReplayDevice final : public HidDevice {
public:
    ReplayDevice(ReplayScript& script, std::uint64_t number) : script_(script), number_(number) {}
    ~ReplayDevice() override { script_.expect(line("close")); }
    ReplayDevice(const ReplayDevice&) = delete;
    ReplayDevice& operator=(const ReplayDevice&) = delete;

    SysError getAttributes(HidAttributes& attributes) override {
        const auto recorded = script_.expect(line("attributes"));
        const SysError error = RecordedError(recorded);
        if (error == 0) {
            attributes.vendorId = Narrow(recorded->numberOf("vid"));
            attributes.productId = Narrow(recorded->numberOf("pid"));
            attributes.versionNumber = Narrow(recorded->numberOf("ver"));
        }
        return error;
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        const auto recorded = script_.expect(line("caps"));
        const SysError error = RecordedError(recorded);
        if (error == 0) {
            caps.inputReportByteLength = Narrow(recorded->numberOf("in"));
            caps.outputReportByteLength = Narrow(recorded->numberOf("out"));
            caps.featureReportByteLength = Narrow(recorded->numberOf("feature"));
        }
        return error;
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        return RecordedError(script_.expect(line("set"), report));
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        return RecordedError(script_.expect(line("out"), report));
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        RecordLine asked = line("get");
        asked.number("n", report.size()).number("id", report.empty() ? 0 : report[0]);
        const auto recorded = script_.expect(asked);
        const SysError error = RecordedError(recorded);
        if (error == 0) {
            const auto bytes = recorded->bytesOf("x").value_or(std::vector<std::uint8_t>{});
            std::ranges::fill(report, 0);
            std::copy_n(bytes.begin(), std::min(bytes.size(), report.size()), report.begin());
        }
        return error;
    }
    SysError getSerialNumber(std::u16string& serial) override {
        const auto recorded = script_.expect(line("serial"));
        const SysError error = RecordedError(recorded);
        serial = error == 0 ? recorded->wideTextOf("serial") : std::u16string();
        return error;
    }

private:
    static std::uint16_t Narrow(std::optional<std::uint64_t> value) {
        return static_cast<std::uint16_t>(value.value_or(0));
    }
    RecordLine line(std::string_view op) const {
        RecordLine out(op);
        out.number("d", number_);
        return out;
    }

    ReplayScript& script_;
    std::uint64_t number_;
};

class ReplayList final : public HidInterfaceList {
public:
    explicit ReplayList(ReplayScript& script) : script_(script) {}

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        const auto recorded = script_.expect(RecordLine("path").number("i", index));
        path.clear();
        // A run that has left its recording is over: the list ends here, so that no search walks
        // on through indices the recording never held.
        if (!recorded) return InterfaceLookup::End;
        const std::string lookup = recorded->textOf("lookup").value_or("");
        if (lookup == LookupName(InterfaceLookup::Found)) {
            path = recorded->wideTextOf("path");
            return InterfaceLookup::Found;
        }
        return lookup == LookupName(InterfaceLookup::End) ? InterfaceLookup::End
                                                          : InterfaceLookup::Failed;
    }

private:
    ReplayScript& script_;
};

class ReplayRegistration final : public NotificationRegistration {
public:
    explicit ReplayRegistration(ReplayScript& script) : script_(script) {}
    SysError unregister() override {
        return RecordedError(script_.expect(RecordLine("unregister")));
    }

private:
    ReplayScript& script_;
};

}  // namespace

SysError RecordedError(const std::optional<RecordLine>& recorded) {
    if (!recorded) return kErrorGenFailure;
    return static_cast<SysError>(recorded->numberOf("e").value_or(0));
}

std::unique_ptr<HidInterfaceList> ReplayHidBus::listInterfaces() {
    const auto recorded = script_.expect(RecordLine("list"));
    if (!recorded || recorded->raw("ok") != "true") return nullptr;
    return std::make_unique<ReplayList>(script_);
}

std::unique_ptr<HidDevice> ReplayHidBus::open(std::u16string_view path, DeviceAccess access,
                                              SysError& error) {
    const auto recorded =
        script_.expect(RecordLine("open").text("path", path).text("access", AccessName(access)));
    error = RecordedError(recorded);
    const auto number = recorded ? recorded->numberOf("d") : std::nullopt;
    if (!number) {
        if (error == 0 && !recorded) error = kErrorGenFailure;
        return nullptr;
    }
    return std::make_unique<ReplayDevice>(script_, *number);
}

void ReplayHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    script_.expect(RecordLine("install_wait").number("ms", timeoutMs));
}

std::unique_ptr<NotificationRegistration> ReplayHidBus::registerNotifications(NotifyWindow& window,
                                                                              SysError& error) {
    (void)window;
    const auto recorded = script_.expect(RecordLine("register"));
    error = RecordedError(recorded);
    if (!recorded || recorded->raw("ok") != "true") return nullptr;
    return std::make_unique<ReplayRegistration>(script_);
}

SysError ReplayHidBus::portOf(std::u16string_view path, std::string& port) {
    const auto recorded = script_.lookup(RecordLine("port").text("path", path));
    const SysError error = RecordedError(recorded);
    port = error == 0 ? recorded->textOf("port").value_or("") : std::string();
    return error;
}

}  // namespace tolvane::record
