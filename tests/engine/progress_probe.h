// A bus in front of another that notes the engine's progress value each time a report goes out,
// so that a test can see the value left by the report before it.
#pragma once

#include "dfu_engine.h"
#include "forwarding_hid_bus.h"

#include <cstdint>
#include <vector>

namespace tolvane::test {

class ProgressProbeBus final : public ForwardingHidBus {
public:
    explicit ProgressProbeBus(HidBus& inner) : ForwardingHidBus(inner) {}
    void watch(const DfuEngine& engine) { engine_ = &engine; }
    // The progress value seen at each feature report sent, in order.
    const std::vector<std::uint32_t>& seen() const { return seen_; }

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;

private:
    friend class ProgressProbeDevice;
    const DfuEngine* engine_ = nullptr;
    std::vector<std::uint32_t> seen_;
};

}  // namespace tolvane::test
