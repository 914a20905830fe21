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

std::uint32_t DfuEngine::BytesSent() const noexcept {
    return state_.bytesSent.load();
}

void DfuEngine::ScopeToPort(std::string port) {
    scope_.confineTo(std::move(port));
}

// A scoped engine's window hears of every device; the changes elsewhere are not its device's.
void DfuEngine::onDeviceChange(const DeviceChangeMessage& message) {
    try {
        if (!scope_.admitsChange(bus_, message)) return;
    } catch (...) {
        return;  // no memory to remember a path: the change cannot be told to be ours
    }
    DeviceChangeProc(message);
}

}  // namespace tolvane
