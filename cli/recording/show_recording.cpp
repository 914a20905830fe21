// `tolvane show-recording [--json] FILE`: a recording as a person reads it (each call with its
// time, reports in hex, waits and what ended them, runs of data reports folded into one line, and
// where the time went) or, with --json, the same as one JSON object.
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "record_line.h"
#include "recording/record_session.h"
#include "recording_steps.h"
#include "replay_script.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

namespace tolvane::cli {
namespace {

using record::RecordLine;

std::string Ms(std::uint64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(us) / 1000.0);
    return text;
}

std::uint64_t TimeOf(const RecordLine& line) {
    return line.numberOf("t").value_or(0);
}

// "00 22 00 ..." without the zeros that pad a report to its length.
std::string SpacedHex(const std::vector<std::uint8_t>& bytes) {
    std::size_t used = bytes.size();
    while (used > 1 && bytes[used - 1] == 0) --used;
    std::string text;
    const std::string hex = record::HexOf(bytes);
    for (std::size_t i = 0; i < used; ++i) {
        if (i > 0) text += ' ';
        text += hex.substr(2 * i, 2);
    }
    if (used < bytes.size()) text += " (then zeros)";
    return text;
}

std::string Error(const RecordLine& line) {
    const auto e = line.numberOf("e");
    return e ? "  error " + std::to_string(*e) : "";
}

std::string Device(const RecordLine& line) {
    std::string text = "#";
    text += line.raw("d").value_or("?");
    text += ' ';
    return text;
}

std::string Describe(const RecordLine& line) {
    const std::string op = line.op();
    const std::string path = line.textOf("path").value_or("");
    if (op == "list") return line.raw("ok") == "true" ? "list the interfaces" : "no list";
    if (op == "path") {
        return "interface " + line.raw("i").value_or("?") + ": " +
               line.textOf("lookup").value_or("") + (path.empty() ? "" : " " + path);
    }
    if (op == "open") {
        return "open " + path + " (" + line.textOf("access").value_or("") + ")" +
               (line.has("d") ? " as #" + *line.raw("d") : " failed" + Error(line));
    }
    if (op == "close") return Device(line) + "close";
    if (op == "attributes" || op == "caps" || op == "serial") {
        std::string text = Device(line) + op + ":";
        for (const auto& [key, value] : line.fields()) {
            if (key != "t" && key != "op" && key != "d" && key != "e")
                text += " " + key + " " + value;
        }
        return text + Error(line);
    }
    if (op == "set" || op == "out") {
        const std::string what = op == "set" ? "set feature  -> " : "write output -> ";
        const auto bytes = line.bytesOf("x");
        return Device(line) + what +
               (bytes ? SpacedHex(*bytes)
                      : line.raw("n").value_or("?") + " bytes, hash " +
                            line.textOf("h").value_or("")) +
               Error(line);
    }
    if (op == "get") {
        const auto bytes = line.bytesOf("x");
        return Device(line) + "get feature  <- " + (bytes ? SpacedHex(*bytes) : "") + Error(line);
    }
    if (op == "wait") {
        return "wait for event " + line.raw("ev").value_or("?") + " (at most " +
               line.raw("ms").value_or("?") + " ms): " + line.textOf("r").value_or("") + " after " +
               Ms(line.numberOf("us").value_or(0)) + " ms";
    }
    if (op == "sleep" || op == "install_wait") {
        return std::string(op == "sleep" ? "sleep " : "wait for pending installations, at most ") +
               line.raw("ms").value_or("?") + " ms: took " + Ms(line.numberOf("us").value_or(0)) +
               " ms";
    }
    if (op == "notice") {
        const auto event = line.numberOf("event").value_or(0);
        const std::string kind = event == 0x8000   ? "arrival"
                                 : event == 0x8004 ? "removal"
                                                   : "change";
        return "notification: " + kind + " of " + path;
    }
    if (op == "port")
        return "port of " + path + ": " + line.textOf("port").value_or("") + Error(line);
    std::string text = op;
    for (const auto& [key, value] : line.fields()) {
        if (key != "t" && key != "op") text += " " + key + " " + value;
    }
    return text;
}

// How long each call took: its recorded duration, else the time until the next call began.
// `lines` are in the order the calls began: a wait is written when it ends, after the calls other
// threads made meanwhile, and timing a call to the next line written would count that wait twice.
// Notices and port lookups are other threads' and take no time of the run's.
std::map<std::string, std::uint64_t> TimeByCall(const std::vector<RecordLine>& lines) {
    const auto counted = [](const RecordLine& line) {
        return !record::IsNoticeLine(line) && !record::IsLookupLine(line);
    };
    std::map<std::string, std::uint64_t> spent;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!counted(lines[i])) continue;
        std::uint64_t took = lines[i].numberOf("us").value_or(0);
        if (!lines[i].has("us")) {
            for (std::size_t k = i + 1; k < lines.size(); ++k) {
                if (!counted(lines[k])) continue;
                took = TimeOf(lines[k]) - TimeOf(lines[i]);
                break;
            }
        }
        spent[lines[i].op()] += took;
    }
    return spent;
}

