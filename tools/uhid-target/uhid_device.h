// /dev/uhid: one virtual HID device at a time made from user space, which hid-core, hidraw and
// udev treat as a real one. Owns the file descriptor; a device still created is destroyed when
// the object goes.
#pragma once

#include "unique_fd.h"

#include <linux/uhid.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tolvane::uhid {

struct DeviceIdentity {
    std::string name;
    std::string phys;          // e.g. usb-0000:00:14.0-1.4/input0
    std::string uniq;          // the serial number
    std::uint16_t bus = 0x03;  // BUS_USB
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    std::uint16_t version = 0;
};

class UhidDevice {
public:
    // Opens /dev/uhid; null with errno set when it cannot be opened.
    static std::unique_ptr<UhidDevice> Open();
    explicit UhidDevice(posix::UniqueFd fd) noexcept : fd_(std::move(fd)) {}
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;
    ~UhidDevice() { destroy(); }

    int fd() const noexcept { return fd_.get(); }
    bool created() const noexcept { return created_; }

    // UHID_CREATE2; false with errno set on failure (a descriptor over 4096 bytes: EINVAL).
    bool create(const DeviceIdentity& identity, std::span<const std::uint8_t> descriptor);
    // UHID_DESTROY: the device leaves the kernel; nothing when none is created.
    void destroy() noexcept;
    // Reads the next event from the kernel; false when there is none to read now.
    bool read(uhid_event& event);
    // UHID_SET_REPORT_REPLY / UHID_GET_REPORT_REPLY; err 0 is success (the kernel turns any
    // other into EIO for the caller).
    void replySet(std::uint32_t id, std::uint16_t err);
    void replyGet(std::uint32_t id, std::uint16_t err, std::span<const std::uint8_t> data);

private:
    bool write(const uhid_event& event);

    posix::UniqueFd fd_;
    bool created_ = false;
};

}  // namespace tolvane::uhid
