// The demonstration build: the engine on a simulated target that behaves like a real one on the
// real clock (it re-enumerates into its boot loader, takes the image at a visible pace and comes
// back), with the real Windows services, so the real window receives its arrivals and removals.
#include "platform.h"
#include "program_engine.h"
#include "virtual_target.h"

namespace vandrel {
namespace {

tolvane::sim::VirtualTarget& DemoTarget() {
    static tolvane::sim::VirtualTarget target([] {
        tolvane::sim::VirtualTargetOptions options;
        options.paced = true;
        return options;
    }());
    return target;
}

}  // namespace

tolvane::DfuEngine& ProgramEngine() noexcept {
    static tolvane::DfuEngine engine(
        []() -> tolvane::HidBus& {
            tolvane::sim::VirtualTarget& target = DemoTarget();
            // Runs may follow one another for as long as the program is open: keep no bytes.
            target.transcript().setRecordReportBytes(false);
            return target.bus();
        }(),
        tolvane::platform::DefaultServices());
    return engine;
}

}  // namespace vandrel
