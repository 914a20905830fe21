// A recording read back for replay: the calls in their order, matched one by one against what a
// run asks, and a virtual clock that follows the recorded times. The first call that differs (other
// values or bytes, another operation, a call too many) is kept as the mismatch; from then on every
// call is refused, so the run ends soon. A recorded call left over at the end is a mismatch too.
#pragma once

#include "record_line.h"
#include "virtual_timeline.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolvane::record {

// Lines that tell what happened on other threads (notifications, signals): shown by a reader of the
// recording, never matched on replay, since their order against the run's calls is not fixed.
bool IsNoticeLine(const RecordLine& line);

// A device's port is a fact of its path, asked on whichever thread needs it (the watcher's among
// them): answered from any recorded line for that path, never matched in order.
bool IsLookupLine(const RecordLine& line);

// A recording read whole: its header and its call lines. Nothing and `error` when the text is not a
// recording.
struct Recording {
    RecordLine header;
    std::vector<RecordLine> lines;
};
std::optional<Recording> ReadRecording(std::istream& in, std::string& error);

class ReplayScript {
public:
    explicit ReplayScript(Recording recording);
    ReplayScript(const ReplayScript&) = delete;
    ReplayScript& operator=(const ReplayScript&) = delete;

    // Matches the next recorded call against `asked` (its operation and every field it carries),
    // and `sent` against the recorded bytes or their hash. On a match the clock moves to the
    // recorded moment and the recorded line is returned; otherwise nothing.
    std::optional<RecordLine> expect(const RecordLine& asked,
                                     std::optional<std::span<const std::uint8_t>> sent = {});
    // The recorded answer to a lookup (see IsLookupLine) whose fields equal `asked`'s, wherever it
    // stands; nothing, and the mismatch kept, when the recording holds none.
    std::optional<RecordLine> lookup(const RecordLine& asked);
    // Called once the run is over: a recorded call not asked for is a mismatch.
    void finish();

    // The first mismatch, as a message naming the call's number, what was recorded and what was
    // asked.
    std::optional<std::string> mismatch() const;
    const RecordLine& header() const { return recording_.header; }
    sim::VirtualTimeline& timeline() { return timeline_; }

private:
    // The next call line at or after cursor_; caller holds mutex_.
    const RecordLine* nextCallLocked();

    mutable std::mutex mutex_;
    Recording recording_;
    std::size_t cursor_ = 0;
    std::uint64_t calls_ = 0;
    std::optional<std::string> mismatch_;
    sim::VirtualTimeline timeline_;
};

}  // namespace tolvane::record
