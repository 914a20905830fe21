#include "tool/command_run.h"

#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "sys_error.h"

#include <span>

namespace tolvane::cli {

std::optional<int> CommandRun::startRecording(RecordSession& recording, HidBus*& bus,
                                              SystemServices*& services) {
    if (recording.replaying() && !WorksOnOneDevice(options_)) {
        return usageError(
            "--replay is for update (of one device), reset-to-isp, download and reset-to-ap");
    }
    const auto image =
        image_ ? std::span<const std::uint8_t>(image_->bytes) : std::span<const std::uint8_t>();
    std::string error;
    if (!recording.start(bus, services, image, error)) {
        // A file that is no recording is refused as bad data, one that cannot be read as such;
        // a recording that cannot be written is an output failure.
        if (recording.recordingMalformed()) {
            return refuse(kExitBadImage, "BAD_RECORDING", kErrorInvalidData, Printable(error));
        }
        if (!recording.replaying()) {
            return refuse(kExitOutputFailed, "RECORDING_FAILED", kErrorWriteFault,
                          Printable(error));
        }
        return refuse(kExitUnreadable, "RECORDING_UNREADABLE", kErrorInvalidParameter,
                      Printable(error));
    }
    if (recording.replaying()) {
        report_.extra["replayed"] = true;
        report_.extra["replay"] = *options_.record.replayPath;
    }
    recording_ = &recording;
    // A replay is of one device, so this is update or reset-to-isp.
    const bool needsIdentity = TraitsOf(options_.command).findsApplication;
    if (recording.replaying() && needsIdentity && (!options_.vid || !options_.pid)) {
        return usageError("--replay: the recording names no device; give --vid and --pid");
    }
    return std::nullopt;
}

void CommandRun::tellReplayed() {
    if (!options_.record.replayPath) return;
    say("Replayed from the recording " + Printable(*options_.record.replayPath) +
        ": no device took part.");
}

int CommandRun::recordingWritten(int exitCode) {
    if (!recording_) return exitCode;
    const auto failure = recording_->recordingFailure();
    if (!failure) return exitCode;
    io_.err << "tolvane: warning: " << *failure << '\n';
    report_.extra["recording_failed"] = *failure;
    return exitCode == kExitSuccess ? kExitOutputFailed : exitCode;
}

int CommandRun::replayMismatch(const std::string& mismatch) {
    return refuse(kExitReplayMismatch, "REPLAY_MISMATCH", kErrorInvalidParameter,
                  "the run differs from the recording at " + mismatch);
}

}  // namespace tolvane::cli
