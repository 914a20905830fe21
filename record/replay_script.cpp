#include "replay_script.h"

#include "recorder.h"

#include <algorithm>

namespace tolvane::record {

bool IsNoticeLine(const RecordLine& line) {
    const std::string op = line.op();
    return op == "notice" || op == "signal";
}

bool IsLookupLine(const RecordLine& line) {
    return line.op() == "port";
}

std::optional<Recording> ReadRecording(std::istream& in, std::string& error) {
    Recording recording;
    std::string text;
    std::size_t number = 0;
    bool headerSeen = false;
    while (std::getline(in, text)) {
        ++number;
        if (text.empty() || text == "\r") continue;
        auto line = RecordLine::parse(text);
        if (!line || !line->has("op")) {
            error = "line " + std::to_string(number) +
                    " is not a recording line (a flat JSON object with \"op\")";
            return std::nullopt;
        }
        // Every number a recording holds is a count, a time or an identifier of 64 bits.
        for (const auto& [key, value] : line->fields()) {
            if (value.starts_with('"') || value == "true" || value == "false") continue;
            if (!line->numberOf(key)) {
                error = "line " + std::to_string(number) + ": \"" + key + "\" is " + value +
                        ", not a whole number from 0 to 2^64-1";
                return std::nullopt;
            }
        }
        if (!headerSeen) {
            if (line->op() != "recording") {
                error = "line 1 is not a recording's header";
                return std::nullopt;
            }
            if (line->numberOf("version") != static_cast<std::uint64_t>(kRecordingVersion)) {
                error = "the recording's version is not " + std::to_string(kRecordingVersion);
                return std::nullopt;
            }
            recording.header = std::move(*line);
            headerSeen = true;
            continue;
        }
        recording.lines.push_back(std::move(*line));
    }
    if (!headerSeen) {
        error = "the file holds no recording";
        return std::nullopt;
    }
    return recording;
}

ReplayScript::ReplayScript(Recording recording) : recording_(std::move(recording)) {}

const RecordLine* ReplayScript::nextCallLocked() {
    while (cursor_ < recording_.lines.size() &&
           (IsNoticeLine(recording_.lines[cursor_]) || IsLookupLine(recording_.lines[cursor_]))) {
        ++cursor_;
    }
    return cursor_ < recording_.lines.size() ? &recording_.lines[cursor_] : nullptr;
}

std::optional<RecordLine> ReplayScript::expect(const RecordLine& asked,
                                               std::optional<std::span<const std::uint8_t>> sent) {
    const std::lock_guard lock(mutex_);
    if (mismatch_) return std::nullopt;
    ++calls_;
    RecordLine shownAsked = asked;
    const RecordLine* recorded = nextCallLocked();
    bool same = recorded != nullptr;
    for (const auto& [key, value] : asked.fields()) {
        if (same && recorded->raw(key) != value) same = false;
    }
    if (sent) {
        shownAsked.number("n", sent->size());
        if (recorded && recorded->has("x")) {
            shownAsked.bytes("x", *sent);
            if (same) same = recorded->textOf("x") == HexOf(*sent);
        } else {
            shownAsked.text("h", ReportHash(*sent));
            if (same) same = recorded->textOf("h") == ReportHash(*sent);
        }
        if (same) same = recorded->numberOf("n") == sent->size();
    }
    const std::string number = "call " + std::to_string(calls_);
    if (!recorded) {
        mismatch_ = number + ": the recording has ended, but the run asked " + shownAsked.json();
        return std::nullopt;
    }
    if (!same) {
        mismatch_ =
            number + ": recorded " + recorded->json() + ", but the run asked " + shownAsked.json();
        return std::nullopt;
    }
    ++cursor_;
    const std::uint64_t atUs = recorded->numberOf("t").value_or(0);
    timeline_.advanceTo((atUs + recorded->numberOf("us").value_or(0)) / 1000);
    return *recorded;
}

std::optional<RecordLine> ReplayScript::lookup(const RecordLine& asked) {
    const std::lock_guard lock(mutex_);
    if (mismatch_) return std::nullopt;
    ++calls_;
    for (const RecordLine& line : recording_.lines) {
        if (!IsLookupLine(line)) continue;
        const bool same = std::ranges::all_of(asked.fields(), [&](const auto& field) {
            return line.raw(field.first) == field.second;
        });
        if (same) return line;
    }
    mismatch_ =
        "call " + std::to_string(calls_) + ": the recording has no answer for " + asked.json();
    return std::nullopt;
}

void ReplayScript::finish() {
    const std::lock_guard lock(mutex_);
    if (mismatch_) return;
    if (const RecordLine* left = nextCallLocked()) {
        mismatch_ = "call " + std::to_string(calls_ + 1) + ": recorded " + left->json() +
                    ", but the run asked nothing more";
    }
}

std::optional<std::string> ReplayScript::mismatch() const {
    const std::lock_guard lock(mutex_);
    return mismatch_;
}

}  // namespace tolvane::record
