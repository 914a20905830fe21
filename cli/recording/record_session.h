// What --record and --replay put between the engine and the system: the recording decorators
// around the bus and services the command would use, or the replaying ones in their place.
#pragma once

#include "hid_bus.h"
#include "options/options.h"
#include "options/record_options.h"
#include "system_services.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace tolvane::cli {

// --replay without --vid and --pid: the identity the recorded command looked for. False with
// `error` when the recording cannot be read.
bool TakeRecordedIdentity(Options& options, std::string& error);

// `tolvane [--json] [-q] show-recording [--json] [-q] FILE`: the recording as a timeline (see
// show_recording.cpp). IsShowRecording: the line's command is show-recording.
bool IsShowRecording(const std::vector<std::string>& args);
int ShowRecording(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

class RecordSession {
public:
    explicit RecordSession(const Options& options);
    ~RecordSession();
    RecordSession(const RecordSession&) = delete;
    RecordSession& operator=(const RecordSession&) = delete;

    // Opens the recording to write or to replay and puts the decorators in place of `bus` and
    // `services`. A recording on the virtual target's virtual clock takes its time. False with
    // `error` when the file cannot be written or is not a recording.
    bool start(HidBus*& bus, SystemServices*& services, std::span<const std::uint8_t> image,
               std::string& error);
    // After the run: the first call that differed from the recording, if any.
    std::optional<std::string> replayMismatch();
    // After the run: why the recording being written is not whole (a full disk), if it is not.
    std::optional<std::string> recordingFailure();
    bool replaying() const { return options_.record.replayPath.has_value(); }
    // start() failed because the file to replay is not a recording (rather than unreadable).
    bool recordingMalformed() const { return malformed_; }

private:
    struct Parts;
    const Options& options_;
    std::unique_ptr<Parts> parts_;
    bool malformed_ = false;
};

}  // namespace tolvane::cli