// When the recording's last call ended.
std::uint64_t EndOf(const std::vector<RecordLine>& lines) {
    std::uint64_t end = 0;
    for (const RecordLine& line : lines) {
        end = std::max(end, TimeOf(line) + line.numberOf("us").value_or(0));
    }
    return end;
}

// How long each step took, in the order the steps came: from its first call to the next step's.
// `lines` are in the order the calls began.
std::vector<std::pair<record::UpdateStep, std::uint64_t>> TimeBySteps(
    const std::vector<RecordLine>& lines, const std::vector<record::UpdateStep>& steps) {
    std::vector<std::pair<record::UpdateStep, std::uint64_t>> spans;
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0 && steps[i] == steps[i - 1]) continue;
        if (!spans.empty()) spans.back().second = TimeOf(lines[i]) - start;
        start = TimeOf(lines[i]);
        spans.emplace_back(steps[i], 0);
    }
    if (!spans.empty()) spans.back().second = std::max(EndOf(lines), start) - start;
    return spans;
}

nlohmann::json JsonOf(const RecordLine& line) {
    nlohmann::json object = nlohmann::json::object();
    for (const auto& [key, value] : line.fields()) object[key] = nlohmann::json::parse(value);
    return object;
}

bool IsHashedReport(const RecordLine& line) {
    return (line.op() == "set" || line.op() == "out") && line.has("h");
}

void PrintTimeline(const record::Recording& recording, std::ostream& out) {
    const RecordLine& h = recording.header;
    // What the file says is shown with its control characters escaped.
    const auto text = [&h](const char* key) { return Printable(h.textOf(key).value_or("")); };
    out << "Recording of " << text("command") << "\n"
        << "  by " << text("tool") << " on " << text("os") << ", started " << text("start") << "\n";
    if (const auto size = h.numberOf("image_size"); size && *size > 0) {
        out << "  image: " << *size << " bytes, SHA-256 " << text("image_sha256") << "\n";
    }
    out << "\n      time (ms)  call\n";
    // In the order the calls began: a wait is written when it ends.
    std::vector<RecordLine> lines = recording.lines;
    std::ranges::stable_sort(lines, {}, TimeOf);
    const std::vector<record::UpdateStep> steps = record::StepsOf(lines);
    for (std::size_t i = 0; i < lines.size();) {
        if (i == 0 || steps[i] != steps[i - 1])
            out << "  -- " << record::StepTitle(steps[i]) << "\n";
        std::size_t end = i + 1;
        if (IsHashedReport(lines[i])) {
            while (end < lines.size() && IsHashedReport(lines[end]) &&
                   lines[end].raw("d") == lines[i].raw("d") && !lines[end].has("e") &&
                   steps[end] == steps[i]) {
                ++end;
            }
        }
        char time[32];
        std::snprintf(time, sizeof time, "%15s  ", Ms(TimeOf(lines[i])).c_str());
        if (end - i > 2) {
            out << time << Device(lines[i])
                << (lines[i].op() == "set" ? "set feature" : "write output") << " x " << (end - i)
                << " data reports of " << lines[i].raw("n").value_or("?")
                << " bytes (hashed), until " << Ms(TimeOf(lines[end - 1])) << " ms\n";
        } else {
            end = i + 1;
            out << time << Printable(Describe(lines[i])) << "\n";
        }
        i = end;
    }
    out << "\nThe steps:\n";
    for (const auto& [step, us] : TimeBySteps(lines, steps)) {
        char row[96];
        std::snprintf(row, sizeof row, "  %-28s %12s ms\n",
                      std::string(record::StepTitle(step)).c_str(), Ms(us).c_str());
        out << row;
    }
    const auto spent = TimeByCall(lines);
    std::uint64_t total = 0;
    for (const auto& [op, us] : spent) total += us;
    out << "\nWhere the time went (" << Ms(total) << " ms in all):\n";
    for (const auto& [op, us] : spent) {
        if (us == 0) continue;
        char row[96];
        std::snprintf(row, sizeof row, "  %-14s %12s ms  %5.1f %%\n", Printable(op).c_str(),
                      Ms(us).c_str(),
                      total ? 100.0 * static_cast<double>(us) / static_cast<double>(total) : 0.0);
        out << row;
    }
}

}  // namespace

