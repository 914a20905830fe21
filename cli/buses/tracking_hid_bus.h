// A HID bus that forwards every call to another bus and keeps what the tool must know of the run
// without reading any report: which interfaces could not be opened and why, and the moment the
// first report is written to a device.
#pragma once

#include "forwarding_hid_bus.h"

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace tolvane::cli {

// The interfaces whose opening failed, by the error of the last failure.
struct OpenFailures {
    // Interfaces that no open reached at all, so that not even their identity is known.
    std::map<SysError, int> unopened;
    // Interfaces that opened for queries but not read-write.
    std::map<SysError, int> queryOnly;
    bool any() const { return !unopened.empty() || !queryOnly.empty(); }
};

class TrackingHidBus final : public ForwardingHidBus {
    struct Listener;

public:
    // While it lives, a listener hears every report written to the devices at its port (to every
    // device when its port is empty), before the report goes out, on the writing thread.
    class Hearing {
    public:
        Hearing(TrackingHidBus& bus, std::list<std::shared_ptr<Listener>>::iterator entry)
            : bus_(&bus), entry_(entry) {}
        Hearing(const Hearing&) = delete;
        Hearing& operator=(const Hearing&) = delete;
        ~Hearing();

    private:
        TrackingHidBus* bus_;
        std::list<std::shared_ptr<Listener>>::iterator entry_;
    };

    // `onWrite` is called before each report written to a device, on the writing thread, and
    // `onWriteAt` with the port of the device (empty when the bus cannot tell).
    TrackingHidBus(HidBus& inner, std::function<void()> onWrite,
                   std::function<void(const std::string& port)> onWriteAt = {})
        : ForwardingHidBus(inner), onWrite_(std::move(onWrite)), onWriteAt_(std::move(onWriteAt)) {}

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;

    OpenFailures openFailures() const;

    [[nodiscard]] std::unique_ptr<Hearing> hear(std::string port, std::function<void()> onWrite);

private:
    struct Listener {
        std::string port;
        std::function<void()> onWrite;
    };
    friend class TrackedDevice;

    // Called by each device opened through this bus before it writes a report.
    void written(const std::string& port);

    struct PathRecord {
        SysError readWriteError = 0;  // of the last failed read-write open
        SysError queryError = 0;      // of the last failed query open
        bool readWrite = false;       // a read-write open succeeded
        bool query = false;           // an open without access rights succeeded
    };

    std::function<void()> onWrite_;
    std::function<void(const std::string& port)> onWriteAt_;
    mutable std::mutex mutex_;
    std::map<std::u16string, PathRecord, std::less<>> paths_;
    std::list<std::shared_ptr<Listener>> listeners_;
};

}  // namespace tolvane::cli
