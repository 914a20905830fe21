#include "tool/run_devices.h"

namespace tolvane::cli {

CommandContext EngineContext(const RunDevices& devices, ProgressDisplay& display,
                             RunInterrupts& interrupts, const ToolPlatform& platform,
                             EngineShare share) {
    CommandContext context{
        devices.bus,
        devices.services,
        display,
        interrupts.guard(),
        platform.nativeErrorDetail,
        [&interrupts] { interrupts.tellPutOff(); },
        [&interrupts](const CommandOutcome& sofar) { interrupts.abandon(sofar); },
        nullptr,
        {},
        &devices.tracked};
    if (share == EngineShare::WithOthers) {
        context.abandon = [&interrupts](const CommandOutcome& sofar) {
            interrupts.abandonOnce(sofar);
        };
        context.steps = &interrupts.deviceSteps();
        context.heldElsewhere = [locks = devices.locks](const std::string& port) {
            return locks != nullptr && locks->busyAt(port);
        };
    }
    return context;
}

}  // namespace tolvane::cli
