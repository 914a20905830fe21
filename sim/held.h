// Counts of the simulated resources that are still held: what the engine opened or created and
// has not yet released. Tests assert that all of them are zero after every operation.
#pragma once

#include <ostream>
#include <string>

namespace tolvane::sim {

struct Held {
    int deviceHandles = 0;
    int interfaceLists = 0;
    int events = 0;
    int windows = 0;
    int registrations = 0;

    bool none() const {
        return deviceHandles == 0 && interfaceLists == 0 && events == 0 && windows == 0 &&
               registrations == 0;
    }
    std::string toString() const {
        return "handles " + std::to_string(deviceHandles) + ", lists " +
               std::to_string(interfaceLists) + ", events " + std::to_string(events) +
               ", windows " + std::to_string(windows) + ", registrations " +
               std::to_string(registrations);
    }
    friend Held operator+(Held a, const Held& b) {
        a.deviceHandles += b.deviceHandles;
        a.interfaceLists += b.interfaceLists;
        a.events += b.events;
        a.windows += b.windows;
        a.registrations += b.registrations;
        return a;
    }
    friend bool operator==(const Held&, const Held&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Held& held) {
        return out << held.toString();
    }
};

}  // namespace tolvane::sim
