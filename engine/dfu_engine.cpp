#include "dfu_engine.h"

namespace tolvane {

DfuEngine::DfuEngine(HidBus& bus, SystemServices& services) noexcept
    : bus_(bus), services_(services) {}

// The registration goes before the window it refers to, and both before the event.
DfuEngine::~DfuEngine() {
    state_.notifyHandle.reset();
    state_.notifyWindow.reset();
    state_.changeEvent.reset();
}

std::uint32_t DfuEngine::GetPercentage() const noexcept {
    return state_.percentage.load();
}

void DfuEngine::onDeviceChange(const DeviceChangeMessage& message) {
    DeviceChangeProc(message);
}

}  // namespace tolvane
