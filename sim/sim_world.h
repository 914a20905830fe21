// A whole simulated world for tests: transcript, simulated services on the virtual clock, the
// simulated bus on that clock, and an engine bound to both.
//
//   SimWorld world;
//   SimDevice& device = world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
//   EXPECT_TRUE(world.engine.FindHidDevice(0x5C3B, 0x0326));
//   EXPECT_EQ(world.held(), Held{.deviceHandles = 1});
#pragma once

#include "dfu_engine.h"
#include "held.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "transcript.h"

namespace tolvane::sim {

struct SimWorld {
    Transcript transcript;
    SimServices services{transcript};
    SimBus bus{services.timeline(), transcript};
    DfuEngine engine{bus, services};

    VirtualTimeline& clock() { return services.timeline(); }
    std::uint64_t nowMs() { return services.nowMs(); }
    // Everything the bus and the services still hold.
    Held held() const { return bus.held() + services.held(); }
};

}  // namespace tolvane::sim
