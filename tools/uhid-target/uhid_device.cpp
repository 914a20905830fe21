#include "uhid_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tolvane::uhid {

namespace {

std::unique_ptr<uhid_event> BlankEvent(std::uint32_t type) {
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = type;
    return event;
}

// Copies a text into a fixed field of `capacity` bytes (packed, so taken by address), cut to
// leave room for the terminating 0.
void CopyText(void* field, std::size_t capacity, const std::string& text) {
    const std::size_t length = std::min(text.size(), capacity - 1);
    std::memset(field, 0, capacity);
    std::memcpy(field, text.data(), length);
}

}  // namespace

std::unique_ptr<UhidDevice> UhidDevice::Open() {
    posix::UniqueFd fd(::open("/dev/uhid", O_RDWR | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return nullptr;
    return std::make_unique<UhidDevice>(std::move(fd));
}

bool UhidDevice::create(const DeviceIdentity& identity, std::span<const std::uint8_t> descriptor) {
    auto event = BlankEvent(UHID_CREATE2);
    if (descriptor.size() > sizeof event->u.create2.rd_data) {
        errno = EINVAL;
        return false;
    }
    CopyText(event->u.create2.name, sizeof event->u.create2.name, identity.name);
    CopyText(event->u.create2.phys, sizeof event->u.create2.phys, identity.phys);
    CopyText(event->u.create2.uniq, sizeof event->u.create2.uniq, identity.uniq);
    event->u.create2.rd_size = static_cast<std::uint16_t>(descriptor.size());
    event->u.create2.bus = identity.bus;
    event->u.create2.vendor = identity.vendor;
    event->u.create2.product = identity.product;
    event->u.create2.version = identity.version;
    std::copy(descriptor.begin(), descriptor.end(), event->u.create2.rd_data);
    created_ = write(*event);
    return created_;
}

void UhidDevice::destroy() noexcept {
    if (!created_) return;
    created_ = false;
    auto event = BlankEvent(UHID_DESTROY);
    (void)write(*event);
}

bool UhidDevice::read(uhid_event& event) {
    const ssize_t got = ::read(fd_.get(), &event, sizeof event);
    return got > 0;
}

void UhidDevice::replySet(std::uint32_t id, std::uint16_t err) {
    auto event = BlankEvent(UHID_SET_REPORT_REPLY);
    event->u.set_report_reply.id = id;
    event->u.set_report_reply.err = err;
    (void)write(*event);
}

void UhidDevice::replyGet(std::uint32_t id, std::uint16_t err, std::span<const std::uint8_t> data) {
    auto event = BlankEvent(UHID_GET_REPORT_REPLY);
    event->u.get_report_reply.id = id;
    event->u.get_report_reply.err = err;
    const std::size_t size = std::min(data.size(), sizeof event->u.get_report_reply.data);
    event->u.get_report_reply.size = static_cast<std::uint16_t>(size);
    std::copy_n(data.begin(), size, event->u.get_report_reply.data);
    (void)write(*event);
}

bool UhidDevice::write(const uhid_event& event) {
    for (;;) {
        const ssize_t put = ::write(fd_.get(), &event, sizeof event);
        if (put == static_cast<ssize_t>(sizeof event)) return true;
        if (put < 0 && errno == EINTR) continue;
        return false;
    }
}

}  // namespace tolvane::uhid
