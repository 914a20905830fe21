#include "output/run_report.h"

#include <cmath>

namespace tolvane::cli {
namespace {

template <typename T>
Json OrNull(const std::optional<T>& value) {
    return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string ResultName(ResultCode code) {
    if (code == DFU_SUCCESS) return "DFU_SUCCESS";
    const char* name = ResultCodeName(code);
    return name ? name : "SYSTEM_ERROR";
}

Json ToJson(const RunReport& report) {
    Json json;
    json["command"] = report.command.empty() ? Json(nullptr) : Json(report.command);
    json["result"] = report.result;
    json["code"] = report.code;
    json["exit_code"] = report.exitCode;
    json["message"] = report.message;
    json["bytes_sent"] = report.bytesSent;
    json["bytes_total"] = report.bytesTotal;
    // Milliseconds are all a reader can use.
    json["seconds"] = std::round(report.seconds * 1000) / 1000;
    json["expected_checksum"] = OrNull(report.expectedChecksum);
    json["reported_checksum"] = OrNull(report.reportedChecksum);
    json["simulated"] = report.simulated;
    json["memory_matches"] = OrNull(report.memoryMatches);
    json["device_checksum"] = OrNull(report.deviceChecksum);
    if (!report.warnings.empty()) json["warnings"] = report.warnings;
    for (const auto& [key, value] : report.extra.items()) json[key] = value;
    return json;
}

std::string JsonText(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace tolvane::cli
