// Runs one engine command (update, reset-to-isp, download, reset-to-ap) with the watcher on its
// own thread, the engine on a worker thread, and progress drawn by the calling thread meanwhile.
#pragma once

#include "dfu_engine.h"
#include "image_file.h"
#include "options.h"
#include "progress_display.h"

#include <cstdint>
#include <optional>

namespace tolvane::cli {

// What a command sends: the image with its load address and expected checksum.
struct DownloadJob {
    const FirmwareImage* image = nullptr;
    std::uint32_t address = 0;
    std::uint32_t checksum = 0;
};

struct CommandOutcome {
    ResultCode code = 0;
    bool downloadStarted = false;   // the download was called
    bool downloadFinished = false;  // it sent every data report (success or a checksum mismatch)
    std::uint64_t bytesSent = 0;    // derived from the progress value
    std::optional<std::uint16_t> reportedChecksum;  // what the boot loader answered, if it did
    double seconds = 0;                             // the whole command, in real time
};

CommandOutcome RunEngineCommand(Command command, const Options& options, const DownloadJob& job,
                                HidBus& bus, SystemServices& services, ProgressDisplay& display);

}  // namespace tolvane::cli
