#include "station_log.h"

#include "run_report.h"

namespace tolvane::cli {

std::string UtcTimestamp(std::time_t when) {
    std::tm parts{};
#ifdef _WIN32
    gmtime_s(&parts, &when);
#else
    gmtime_r(&when, &parts);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string StationLogLine(const DeviceResult& device, const DownloadJob& job, std::time_t when) {
    // The time first, then the members of one item of update --all's `devices`.
    Json line;
    line["time"] = UtcTimestamp(when);
    line.update(DeviceJson(device, job));
    return JsonText(line);
}

}  // namespace tolvane::cli
