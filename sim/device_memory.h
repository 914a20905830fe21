// What one physical simulated device has received and done. It belongs to the device, not to an
// identity, so it survives the device leaving and arriving under its other identity.
#pragma once

#include <cstdint>
#include <vector>

namespace tolvane::sim {

struct DeviceMemory {
    // The image bytes of the latest download, in the order they came (counted by the size the
    // setup report announced), then any bytes that came as data after the count was full.
    std::vector<std::uint8_t> image{};
    std::uint32_t loadAddress = 0;    // 24 bits, from the latest setup report
    std::uint32_t announcedSize = 0;  // 24 bits, from the latest setup report
    std::uint16_t checksum = 0;       // 16-bit sum of the bytes of `image`

    std::uint32_t startQueries = 0;
    std::uint32_t setups = 0;
    std::uint32_t dataReports = 0;  // of the latest download
    std::uint32_t finishQueries = 0;
    std::uint32_t checksumAnswers = 0;
    std::uint32_t entriesToBootLoader = 0;   // resets that made the application leave
    std::uint32_t entriesToApplication = 0;  // resets that made the boot loader leave
    std::uint32_t ignoredReports = 0;        // understood as nothing
};

}  // namespace tolvane::sim
