// Runs one engine command (update, reset-to-isp, download, reset-to-ap) with the watcher on its
// own thread, the engine on a worker thread, and progress drawn by the calling thread meanwhile.
#pragma once

#include "dfu_engine.h"
#include "image/image_file.h"
#include "options/options.h"
#include "output/progress_display.h"
#include "packages/version_rule.h"
#include "system/interrupt_guard.h"
#include "update/device_steps.h"
#include "update/phase_clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tolvane::cli {

class TrackingHidBus;

// What a command sends: the image with its load address and expected checksum.
struct DownloadJob {
    const FirmwareImage* image = nullptr;
    std::uint32_t address = 0;
    std::uint32_t checksum = 0;
    std::string sha256;  // of the image's bytes, in lower-case hexadecimal
};

struct CommandOutcome {
    ResultCode code = 0;
    bool downloadStarted = false;   // the download was called
    bool downloadFinished = false;  // it sent every data report (success or a checksum mismatch)
    std::uint64_t bytesSent = 0;    // derived from the progress value
    std::optional<std::uint16_t> reportedChecksum;  // what the boot loader answered, if it did
    double seconds = 0;                             // the whole command, in real time
    // What the system said about a failed call beyond its number, read on the engine's thread.
    std::string nativeDetail;
    bool interrupted = false;  // an interrupt ended the command
    // update: the application's release number before, and of the application that came back.
    std::optional<std::uint16_t> versionBefore;
    std::optional<std::uint16_t> versionAfter;
    // update: the boot loader confirmed the image and left, but no application came back within
    // the wait (an interrupt that ended the wait does not count).
    bool applicationNotBack = false;
    bool skipped = false;  // --skip-current: the device runs the image's version already
    // A package whose version the device's may not take: nothing was sent.
    std::optional<VersionRefusal> versionRefused;
    PhaseTimes phases;
};

// What a command runs on and whom it tells.
struct CommandContext {
    HidBus& bus;
    SystemServices& services;
    ProgressDisplay& display;
    InterruptGuard& guard;
    // Read on the engine's thread right after a step failed (LastNativeErrorDetail).
    std::function<std::string()> nativeDetail;
    // Called on the calling thread when the first interrupt has been put off.
    std::function<void()> notice;
    // Called on the calling thread when an interrupt ends the command while the engine may still
    // be at work, with the outcome so far. It may end the process; when it returns, the command
    // waits for the engine's step to return and reports itself interrupted.
    std::function<void(const CommandOutcome& sofar)> abandon;
    // Where each device stands, by its --port, for a run with several devices; none when null.
    DeviceSteps* steps = nullptr;
    // Whether another tool process held the device at a port; none when null.
    std::function<bool(const std::string& port)> heldElsewhere{};
    // The run's tracking layer of the bus, which tells the phase clock of each report written;
    // without one the command's phases stay unknown.
    TrackingHidBus* writes = nullptr;
};

CommandOutcome RunEngineCommand(Command command, const Options& options, const DownloadJob& job,
                                const CommandContext& context);

}  // namespace tolvane::cli
