#include "report_descriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>
#include <vector>

namespace tolvane::hidraw {
namespace {

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : std::uint8_t { kInput = 0x8, kOutput = 0x9, kFeature = 0xB };

enum GlobalTag : std::uint8_t {
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB,
};

constexpr std::uint8_t kLongItemPrefix = 0xFE;
// Bits of one report beyond which the length no longer fits 16 bits anyway; accumulating stops
// there, so no sum can wrap.
constexpr std::uint64_t kBitsCap = std::uint64_t{0xFFFF} * 8 * 2;

struct GlobalState {
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint32_t reportId = 0;
};

enum ReportKind : std::size_t { kInputReport = 0, kOutputReport = 1, kFeatureReport = 2 };

std::uint16_t ByteLength(std::uint64_t bits) {
    const std::uint64_t bytes = (bits + 7) / 8 + 1;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
}

}  // namespace

std::optional<HidCapabilities> ReportLengthsFromDescriptor(
    std::span<const std::uint8_t> descriptor) {
    GlobalState globals;
    std::vector<GlobalState> pushed;
    // Bits per report, by kind and report identifier.
    std::array<std::map<std::uint32_t, std::uint64_t>, 3> reports;

    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const std::uint8_t prefix = descriptor[pos];
        const std::size_t remaining = descriptor.size() - pos - 1;
        if (prefix == kLongItemPrefix) {
            // bDataSize, bLongItemTag, then the data.
            if (remaining < 2 || remaining - 2 < descriptor[pos + 1]) {
                return std::nullopt;
            }
            pos += 3 + std::size_t{descriptor[pos + 1]};
            continue;
        }
        const std::size_t sizeCode = prefix & 0x3u;
        const std::size_t dataSize = sizeCode == 3 ? 4 : sizeCode;
        if (remaining < dataSize) {
            return std::nullopt;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < dataSize; ++i) {
            value |= std::uint32_t{descriptor[pos + 1 + i]} << (8 * i);
        }
        pos += 1 + dataSize;

        const auto type = static_cast<std::uint8_t>((prefix >> 2) & 0x3u);
        const auto tag = static_cast<std::uint8_t>(prefix >> 4);
        if (type == kMain) {
            std::size_t kind = 0;
            if (tag == kInput) {
                kind = kInputReport;
            } else if (tag == kOutput) {
                kind = kOutputReport;
            } else if (tag == kFeature) {
                kind = kFeatureReport;
            } else {
                continue;  // Collection, End Collection
            }
            const std::uint64_t bits = std::uint64_t{globals.reportSize} * globals.reportCount;
            std::uint64_t& total = reports[kind][globals.reportId];
            total = std::min(total + std::min(bits, kBitsCap), kBitsCap);
        } else if (type == kGlobal) {
            switch (tag) {
                case kReportSize:
                    globals.reportSize = value;
                    break;
                case kReportId:
                    globals.reportId = value;
                    break;
                case kReportCount:
                    globals.reportCount = value;
                    break;
                case kPush:
                    pushed.push_back(globals);
                    break;
                case kPop:
                    if (pushed.empty()) {
                        return std::nullopt;
                    }
                    globals = pushed.back();
                    pushed.pop_back();
                    break;
                default:
                    break;
            }
        }
    }

    const auto longest = [&reports](std::size_t kind) -> std::uint16_t {
        std::uint16_t length = 0;
        for (const auto& [id, bits] : reports[kind]) {
            length = std::max(length, ByteLength(bits));
        }
        return length;
    };
    HidCapabilities capabilities;
    capabilities.inputReportByteLength = longest(kInputReport);
    capabilities.outputReportByteLength = longest(kOutputReport);
    capabilities.featureReportByteLength = longest(kFeatureReport);
    return capabilities;
}

}  // namespace tolvane::hidraw
