#include "boot_loader_protocol.h"

#include <algorithm>

namespace tolvane::sim {

namespace {

constexpr std::uint8_t kQuery = 0x22;
constexpr std::uint8_t kQueryMarker = 0x02;  // byte 7 of a query
constexpr std::uint8_t kSetup = 0x33;
constexpr std::uint8_t kReset = 0x44;

bool IsQuery(std::span<const std::uint8_t> report) {
    return report.size() > 7 && report[1] == kQuery && report[7] == kQueryMarker;
}

std::uint32_t Be24(std::span<const std::uint8_t> bytes) {
    return static_cast<std::uint32_t>(bytes[0]) << 16 | static_cast<std::uint32_t>(bytes[1]) << 8 |
           bytes[2];
}

}  // namespace

ReportKind BootLoaderProtocol::classifySet(std::span<const std::uint8_t> report) const {
    if (report.size() < 2) return ReportKind::OtherFeatureSet;
    if (phase_ == Phase::Receiving) return ReportKind::Data;
    if (phase_ == Phase::Received && IsQuery(report)) return ReportKind::FinishQuery;
    if (IsQuery(report)) return ReportKind::StartQuery;
    if (report[1] == kSetup && report.size() > 7) return ReportKind::Setup;
    if (report[1] == kReset) return ReportKind::ResetFeature00;
    // After the announced count is full, what is neither a command nor a query is more data: a
    // size that did not fit 24 bits announced less than is sent.
    if (phase_ == Phase::Received) return ReportKind::Data;
    return ReportKind::OtherFeatureSet;
}

ReportKind BootLoaderProtocol::classifyGet() const {
    switch (phase_) {
        case Phase::Started:
            return ReportKind::StartAnswer;
        case Phase::Finishing:
            return ReportKind::ChecksumAnswer;
        default:
            return ReportKind::OtherFeatureGet;
    }
}

void BootLoaderProtocol::applySet(ReportKind kind, std::span<const std::uint8_t> report,
                                  DeviceMemory& memory) {
    switch (kind) {
        case ReportKind::StartQuery:
            ++memory.startQueries;
            phase_ = Phase::Started;
            break;
        case ReportKind::Setup:
            ++memory.setups;
            memory.image.clear();
            memory.checksum = 0;
            memory.dataReports = 0;
            memory.loadAddress = Be24(report.subspan(2, 3));
            memory.announcedSize = Be24(report.subspan(5, 3));
            bytesLeft_ = memory.announcedSize;
            phase_ = bytesLeft_ > 0 ? Phase::Receiving : Phase::Received;
            break;
        case ReportKind::Data: {
            const std::size_t capacity = report.size() - 1;
            const std::size_t n =
                phase_ == Phase::Receiving ? std::min<std::size_t>(bytesLeft_, capacity) : capacity;
            receive(report.subspan(1, n), memory);
            if (phase_ == Phase::Receiving) {
                bytesLeft_ -= static_cast<std::uint32_t>(n);
                if (bytesLeft_ == 0) phase_ = Phase::Received;
            }
            break;
        }
        case ReportKind::FinishQuery:
            ++memory.finishQueries;
            phase_ = Phase::Finishing;
            break;
        default:
            ++memory.ignoredReports;
            break;
    }
}

void BootLoaderProtocol::receive(std::span<const std::uint8_t> bytes, DeviceMemory& memory) {
    ++memory.dataReports;
    memory.image.insert(memory.image.end(), bytes.begin(), bytes.end());
    for (std::uint8_t b : bytes) memory.checksum = static_cast<std::uint16_t>(memory.checksum + b);
}

void BootLoaderProtocol::answerGet(ReportKind kind, std::span<std::uint8_t> report,
                                   DeviceMemory& memory, bool wrongChecksum) {
    std::fill(report.begin() + 1, report.end(), std::uint8_t{0});
    if (kind != ReportKind::ChecksumAnswer) return;
    ++memory.checksumAnswers;
    std::uint16_t sum = memory.checksum;
    if (wrongChecksum) sum = static_cast<std::uint16_t>(sum + 1);
    if (report.size() > 2) {
        report[1] = static_cast<std::uint8_t>(sum >> 8);
        report[2] = static_cast<std::uint8_t>(sum & 0xFF);
    }
    phase_ = Phase::Idle;
}

}  // namespace tolvane::sim
