// The simulated auto-reset event: its waits run on the services' virtual clock.
#pragma once

#include "system_services.h"

#include <cstdint>
#include <memory>

namespace tolvane::sim {

class SimServices;

// A new event with this transcript handle; the caller has counted it as held.
std::unique_ptr<AutoResetEvent> MakeSimEvent(SimServices& services, std::uint32_t id);

}  // namespace tolvane::sim
