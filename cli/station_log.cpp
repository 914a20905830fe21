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
    // The same members as one item of update --all's `devices`, after the time.
    std::string members = DevicesMember({device}, job);
    const std::size_t open = members.find('{');
    const std::size_t close = members.rfind('}');
    return "{\"time\":" + JsonString(UtcTimestamp(when)) + "," +
           members.substr(open + 1, close - open - 1) + "}";
}

}  // namespace tolvane::cli
