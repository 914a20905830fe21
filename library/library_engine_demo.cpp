// The library's demonstration build, for tests of callers: the engine on a simulated target on
// the real clock (it re-enumerates into its boot loader and back within a fraction of a second)
// with this build's real system services, so the real hidden window receives its arrivals and
// removals.
#include "library_engine.h"
#include "platform.h"
#include "real_timeline.h"
#include "sim_bus.h"
#include "transcript.h"
#include "virtual_target.h"

namespace tolvane::library {
namespace {

constexpr std::uint32_t kReenumerationMs = 300;

struct DemoWorld {
    sim::RealTimeline timeline;
    sim::Transcript transcript;
    sim::SimBus bus{timeline, transcript};

    DemoWorld() {
        transcript.setRecordReportBytes(false);
        sim::VirtualTargetOptions options;
        options.reenumerationMs = kReenumerationMs;
        options.reportPaceMs = 0;
        bus.addDevice(sim::VirtualTarget::specFor(options));
    }
};

}  // namespace

tolvane::DfuEngine& LibraryEngine() noexcept {
    static NoDestroy<DemoWorld> world;
    static NoDestroy<tolvane::DfuEngine> engine(world.value.bus,
                                                tolvane::platform::DefaultServices());
    return engine.value;
}

}  // namespace tolvane::library
