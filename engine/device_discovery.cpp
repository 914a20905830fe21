// Finding and opening a HID interface by its identifiers.
#include "dfu_engine.h"
#include "interface_acceptance.h"
#include "interface_walk.h"

#include <new>

namespace tolvane {

namespace {

std::uint8_t LowByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

bool DfuEngine::FindHidDevice(std::uint16_t vendorId, std::uint16_t productId) noexcept {
    TargetDevice& target = state_.target;
    target.vendorId = vendorId;
    target.productId = productId;
    target.handle.reset();
    target.featureReportLength = 0;

    try {
        const std::unique_ptr<HidInterfaceList> list = bus_.listInterfaces();
        if (!list) {
            return false;
        }
        // The walk stops at the first interface taken.
        return !WalkInterfaces(*list, [&](const std::u16string& path) {
            if (!scope_.admits(bus_, path)) {
                return true;
            }
            SysError error = 0;
            std::unique_ptr<HidDevice> device = bus_.open(path, DeviceAccess::ReadWrite, error);
            if (!device) {
                device = bus_.open(path, DeviceAccess::None, error);
            }
            if (!device) {
                return true;
            }
            const std::optional<AcceptedInterface> accepted = ReadIfAccepted(
                *device, SoughtIdentity{.vendorId = vendorId, .productId = productId});
            if (!accepted) {
                return true;
            }
            const HidCapabilities& caps = accepted->capabilities;
            // A path that does not fit keeps its first units, as the fixed record would.
            target.devicePath = path.substr(0, DEVICE_PATH_CAPACITY - 1);
            target.featureReportLength = LowByte(caps.featureReportByteLength);
            target.inputReportLength = LowByte(caps.inputReportByteLength);
            target.outputReportLength = LowByte(caps.outputReportByteLength);
            target.handle = std::move(device);
            return false;
        });
    } catch (...) {
        // Out of memory for a path: the search fails and everything it held is released.
        target.handle.reset();
        target.featureReportLength = 0;
        return false;
    }
}

bool DfuEngine::findBootLoader() noexcept {
    return FindHidDevice(DFU_VENDOR_ID, DFU_PRODUCT_ID_1) ||
           FindHidDevice(DFU_VENDOR_ID, DFU_PRODUCT_ID_2);
}

void DfuEngine::CloseTarget() noexcept {
    state_.target.handle.reset();
}

}  // namespace tolvane
