// --record and --replay for one run: the recording's decorators put in place of the bus and the
// services (or the refusal when they cannot be), the replay judged after the command, and the
// recording's own failure told at the run's end.
#pragma once

#include "image/image_file.h"
#include "options/options.h"
#include "recording/record_session.h"
#include "tool/tool_report.h"

#include <optional>
#include <string>

namespace tolvane::cli {

class RecordingRun {
public:
    RecordingRun(const Options& options, ToolReport& tool);
    ~RecordingRun();
    RecordingRun(const RecordingRun&) = delete;
    RecordingRun& operator=(const RecordingRun&) = delete;

    bool replaying() const { return session_.replaying(); }

    // The decorators in place of `bus` and `services`, or the refusal's exit code when they
    // cannot be.
    std::optional<int> start(HidBus*& bus, SystemServices*& services, const FirmwareImage* image);

    // After a command: the refusal's exit code when the run differed from the recording.
    std::optional<int> refuseMismatch();
    // A replayed run's outcome says that no device took part: a line, and "replayed" in JSON.
    void tellReplayed();

private:
    const Options& options_;
    ToolReport& tool_;
    RecordSession session_;
};

}  // namespace tolvane::cli
