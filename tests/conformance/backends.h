// The backends the conformance suites run against. Each backend file (sim, Linux, Windows)
// instantiates the suites with the backends it can make on the machine that runs it.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tolvane::conformance {

// An interface the HID bus suite talks to, with what the backend knows it must answer.
struct KnownInterface {
    std::u16string path;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    // Known report lengths: a 65-byte feature report and a 9-byte output report, report
    // identifier 0 (the lengths count its byte). Unknown for a device the suite did not make.
    std::optional<HidCapabilities> capabilities;
    std::optional<std::u16string> serial;  // none: whatever the device has
    std::string port;
    // The node the bus names for its device; empty: any non-empty name.
    std::string deviceNode{};
};

// One HID bus with the services its registrations need.
class BusBackend {
public:
    virtual ~BusBackend() = default;
    virtual HidBus& bus() = 0;
    virtual SystemServices& services() = 0;
    // A path in the platform's form that names no interface.
    virtual std::u16string absentPath() = 0;
    // The interface to talk to; none where the backend has no device.
    virtual std::optional<KnownInterface> device() { return std::nullopt; }
    // A present interface the user has no rights to; empty where there is none.
    virtual std::u16string refusingPath() { return {}; }
    // Takes the device away and returns once the bus no longer lists it; false where the backend
    // cannot.
    virtual bool unplug() { return false; }

    // Reports of the right length reach the device (not plain files standing in for nodes).
    bool transfers = true;
    // Handles that were open answer kErrorDeviceNotConnected once their device went.
    bool handlesSeeRemoval = true;
    // The backend can tell a present interface's serial number and port (WebHID tells neither:
    // kErrorInvalidFunction).
    bool tellsSerialAndPort = true;
    // The bus names device nodes (HidBus::deviceNodeOf is not left to the seam's default).
    bool namesDeviceNodes = false;
};

// One set of system services.
class ServicesBackend {
public:
    virtual ~ServicesBackend() = default;
    virtual SystemServices& services() = 0;
    // Time passes only in the backend's own waits: nothing another thread does in real time
    // happens during them.
    bool virtualClock = false;
    // The clock's steps in milliseconds (Windows' tick is about 16 ms).
    std::uint64_t clockStepMs = 1;
    // Other threads exist (not in a page, where the program has the page's one thread).
    bool threads = true;
};

template <typename Backend>
struct Maker {
    std::string name;
    std::function<std::unique_ptr<Backend>()> make;
};

using BusMaker = Maker<BusBackend>;
using ServicesMaker = Maker<ServicesBackend>;

// Test names from the backends' names.
struct MakerName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

}  // namespace tolvane::conformance
