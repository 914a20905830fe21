#include "update/json_fields.h"

#include "text.h"

namespace tolvane::cli {

Json SimulatedDevicesJson(const std::vector<SimulatedDeviceCheck>& devices) {
    Json array = Json::array();
    for (const SimulatedDeviceCheck& device : devices) {
        Json item;
        item["port"] = device.port;
        item["memory_equals_image"] = device.memoryEqualsImage;
        array.push_back(std::move(item));
    }
    return array;
}

Json CandidatesJson(const std::vector<DeviceCandidate>& candidates) {
    Json array = Json::array();
    for (const DeviceCandidate& candidate : candidates) {
        Json item;
        item["port"] = candidate.port;
        item["serial"] = ToUtf8(candidate.serial);
        item["vid"] = candidate.vendorId;
        item["pid"] = candidate.productId;
        item["boot_loader"] = candidate.bootLoader;
        item["path"] = ToUtf8(candidate.path);
        array.push_back(std::move(item));
    }
    return array;
}

}  // namespace tolvane::cli
