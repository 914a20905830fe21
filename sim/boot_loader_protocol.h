// The device side of the download protocol, as the simulated boot loader runs it. Every report is
// a feature report with report ID 0x00, featureReportByteLength long:
//   query  (Set)  byte 1 0x22, byte 7 0x02: a start query before a setup, a finish query after it
//   answer (Get)  after a start query: zeros; after a finish query: bytes 1 and 2 the high and
//                 low byte of the 16-bit sum of the bytes received
//   setup  (Set)  byte 1 0x33, bytes 2..4 load address, bytes 5..7 size (24 bits each, high first)
//   data   (Set)  no command byte: while announced bytes are outstanding, each report carries
//                 min(bytes left, length - 1) of them in bytes 1..n
//   reset  (Set)  byte 1 0x44 outside the data phase (the device then leaves; not handled here)
#pragma once

#include "device_memory.h"
#include "device_spec.h"

#include <cstdint>
#include <span>

namespace tolvane::sim {

class BootLoaderProtocol {
public:
    // What a Set feature report with report ID 0x00 means in the current phase.
    ReportKind classifySet(std::span<const std::uint8_t> report) const;
    // What a Get feature report means in the current phase.
    ReportKind classifyGet() const;

    // Applies a Set that the device accepted.
    void applySet(ReportKind kind, std::span<const std::uint8_t> report, DeviceMemory& memory);
    // Fills the answer of a Get that the device accepted (byte 0 stays the report ID).
    void answerGet(ReportKind kind, std::span<std::uint8_t> report, DeviceMemory& memory,
                   bool wrongChecksum);

    // Back to the start, as after a restart of the device.
    void reset() { *this = BootLoaderProtocol{}; }

private:
    enum class Phase : std::uint8_t {
        Idle,       // waiting for a start query
        Started,    // start query seen
        Receiving,  // announced bytes outstanding
        Received,   // all announced bytes in
        Finishing,  // finish query seen: the next Get answers the checksum
    };

    void receive(std::span<const std::uint8_t> bytes, DeviceMemory& memory);

    Phase phase_ = Phase::Idle;
    std::uint32_t bytesLeft_ = 0;
};

}  // namespace tolvane::sim
