// Members of the one JSON object a run prints that belong to several devices: the simulated
// devices and the candidates of a refused guess.
#pragma once

#include "device_candidates.h"
#include "output/run_report.h"
#include "update/simulation.h"

#include <vector>

namespace tolvane::cli {

// [{"port":...,"memory_equals_image":...},...]
Json SimulatedDevicesJson(const std::vector<SimulatedDeviceCheck>& devices);

// [{"port":...,"serial":...,"vid":...,"pid":...,"boot_loader":...,"path":...},...]
Json CandidatesJson(const std::vector<DeviceCandidate>& candidates);

}  // namespace tolvane::cli
