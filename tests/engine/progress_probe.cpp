#include "progress_probe.h"

namespace tolvane::test {

class ProgressProbeDevice final : public ForwardingHidDevice {
public:
    ProgressProbeDevice(ProgressProbeBus& bus, std::unique_ptr<HidDevice> inner)
        : ForwardingHidDevice(std::move(inner)), bus_(bus) {}

    SysError setFeature(std::span<const std::uint8_t> report) override {
        if (bus_.engine_ != nullptr) bus_.seen_.push_back(bus_.engine_->GetPercentage());
        return inner().setFeature(report);
    }

private:
    ProgressProbeBus& bus_;
};

std::unique_ptr<HidDevice> ProgressProbeBus::open(std::u16string_view path, DeviceAccess access,
                                                  SysError& error) {
    std::unique_ptr<HidDevice> device = inner().open(path, access, error);
    if (!device) return nullptr;
    return std::make_unique<ProgressProbeDevice>(*this, std::move(device));
}

}  // namespace tolvane::test
