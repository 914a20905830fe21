#include "line/station_log.h"

#include "output/run_report.h"
#include "report/utc_timestamp.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tolvane::cli {

std::string StationLogLine(const DeviceResult& device, const DownloadJob& job, std::time_t when) {
    // The time first, then the members of one item of update --all's `devices`.
    Json line;
    line["time"] = UtcTimestamp(when);
    line.update(DeviceJson(device, job));
    return JsonText(line);
}

bool LogEndsMidLine(const std::string& path) {
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code error;
    // Only a regular file is looked into: reading a pipe would take what a reader waits for.
    if (!std::filesystem::is_regular_file(file, error)) return false;
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() <= 0) return false;
    in.seekg(-1, std::ios::end);
    char last = '\n';
    return in.get(last) && last != '\n';
}

}  // namespace tolvane::cli
