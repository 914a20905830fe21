#include "run_report.h"

#include <cstdio>
#include <type_traits>

namespace tolvane::cli {
namespace {

template <typename T>
std::string OrNull(const std::optional<T>& value) {
    if (!value) return "null";
    if constexpr (std::is_same_v<T, bool>) {
        return *value ? "true" : "false";
    } else {
        return std::to_string(*value);
    }
}

}  // namespace

std::string ResultName(ResultCode code) {
    if (code == DFU_SUCCESS) return "DFU_SUCCESS";
    const char* name = ResultCodeName(code);
    return name ? name : "SYSTEM_ERROR";
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", u);
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string ToJson(const RunReport& report) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.3f", report.seconds);
    std::string json = "{";
    json += "\"command\":" + JsonString(report.command);
    json += ",\"result\":" + JsonString(report.result);
    json += ",\"code\":" + std::to_string(report.code);
    json += ",\"exit_code\":" + std::to_string(report.exitCode);
    json += ",\"message\":" + JsonString(report.message);
    json += ",\"bytes_sent\":" + std::to_string(report.bytesSent);
    json += ",\"bytes_total\":" + std::to_string(report.bytesTotal);
    json += ",\"seconds\":" + std::string(seconds);
    json += ",\"expected_checksum\":" + OrNull(report.expectedChecksum);
    json += ",\"reported_checksum\":" + OrNull(report.reportedChecksum);
    json += ",\"simulated\":" + std::string(report.simulated ? "true" : "false");
    json += ",\"memory_matches\":" + OrNull(report.memoryMatches);
    json += ",\"device_checksum\":" + OrNull(report.deviceChecksum);
    return json + "}";
}

}  // namespace tolvane::cli
