#include "tool/recording_run.h"

#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "sys_error.h"

#include <span>

namespace tolvane::cli {

RecordingRun::RecordingRun(const Options& options, ToolReport& tool)
    : options_(options), tool_(tool), session_(options) {}

// The report tells a recording's failure only while the recording is there to ask.
RecordingRun::~RecordingRun() {
    tool_.attachRecording(nullptr);
}

std::optional<int> RecordingRun::start(HidBus*& bus, SystemServices*& services,
                                       const FirmwareImage* image) {
    if (session_.replaying() && !WorksOnOneDevice(options_)) {
        return tool_.usageError(
            "--replay is for update (of one device), reset-to-isp, download and reset-to-ap");
    }
    const auto bytes =
        image ? std::span<const std::uint8_t>(image->bytes) : std::span<const std::uint8_t>();
    std::string error;
    if (!session_.start(bus, services, bytes, error)) {
        // A file that is no recording is refused as bad data, one that cannot be read as such;
        // a recording that cannot be written is an output failure.
        if (session_.recordingMalformed()) {
            return tool_.refuse(kExitBadImage, "BAD_RECORDING", kErrorInvalidData,
                                Printable(error));
        }
        if (!session_.replaying()) {
            return tool_.refuse(kExitOutputFailed, "RECORDING_FAILED", kErrorWriteFault,
                                Printable(error));
        }
        return tool_.refuse(kExitUnreadable, "RECORDING_UNREADABLE", kErrorInvalidParameter,
                            Printable(error));
    }
    if (session_.replaying()) {
        tool_.report().extra["replayed"] = true;
        tool_.report().extra["replay"] = *options_.record.replayPath;
    }
    tool_.attachRecording(&session_);
    // A replay is of one device, so this is update or reset-to-isp.
    const bool needsIdentity = TraitsOf(options_.command).findsApplication;
    if (session_.replaying() && needsIdentity && (!options_.vid || !options_.pid)) {
        return tool_.usageError("--replay: the recording names no device; give --vid and --pid");
    }
    return std::nullopt;
}

std::optional<int> RecordingRun::refuseMismatch() {
    const auto mismatch = session_.replayMismatch();
    if (!mismatch) return std::nullopt;
    return tool_.refuse(kExitReplayMismatch, "REPLAY_MISMATCH", kErrorInvalidParameter,
                        "the run differs from the recording at " + *mismatch);
}

void RecordingRun::tellReplayed() {
    if (!options_.record.replayPath) return;
    tool_.say("Replayed from the recording " + Printable(*options_.record.replayPath) +
              ": no device took part.");
}

}  // namespace tolvane::cli
