#include "recorder.h"

#include "sha256.h"

#include <cerrno>
#include <chrono>
#include <ctime>

namespace tolvane::record {

std::string UtcNowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
#ifdef _WIN32
    // The Windows C runtime keeps gmtime's result per thread.
    if (const std::tm* result = std::gmtime(&now)) utc = *result;
#else
    gmtime_r(&now, &utc);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

Recorder::Recorder(std::ostream& out, const RecordingHeader& header, bool full,
                   std::function<std::uint64_t()> clockUs)
    : out_(out), full_(full), clockUs_(std::move(clockUs)) {
    startUs_ = clockUs_();
    RecordLine line("recording");
    line.number("version", kRecordingVersion)
        .text("tool", header.tool)
        .text("os", header.os)
        .text("command", header.commandLine)
        .number("image_size", header.imageSize)
        .text("image_sha256", header.imageSha256)
        .text("start", header.startTime)
        .flag("full", full);
    if (header.vid) line.number("vid", *header.vid);
    if (header.pid) line.number("pid", *header.pid);
    errno = 0;
    out_ << line.json() << '\n';
    noteFailureLocked();
}

void Recorder::noteFailureLocked() {
    if (error_ == 0 && !out_.good()) error_ = errno != 0 ? errno : EIO;
}

std::uint64_t Recorder::offsetUs() {
    const std::uint64_t now = clockUs_();
    return now >= startUs_ ? now - startUs_ : 0;
}

void Recorder::write(const RecordLine& line) {
    write(line, offsetUs());
}

void Recorder::write(const RecordLine& line, std::uint64_t atUs) {
    std::string text = "{\"t\":";
    text += std::to_string(atUs);
    // The line's own fields follow the time: "{...}" without its opening brace.
    const std::string rest = line.json();
    if (rest.size() > 2) {
        text += ',';
        text.append(rest, 1, std::string::npos);
    } else {
        text += '}';
    }
    const std::lock_guard lock(mutex_);
    errno = 0;
    out_ << text << '\n';
    out_.flush();
    noteFailureLocked();
}

void Recorder::addSent(RecordLine& line, std::span<const std::uint8_t> report) const {
    line.number("n", report.size());
    if (full_ || !StoredAsHash(report)) {
        line.bytes("x", report);
    } else {
        line.text("h", ReportHash(report));
    }
}

std::uint32_t Recorder::nextDevice() {
    const std::lock_guard lock(mutex_);
    return ++devices_;
}

std::uint32_t Recorder::nextEvent() {
    const std::lock_guard lock(mutex_);
    return ++events_;
}

bool Recorder::good() {
    const std::lock_guard lock(mutex_);
    return out_.good();
}

int Recorder::flush() {
    const std::lock_guard lock(mutex_);
    errno = 0;
    out_.flush();
    noteFailureLocked();
    return error_;
}

std::string ReportHash(std::span<const std::uint8_t> report) {
    return Sha256Hex(report).substr(0, 12);
}

bool StoredAsHash(std::span<const std::uint8_t> report) {
    std::size_t used = report.size();
    while (used > 0 && report[used - 1] == 0) --used;
    return used > kWholeReportBytes;
}

}  // namespace tolvane::record
