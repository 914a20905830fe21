// Where the monitor thread gets hidraw events from: udev's netlink monitor in the product, a fake
// in tests. The thread only waits and receives; what an event means is the tracker's business.
#pragma once

#include <string>

namespace tolvane::hidraw {

struct HidrawEvent {
    std::string action;      // "add", "remove", ...
    std::string nodeName;    // "hidraw3"
    std::string devicePath;  // ".../0003:5C3B:030B.0007/hidraw/hidraw3", as the event names it
};

enum class SourceWait {
    Ready,     // an event (or an overrun) can be received
    Stopped,   // the stop descriptor became readable
    TimedOut,  // nothing within the time-out
    Failed,    // waiting failed; the source may not be usable any more
};

enum class SourceReceive {
    Event,    // `event` holds one event
    Nothing,  // nothing usable was received
    Overrun,  // the receive buffer overflowed: events were lost
};

class HidrawEventSource {
public:
    virtual ~HidrawEventSource() = default;
    // Waits until an event can be received, `stopFd` is readable or `timeoutMs` has passed (-1:
    // no limit). Failed sets `error` to the errno value of the failure.
    virtual SourceWait wait(int stopFd, int timeoutMs, int& error) = 0;
    // Receives one event without blocking.
    virtual SourceReceive receive(HidrawEvent& event) = 0;
};

}  // namespace tolvane::hidraw
