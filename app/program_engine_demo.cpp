// The demonstration build: the engine on a simulated target that behaves like a real one on the
// real clock (it re-enumerates into its boot loader, takes the image at a visible pace, takes a
// moment to leave the bus after the reset back and then returns), with the real Windows services,
// so the real window receives its arrivals and removals.
#include "platform.h"
#include "program_engine.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "transcript.h"
#include "virtual_target.h"

namespace vandrel {
namespace {

// How long the boot loader stays on the bus after its reset, as a real device does.
constexpr std::uint32_t kLeaveAfterResetMs = 600;

struct DemoWorld {
    tolvane::sim::RealTimeline timeline;
    tolvane::sim::Transcript transcript;
    tolvane::sim::SimBus bus{timeline, transcript};  // last: cancels its actions first

    DemoWorld() {
        // Runs may follow one another for as long as the program is open: keep no bytes.
        transcript.setRecordReportBytes(false);
        tolvane::sim::DeviceSpec config =
            tolvane::sim::VirtualTarget::specFor(tolvane::sim::VirtualTargetOptions{});
        config.leaveAfterResetMs = kLeaveAfterResetMs;
        bus.addDevice(config);
    }
};

}  // namespace

tolvane::DfuEngine& ProgramEngine() noexcept {
    static DemoWorld world;
    static tolvane::DfuEngine engine(world.bus, tolvane::platform::DefaultServices());
    return engine;
}

}  // namespace vandrel
