// The program's one process-wide engine, in static storage, bound to the platform of this build:
// the real HID bus and services (Vandrel.exe), or the simulated target with the real services
// (VandrelDemo.exe).
#pragma once

#include "dfu_engine.h"

namespace vandrel {

tolvane::DfuEngine& ProgramEngine() noexcept;

}  // namespace vandrel
