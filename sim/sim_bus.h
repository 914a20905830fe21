// The simulated HID bus: virtual devices (SimDevice) that the engine finds, opens and talks to
// through the HidBus seam, with Windows' error behaviour, a transcript of every call and counters
// of what is held. Works on a VirtualTimeline (tests) or a RealTimeline (demos).
//
//   Transcript transcript;
//   SimServices services(transcript);
//   SimBus bus(services.timeline(), transcript);
//   SimDevice& device = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
#pragma once

#include "device_spec.h"
#include "fault.h"
#include "held.h"
#include "hid_bus.h"
#include "sim_device.h"
#include "system_services.h"
#include "timeline.h"
#include "transcript.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tolvane::sim {

class SimBus final : public HidBus {
public:
    SimBus(Timeline& timeline, Transcript& transcript);
    // Cancels what the devices have scheduled on the timeline.
    ~SimBus() override;
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    // Adds a device; it arrives now, or config.appearAfterMs later. The bus keeps it.
    SimDevice& addDevice(DeviceSpec config);
    // Devices in the order added (which is the enumeration order).
    std::vector<SimDevice*> devices() const;
    // Paths of every interface on the bus now, in enumeration order.
    std::vector<std::u16string> presentPaths() const;

    // Faults of the bus itself.
    void failListInterfaces(std::uint32_t times = kAlways);
    void failRegistration(SysError error, std::uint32_t times = kAlways);
    // Virtual or real time that each wait for pending installation spends (capped by its limit).
    void setInstallWaitMs(std::uint32_t ms);

    // Device handles, interface lists and registrations still held.
    Held held() const;

    Timeline& timeline() { return timeline_; }
    Transcript& transcript() { return transcript_; }

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    // The port of the device whose identity on the bus now has the interface at `path`; 2 (the
    // file is not found) for a path that is not on the bus.
    SysError portOf(std::u16string_view path, std::string& port) override;

private:
    friend class SimDevice;
    friend class SimHidDevice;
    friend class SimInterfaceList;
    friend class SimRegistration;

    struct Registration {
        std::uint32_t id = 0;
        NotifyWindow* window = nullptr;
    };

    // With mutex_ held.
    void record(Entry entry);
    SimDevice& addDeviceLocked(DeviceSpec config);
    // The device whose identity on the bus now has the interface at `path`, and that interface.
    std::pair<SimDevice*, std::shared_ptr<InterfaceInstance>> findLocked(std::u16string_view path);
    // Notifications are collected while a change is made and delivered once its call has been
    // recorded, so the transcript always shows the cause before its effects.
    void notifyLocked(std::uint32_t eventType, const std::u16string& path);
    // Delivers the collected notifications; true when there were any.
    bool flushLocked();
    // Records a device's own change once the call that caused it has been recorded.
    void recordChangeLocked(Entry entry);
    // Rebuilds the table portOf reads, after a device arrived or left.
    void updatePortsLocked();

    Timeline& timeline_;
    Transcript& transcript_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<Registration> registrations_;
    std::vector<std::pair<std::uint32_t, std::u16string>> outbox_;
    std::vector<Entry> changes_;
    // Port of every interface present, by its path in lower case (paths compare without regard
    // to case): every window's watcher asks for the port of every arrival, so the answer is a
    // hash lookup, not a walk of the bus. A lock of its own: notifications are delivered with
    // mutex_ held, and a handler that runs on the delivering thread may ask for a port.
    mutable std::mutex portsMutex_;
    std::unordered_map<std::u16string, std::string> portsByPath_;
    Fault listFault_;
    Fault registrationFault_;
    std::uint32_t installWaitMs_ = 0;
    std::uint32_t nextHandle_ = 1;
    std::uint32_t nextRegistration_ = 1;
    int handlesHeld_ = 0;
    int listsHeld_ = 0;
    int registrationsHeld_ = 0;
};

}  // namespace tolvane::sim
