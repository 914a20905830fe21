// The outcome of one run of the tool, as --json prints it: one object, built up during the run
// and printed once at its end.
#pragma once

#include "dfu_constants.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

using Json = nlohmann::ordered_json;

struct RunReport {
    std::string command;
    // The result code's name, SYSTEM_ERROR, USAGE, BAD_IMAGE, IMAGE_UNREADABLE, INTERRUPTED...
    std::string result;
    std::uint32_t code = 0;  // the engine's result code, or the system error number of a refusal
    int exitCode = 0;
    std::string message;
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesTotal = 0;
    double seconds = 0;
    std::optional<std::uint16_t> expectedChecksum;  // the 16 bits the boot loader is to report
    // Known when the boot loader confirmed the expected value; the engine keeps no other answer.
    std::optional<std::uint16_t> reportedChecksum;
    bool simulated = false;
    std::optional<bool> memoryMatches;  // with --simulate: the virtual device holds the image
    // With --simulate: the 16-bit sum of what the virtual device received.
    std::optional<std::uint16_t> deviceChecksum;
    std::vector<std::string> warnings;  // printed only when there are any
    Json extra = Json::object();        // fields of one command (the list's interfaces...)
};

// The result-code name for `code`: DFU_SUCCESS, the engine's names, SYSTEM_ERROR.
std::string ResultName(ResultCode code);

Json ToJson(const RunReport& report);

// One line of JSON. Bytes that are not UTF-8 (a file name's, say) are replaced by U+FFFD, so the
// text is always valid UTF-8.
std::string JsonText(const Json& json);

}  // namespace tolvane::cli
