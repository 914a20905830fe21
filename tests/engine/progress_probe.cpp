#include "progress_probe.h"

namespace tolvane::test {

class ProgressProbeDevice final : public HidDevice {
public:
    ProgressProbeDevice(ProgressProbeBus& bus, std::unique_ptr<HidDevice> inner)
        : bus_(bus), inner_(std::move(inner)) {}

    SysError getAttributes(HidAttributes& attributes) override {
        return inner_->getAttributes(attributes);
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        return inner_->getCapabilities(caps);
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        if (bus_.engine_ != nullptr) bus_.seen_.push_back(bus_.engine_->GetPercentage());
        return inner_->setFeature(report);
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        return inner_->getFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        return inner_->writeOutput(report);
    }

private:
    ProgressProbeBus& bus_;
    std::unique_ptr<HidDevice> inner_;
};

std::unique_ptr<HidDevice> ProgressProbeBus::open(std::u16string_view path, DeviceAccess access,
                                                  SysError& error) {
    std::unique_ptr<HidDevice> device = inner_.open(path, access, error);
    if (!device) return nullptr;
    return std::make_unique<ProgressProbeDevice>(*this, std::move(device));
}

}  // namespace tolvane::test
