// The station's record of one finished device: one JSON object on one line, for the log file and
// for --json, written and flushed as soon as the device is done.
#pragma once

#include "line/all_devices_run.h"

#include <ctime>
#include <string>

namespace tolvane::cli {

// {"time":"2026-05-04T10:11:12Z","port":"1-2","serial":"...","exit_code":0,"result":"DFU_SUCCESS",
//  "message":"...","seconds":5.123,"bytes_sent":16384,"expected_checksum":...,"reported_checksum":...}
std::string StationLogLine(const DeviceResult& device, const DownloadJob& job, std::time_t when);

// True when `path` is a regular file whose last byte is not a line's end: an earlier run was cut
// off in the middle of a line (a full disk), and the next line must start on a line of its own.
bool LogEndsMidLine(const std::string& path);

}  // namespace tolvane::cli
