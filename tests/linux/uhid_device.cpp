#include "uhid_device.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tolvane::hidraw::testing {
namespace {

const Bytes kDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input: 8 bytes
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output: 8 bytes
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature: 64 bytes
    0xC0,              // End Collection
};

}  // namespace

std::unique_ptr<UhidDevice> UhidDevice::Create(std::uint16_t vendorId, std::uint16_t productId,
                                               const std::string& uniq) {
    posix::UniqueFd uhid(::open("/dev/uhid", O_RDWR | O_CLOEXEC));
    posix::UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
    if (!uhid || !stop) {
        return nullptr;
    }
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_CREATE2;
    std::strcpy(reinterpret_cast<char*>(event->u.create2.name), "tolvane test device");
    std::snprintf(reinterpret_cast<char*>(event->u.create2.uniq), sizeof event->u.create2.uniq,
                  "%s", uniq.c_str());
    event->u.create2.rd_size = static_cast<std::uint16_t>(kDescriptor.size());
    event->u.create2.bus = 0x03;  // USB
    event->u.create2.vendor = vendorId;
    event->u.create2.product = productId;
    std::copy(kDescriptor.begin(), kDescriptor.end(), event->u.create2.rd_data);
    if (::write(uhid.get(), event.get(), sizeof *event) != sizeof *event) {
        return nullptr;
    }
    return std::make_unique<UhidDevice>(std::move(uhid), std::move(stop));
}

UhidDevice::UhidDevice(posix::UniqueFd uhid, posix::UniqueFd stop)
    : uhid_(std::move(uhid)), stop_(std::move(stop)), responder_([this] { respond(); }) {}

UhidDevice::~UhidDevice() {
    const std::uint64_t one = 1;
    (void)::write(stop_.get(), &one, sizeof one);
    responder_.join();
    destroy();
}

void UhidDevice::destroy() {
    if (destroyed_) {
        return;
    }
    destroyed_ = true;
    auto event = std::make_unique<uhid_event>();
    std::memset(event.get(), 0, sizeof *event);
    event->type = UHID_DESTROY;
    (void)::write(uhid_.get(), event.get(), sizeof *event);
}

Bytes UhidDevice::lastSetFeature() {
    std::lock_guard lock(mutex_);
    return setFeature_;
}

Bytes UhidDevice::lastOutput() {
    std::lock_guard lock(mutex_);
    return output_;
}

void UhidDevice::respond() {
    auto event = std::make_unique<uhid_event>();
    auto reply = std::make_unique<uhid_event>();
    pollfd fds[2] = {{uhid_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    while (::poll(fds, 2, -1) > 0 && fds[1].revents == 0) {
        if (::read(uhid_.get(), event.get(), sizeof *event) <= 0) {
            continue;
        }
        std::memset(reply.get(), 0, sizeof *reply);
        if (event->type == UHID_GET_REPORT) {
            // The answer begins with the report number 0, then the query's answer bytes.
            reply->type = UHID_GET_REPORT_REPLY;
            reply->u.get_report_reply.id = event->u.get_report.id;
            reply->u.get_report_reply.size = 65;
            reply->u.get_report_reply.data[0] = 0;
            reply->u.get_report_reply.data[1] = 0xA5;
            reply->u.get_report_reply.data[2] = 0x5A;
            (void)::write(uhid_.get(), reply.get(), sizeof *reply);
        } else if (event->type == UHID_SET_REPORT) {
            {
                std::lock_guard lock(mutex_);
                const std::uint8_t* data = event->u.set_report.data;
                setFeature_.assign(data, data + event->u.set_report.size);
            }
            reply->type = UHID_SET_REPORT_REPLY;
            reply->u.set_report_reply.id = event->u.set_report.id;
            (void)::write(uhid_.get(), reply.get(), sizeof *reply);
        } else if (event->type == UHID_OUTPUT) {
            std::lock_guard lock(mutex_);
            const std::uint8_t* data = event->u.output.data;
            output_.assign(data, data + event->u.output.size);
        }
    }
}

}  // namespace tolvane::hidraw::testing
