// hidraw events from a udev netlink monitor.
#pragma once

#include "hid_bus.h"
#include "hidraw_event_source.h"
#include "udev_handles.h"

#include <memory>

namespace tolvane::hidraw {

class UdevEventSource final : public HidrawEventSource {
public:
    // A monitor for the "hidraw" subsystem, receiving from the moment this returns. Null and the
    // error number on failure.
    static std::unique_ptr<UdevEventSource> Create(SysError& error);

    UdevEventSource(UdevPtr context, UdevMonitorPtr monitor) noexcept
        : context_(std::move(context)), monitor_(std::move(monitor)) {}

    SourceWait wait(int stopFd, int timeoutMs, int& error) override;
    SourceReceive receive(HidrawEvent& event) override;

private:
    UdevPtr context_;
    UdevMonitorPtr monitor_;
};

}  // namespace tolvane::hidraw
