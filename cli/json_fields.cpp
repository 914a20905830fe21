#include "json_fields.h"

#include "device_list.h"
#include "result_message.h"
#include "run_report.h"

namespace tolvane::cli {

std::string WithJsonMembers(std::string object, const std::string& members) {
    const std::size_t end = object.rfind('}');
    if (end == std::string::npos || members.empty()) return object;
    object.insert(end, members);
    return object;
}

std::string SimulatedDevicesMember(const std::vector<SimulatedDeviceCheck>& devices) {
    std::string json = ",\"simulated_devices\":[";
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (i != 0) json += ',';
        json += "{\"port\":" + JsonString(devices[i].port) +
                ",\"memory_equals_image\":" + (devices[i].memoryEqualsImage ? "true" : "false") +
                "}";
    }
    return json + "]";
}

std::string CandidatesMember(const std::vector<DeviceCandidate>& candidates) {
    std::string json = ",\"candidates\":[";
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const DeviceCandidate& candidate = candidates[i];
        if (i != 0) json += ',';
        json += "{\"port\":" + JsonString(candidate.port);
        json += ",\"serial\":" + JsonString(ToUtf8(candidate.serial));
        json += ",\"vid\":" + std::to_string(candidate.vendorId);
        json += ",\"pid\":" + std::to_string(candidate.productId);
        json += ",\"boot_loader\":" + std::string(candidate.bootLoader ? "true" : "false");
        json += ",\"path\":" + JsonString(ToUtf8(candidate.path)) + "}";
    }
    return json + "]";
}

}  // namespace tolvane::cli
