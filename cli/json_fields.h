// Extra members for the one JSON object a run prints: the arrays of the multi-device commands.
#pragma once

#include "device_candidates.h"
#include "simulation.h"

#include <string>
#include <vector>

namespace tolvane::cli {

// `object` (one JSON object) with `members` (",\"name\":value..." or empty) before its last '}'.
std::string WithJsonMembers(std::string object, const std::string& members);

// ",\"simulated_devices\":[{\"port\":...,\"memory_equals_image\":...},...]"
std::string SimulatedDevicesMember(const std::vector<SimulatedDeviceCheck>& devices);

// ",\"candidates\":[{\"port\":...,\"serial\":...,\"vid\":...,\"pid\":...,...},...]"
std::string CandidatesMember(const std::vector<DeviceCandidate>& candidates);

}  // namespace tolvane::cli
