// The demonstration build: the engine on a simulated target that behaves like a real one on the
// real clock (it re-enumerates into its boot loader, takes the image at a visible pace, takes a
// moment to leave the bus after the reset back and then returns), with the real Windows services,
// so the real window receives its arrivals and removals. Its command line may shape the target
// (demo_target.h); a command line it does not understand is told in a box, and the usual target
// is used.
#include "demo_target.h"
#include "platform.h"
#include "program_engine.h"
#include "real_timeline.h"
#include "scaled_services.h"
#include "sim_bus.h"
#include "transcript.h"

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace vandrel {
namespace {

// How long the boot loader stays on the bus after its reset, as a real device does.
constexpr std::uint32_t kLeaveAfterResetMs = 600;

struct LocalFreeDeleter {
    void operator()(LPWSTR* arguments) const noexcept { ::LocalFree(arguments); }
};

DemoOptions OptionsFromCommandLine() {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
        ::CommandLineToArgvW(::GetCommandLineW(), &count));
    std::vector<std::u16string> arguments;
    for (int i = 1; argv && i < count; ++i) {
        const std::wstring argument(argv.get()[i]);
        arguments.emplace_back(argument.begin(), argument.end());
    }
    DemoOptions options = ParseDemoOptions(arguments);
    if (!options.error.empty()) {
        const std::wstring text(options.error.begin(), options.error.end());
        ::MessageBoxW(nullptr, text.c_str(), L"Vandrel demonstration", MB_OK | MB_ICONWARNING);
        options = DemoOptions{};
    }
    return options;
}

struct DemoWorld {
    DemoOptions options = OptionsFromCommandLine();
    tolvane::sim::RealTimeline timeline;
    tolvane::sim::Transcript transcript;
    tolvane::sim::SimBus bus{timeline,
                             transcript};  // after the timeline: cancels its actions first
    ScaledServices services{tolvane::platform::DefaultServices(), options.timeScale};

    DemoWorld() {
        // Runs may follow one another for as long as the program is open: keep no bytes.
        transcript.setRecordReportBytes(false);
        bus.addDevice(DemoTargetSpec(options.shape, kLeaveAfterResetMs));
    }
};

}  // namespace

tolvane::DfuEngine& ProgramEngine() noexcept {
    static DemoWorld world;
    static tolvane::DfuEngine engine(world.bus, world.services);
    return engine;
}

}  // namespace vandrel
