// Recording asked for from the environment, for a program that links the library: when
// TOLVANE_RECORD names a file, the process's engine talks to the system through recording
// decorators that write to it, so an integrator's program leaves a recording without a code change.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

namespace tolvane::record {

struct EngineSeams {
    HidBus& bus;
    SystemServices& services;
};

inline constexpr const char* kRecordVariable = "TOLVANE_RECORD";

// The seams the process's engine is to use: `bus` and `services` as they are, or wrapped by a
// recording into the file TOLVANE_RECORD names (TOLVANE_RECORD_FULL=1: data reports whole). Called
// once per process; the recording lives as long as the process, each line written when it happens.
// A file that cannot be written leaves the seams as they are.
EngineSeams SeamsFromEnvironment(HidBus& bus, SystemServices& services, const char* tool) noexcept;

}  // namespace tolvane::record
