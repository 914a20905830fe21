// Where a recording goes: a header line, then one line per call, each stamped with its offset in
// microseconds since the recording began. Lines come from any thread; each is written whole.
#pragma once

#include "record_line.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace tolvane::record {

inline constexpr int kRecordingVersion = 1;

// What the header says about the run.
struct RecordingHeader {
    std::string tool;         // e.g. "tolvane 2.4.0.0"
    std::string os;           // e.g. "linux"
    std::string commandLine;  // the words of the command, joined by spaces
    std::uint64_t imageSize = 0;
    std::string imageSha256;  // empty when the command has no image
    std::string startTime;    // UTC, ISO 8601
    // The device identity the command looked for, when it named one.
    std::optional<std::uint32_t> vid;
    std::optional<std::uint32_t> pid;
};

// The moment now, in UTC, as ISO 8601 ("2026-12-09T17:50:49Z").
std::string UtcNowText();

class Recorder {
public:
    // `clockUs` gives microseconds on any monotonic scale; offsets count from its first reading.
    // `full`: sent reports are stored whole rather than as a hash.
    Recorder(std::ostream& out, const RecordingHeader& header, bool full,
             std::function<std::uint64_t()> clockUs);
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Microseconds since the recording began.
    std::uint64_t offsetUs();
    // Writes the line stamped with `atUs` (default: now).
    void write(const RecordLine& line);
    void write(const RecordLine& line, std::uint64_t atUs);
    // Adds a sent report to `line`: whole ("x") when short or when recording in full, else its
    // length and hash ("h").
    void addSent(RecordLine& line, std::span<const std::uint8_t> report) const;
    // A new number for an opened device or created event, counted from 1.
    std::uint32_t nextDevice();
    std::uint32_t nextEvent();
    bool good();
    // Pushes what is buffered to the file; 0 when every line so far was written, else the
    // system's error number of the first line that was not (EIO when it named none).
    int flush();

private:
    // Notes the first failure of the stream; the mutex is held.
    void noteFailureLocked();

    std::mutex mutex_;
    std::ostream& out_;
    bool full_;
    std::function<std::uint64_t()> clockUs_;
    std::uint64_t startUs_ = 0;
    std::uint32_t devices_ = 0;
    std::uint32_t events_ = 0;
    int error_ = 0;  // of the first failed write
};

// The hash stored for a data report: the first 6 bytes of its SHA-256, in hexadecimal.
std::string ReportHash(std::span<const std::uint8_t> report);
// Whether a sent report is stored as its hash: everything up to its last non-zero byte is longer
// than kWholeReportBytes (a data report rather than a command).
inline constexpr std::size_t kWholeReportBytes = 16;
bool StoredAsHash(std::span<const std::uint8_t> report);

}  // namespace tolvane::record
