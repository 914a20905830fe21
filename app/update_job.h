// The process-wide record of the update to perform, and the flags the interface thread and the
// update's worker share.
#pragma once

#include <atomic>
#include <cstdint>

namespace vandrel {

// Filled once while the main dialog initialises and only read afterwards, except `image`, which
// goes back to null when the dialog releases its buffer.
struct UpdateJob {
    std::uint32_t vid = 0;
    std::uint32_t pid = 0;
    std::uint32_t checksum = 0;
    std::uint32_t size = 0;
    const std::uint8_t* image = nullptr;
};

extern UpdateJob g_updateJob;
// 1 from just before the worker is resumed until the worker's last step.
extern std::atomic<std::uint32_t> UpdateRunning;
// 1 while the worker is inside the download.
extern std::atomic<std::uint32_t> UpdateDownloading;

}  // namespace vandrel