bool IsShowRecording(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--json" || arg == "-q" || arg == "--quiet") continue;
        return arg == "show-recording";
    }
    return false;
}

int ShowRecording(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool json = false;
    bool quiet = false;
    bool commandSeen = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "show-recording" && !commandSeen) {
            commandSeen = true;
        } else if (arg == "--json") {
            json = true;
        } else if (arg == "-q" || arg == "--quiet") {
            quiet = true;
        } else if (arg == "--help" || arg == "-h") {
            out << "Usage: tolvane [--json] [-q] show-recording [--json] [-q] FILE\n"
                   "Prints a recording made with --record as a timeline; --json as data, -q "
                   "nothing (the exit code tells whether FILE is a recording).\n";
            return kExitSuccess;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1 || (files[0].size() > 1 && files[0].front() == '-')) {
        err << "tolvane: show-recording takes one FILE (and --json, -q)\n";
        return kExitUsage;
    }
    std::ifstream in(std::filesystem::path(std::u8string(files[0].begin(), files[0].end())),
                     std::ios::binary);
    std::string error = "cannot open the recording";
    auto recording = in ? record::ReadRecording(in, error) : std::nullopt;
    if (!recording) {
        err << "tolvane: " << Printable(files[0]) << ": " << Printable(error) << "\n";
        // A file that is no recording is bad data; one that cannot be read is unreadable.
        return in && !in.bad() ? kExitBadImage : kExitUnreadable;
    }
    if (!json) {
        if (!quiet) PrintTimeline(*recording, out);
        return out ? kExitSuccess : kExitOutputFailed;
    }
    // Each call with its step; the steps with their times, in the order the calls began.
    const std::vector<record::UpdateStep> steps = record::StepsOf(recording->lines);
    nlohmann::json calls = nlohmann::json::array();
    for (std::size_t i = 0; i < recording->lines.size(); ++i) {
        calls.push_back(JsonOf(recording->lines[i]));
        calls.back()["step"] = record::StepName(steps[i]);
    }
    std::vector<RecordLine> begun = recording->lines;
    std::ranges::stable_sort(begun, {}, TimeOf);
    nlohmann::json time = nlohmann::json::object();
    for (const auto& [op, us] : TimeByCall(begun)) time[op] = us;
    nlohmann::json stepTimes = nlohmann::json::array();
    for (const auto& [step, us] : TimeBySteps(begun, record::StepsOf(begun))) {
        stepTimes.push_back({{"step", record::StepName(step)}, {"us", us}});
    }
    out << nlohmann::json{{"header", JsonOf(recording->header)},
                          {"calls", std::move(calls)},
                          {"steps", std::move(stepTimes)},
                          {"time_us", std::move(time)}}
               .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
        << "\n";
    return out ? kExitSuccess : kExitOutputFailed;
}

}  // namespace tolvane::cli
