// The transcript: every call the engine makes on the simulated bus and services, in order, with
// the virtual (or real) time at which it was made, plus what the simulated devices did on their
// own (arrivals, removals). Thread-safe; tests read copies.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace tolvane::sim {

enum class Call : std::uint8_t {
    // HID bus.
    ListInterfaces,   // value: interfaces in the snapshot; error 1 when no list was given
    DestroyList,      //
    InterfaceLookup,  // value: index; result: InterfaceLookup; path
    Open,             // path; value: DeviceAccess; handle; error
    CloseDevice,      // handle
    GetAttributes,    // handle; error; value: vendor << 16 | product
    GetCapabilities,  // handle; error; value: feature report length
    SetFeature,       // handle; bytes sent; error
    GetFeature,       // handle; bytes answered (the buffer on entry when it failed); error
    WriteOutput,      // handle; bytes written; error
    WaitInstall,      // value: time-out
    Register,         // error; handle: registration number
    Unregister,       // handle: registration number
    // System services.
    Sleep,             // value: ms
    CreateEvent,       // handle: event number; error
    SignalEvent,       // handle; error
    WaitEvent,         // handle; value: time-out; result: WaitResult; atMs: when it returned
    CloseEvent,        // handle
    CreateWindow,      // handle: window number; value: button width << 16 | height; error
    DestroyWindow,     // handle; error (5 from another thread)
    MessageBox,        // path: text; text: caption
    Dispatch,          // handle: window; value: event type; result: device type; path: name
    CommandSwallowed,  // handle: window; value: 1 (OK) or 2 (close)
    // What the simulated devices did by themselves.
    DeviceArrived,      // path; value: vendor << 16 | product
    DeviceQueryRemove,  // path
    DeviceRemoved,      // path
    Note,               // text
};

const char* CallName(Call call);

struct Entry {
    std::uint64_t atMs = 0;
    Call call = Call::Note;
    SysError error = 0;
    std::uint32_t value = 0;
    std::uint32_t handle = 0;
    int result = 0;
    std::u16string path{};
    std::u16string text{};
    std::vector<std::uint8_t> bytes{};
    std::uint64_t startMs = 0;  // WaitEvent: when the wait began (atMs: when it returned)

    // True for the calls the engine makes, false for what the devices did by themselves.
    bool isEngineCall() const;
    std::string toString() const;
};

std::ostream& operator<<(std::ostream& out, const Entry& entry);

class Transcript {
public:
    void record(Entry entry);

    std::vector<Entry> entries() const;
    // The entries from position `first` on: take size() before a step, look at what it did.
    std::vector<Entry> since(std::size_t first) const;
    std::vector<Entry> of(Call call) const;
    std::vector<Entry> of(std::initializer_list<Call> calls) const;
    std::size_t count(Call call) const;
    std::size_t size() const;

    // Every feature and output report the engine tried to send, in order, accepted or not.
    std::vector<Entry> reportsSent() const;
    // Only those that went through.
    std::vector<Entry> reportsAccepted() const;
    // The durations of the engine's sleeps, in order.
    std::vector<std::uint32_t> sleeps() const;
    // The time-outs of the waits for pending installation, in order.
    std::vector<std::uint32_t> installWaits() const;
    // The event waits, with time-out and result.
    std::vector<Entry> waits() const;

    // The whole transcript, one entry a line, for failure messages.
    std::string dump() const;
    void clear();

    // Report bytes are kept by default; long demonstration runs can drop them.
    void setRecordReportBytes(bool record);

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    bool recordBytes_ = true;
};

// UTF-16 to printable ASCII (other characters as '?'), for messages.
std::string Narrow(std::u16string_view text);

}  // namespace tolvane::sim
