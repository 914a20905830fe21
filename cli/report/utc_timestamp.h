// The station log's time of day: UTC to the second, as the report reads it back.
#pragma once

#include <ctime>
#include <string>

namespace tolvane::cli {

// "2026-05-04T10:11:12Z"
std::string UtcTimestamp(std::time_t when);

}  // namespace tolvane::cli
