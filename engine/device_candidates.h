// Which devices an update could pick: application devices with the given identifiers and boot
// loaders, each with its port, so that a caller can refuse to guess when there are several and
// name them.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

struct DeviceCandidate {
    std::u16string path{};
    std::string port{};  // empty when the bus cannot tell
    std::u16string serial{};
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool bootLoader = false;
};

struct CandidateSearch {
    SysError error = 0;                       // kErrorGenFailure when the bus gave no list
    std::vector<DeviceCandidate> candidates;  // in port order, then enumeration order
};

// Every interface that the engine's search would accept for `vendorId`:`productId` or as a boot
// loader: its identifiers match and it has feature reports. Opened without access rights only.
CandidateSearch FindCandidates(HidBus& bus, std::uint16_t vendorId, std::uint16_t productId);

// The distinct ports of the candidates, in port order ("" once for those whose port is unknown).
std::vector<std::string> CandidatePorts(const std::vector<DeviceCandidate>& candidates);
// How many physical devices the candidates are: candidates at one port are one device (its
// interfaces, or its two identities). Where the bus cannot tell ports, the interfaces of one
// identity are taken for one device, so that a backend without ports never splits a device with
// several collections into several.
std::size_t CountDevices(const std::vector<DeviceCandidate>& candidates);

}  // namespace tolvane
