#include "device_candidates.h"

#include "interface_acceptance.h"
#include "interface_walk.h"
#include "port_order.h"

#include <algorithm>

namespace tolvane {

CandidateSearch FindCandidates(HidBus& bus, std::uint16_t vendorId, std::uint16_t productId) {
    CandidateSearch search;
    const std::unique_ptr<HidInterfaceList> list = bus.listInterfaces();
    if (!list) {
        search.error = kErrorGenFailure;
        return search;
    }
    WalkInterfaces(*list, [&](const std::u16string& path) {
        SysError error = 0;
        const std::unique_ptr<HidDevice> device = bus.open(path, DeviceAccess::None, error);
        if (!device) return true;
        const std::optional<AcceptedInterface> accepted = ReadIfAccepted(
            *device,
            SoughtIdentity{.vendorId = vendorId, .productId = productId, .bootLoaders = true});
        if (!accepted) return true;
        DeviceCandidate candidate;
        candidate.path = path;
        candidate.vendorId = accepted->attributes.vendorId;
        candidate.productId = accepted->attributes.productId;
        candidate.bootLoader = IsBootLoaderIdentity(accepted->attributes);
        if (bus.portOf(path, candidate.port) != 0) candidate.port.clear();
        if (device->getSerialNumber(candidate.serial) != 0) candidate.serial.clear();
        search.candidates.push_back(std::move(candidate));
        return true;
    });
    std::stable_sort(search.candidates.begin(), search.candidates.end(),
                     [](const auto& a, const auto& b) { return PortLess(a.port, b.port); });
    return search;
}

std::vector<std::string> CandidatePorts(const std::vector<DeviceCandidate>& candidates) {
    std::vector<std::string> ports;
    for (const DeviceCandidate& candidate : candidates) {
        if (std::find(ports.begin(), ports.end(), candidate.port) == ports.end()) {
            ports.push_back(candidate.port);
        }
    }
    std::stable_sort(ports.begin(), ports.end(),
                     [](const auto& a, const auto& b) { return PortLess(a, b); });
    return ports;
}

std::size_t CountDevices(const std::vector<DeviceCandidate>& candidates) {
    std::size_t count = 0;
    std::vector<std::uint32_t> portlessIdentities;
    for (const std::string& port : CandidatePorts(candidates)) {
        if (!port.empty()) ++count;
    }
    for (const DeviceCandidate& candidate : candidates) {
        const std::uint32_t identity =
            static_cast<std::uint32_t>(candidate.vendorId) << 16 | candidate.productId;
        if (candidate.port.empty() &&
            std::find(portlessIdentities.begin(), portlessIdentities.end(), identity) ==
                portlessIdentities.end()) {
            portlessIdentities.push_back(identity);
        }
    }
    return count + portlessIdentities.size();
}

}  // namespace tolvane
