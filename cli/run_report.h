// The outcome of one run of the tool, as --json prints it.
#pragma once

#include "dfu_constants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::cli {

struct RunReport {
    std::string command;
    std::string result;      // the result code's name, SYSTEM_ERROR, BAD_IMAGE, IMAGE_UNREADABLE
    std::uint32_t code = 0;  // the engine's result code, 0 when none was reached
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
};

// The result-code name for `code`: DFU_SUCCESS, the engine's names, SYSTEM_ERROR.
std::string ResultName(ResultCode code);

// One JSON object on one line.
std::string ToJson(const RunReport& report);

// `text` as a JSON string literal, quotes included.
std::string JsonString(std::string_view text);

}  // namespace tolvane::cli
