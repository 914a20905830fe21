// A virtual HID device made with the kernel's uhid driver, for tests against the real hidraw
// driver: one vendor collection with 8-byte input and output reports and a 64-byte feature report,
// no report identifiers. A thread answers the kernel's report requests: every feature report read
// is 00 A5 5A and zeros; what was set or written last is kept.
#pragma once

#include "unique_fd.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::hidraw::testing {

using Bytes = std::vector<std::uint8_t>;

class UhidDevice {
public:
    // Null where /dev/uhid cannot be opened or refuses the device.
    static std::unique_ptr<UhidDevice> Create(std::uint16_t vendorId, std::uint16_t productId,
                                              const std::string& uniq);

    UhidDevice(posix::UniqueFd uhid, posix::UniqueFd stop);
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;
    ~UhidDevice();

    // Removes the device from the kernel (once).
    void destroy();
    Bytes lastSetFeature();
    Bytes lastOutput();

private:
    void respond();

    posix::UniqueFd uhid_;
    posix::UniqueFd stop_;
    std::mutex mutex_;
    Bytes setFeature_;
    Bytes output_;
    bool destroyed_ = false;
    std::thread responder_;  // last: started once everything it uses exists
};

}  // namespace tolvane::hidraw::testing
