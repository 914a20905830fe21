#include "report_descriptor.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

namespace tolvane::hidraw {
namespace {

enum ItemType : std::uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : std::uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC,
};

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

// Bits per report of one top-level collection, by kind and report identifier.
using ReportBits = std::array<std::map<std::uint32_t, std::uint64_t>, 3>;

std::uint16_t ByteLength(std::uint64_t bits) {
    const std::uint64_t bytes = (bits + 7) / 8 + 1;
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(bytes, 0xFFFF));
}

HidCapabilities LengthsOf(const ReportBits& reports) {
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

void AddBits(ReportBits& reports, std::size_t kind, std::uint32_t reportId, std::uint64_t bits) {
    if (bits == 0) {
        return;  // a field of no bits makes no report
    }
    std::uint64_t& total = reports[kind][reportId];
    total = std::min(total + std::min(bits, kBitsCap), kBitsCap);
}

// Applies a global item; false for a Pop with nothing pushed.
bool ApplyGlobal(GlobalState& globals, std::vector<GlobalState>& pushed, std::uint8_t tag,
                 std::uint32_t value) {
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
                return false;
            }
            globals = pushed.back();
            pushed.pop_back();
            break;
        default:
            break;
    }
    return true;
}

// The report sets of the top-level collections; main items met before the first collection
// count for the first one (or make one if the descriptor has none).
std::vector<CollectionReportSet> SetsOf(std::vector<ReportBits> collections, ReportBits before) {
    if (collections.empty()) {
        collections.push_back(std::move(before));
    } else {
        for (std::size_t kind = 0; kind < before.size(); ++kind) {
            for (const auto& [id, bits] : before[kind]) {
                AddBits(collections.front(), kind, id, bits);
            }
        }
    }
    std::vector<CollectionReportSet> sets;
    sets.reserve(collections.size());
    for (const ReportBits& reports : collections) {
        CollectionReportSet set{.lengths = LengthsOf(reports), .ids = {}};
        for (std::size_t kind = 0; kind < reports.size(); ++kind) {
            for (const auto& [id, bits] : reports[kind]) {
                set.ids[kind].push_back(id);
            }
        }
        sets.push_back(std::move(set));
    }
    return sets;
}

}  // namespace

std::optional<std::vector<CollectionReportSet>> ReportsByCollection(
    std::span<const std::uint8_t> descriptor) {
    GlobalState globals;
    std::vector<GlobalState> pushed;
    std::vector<ReportBits> collections;
    // Main items met before the first top-level collection.
    ReportBits before;
    std::size_t depth = 0;

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
            } else if (tag == kCollection) {
                if (depth == 0) {
                    collections.emplace_back();
                }
                ++depth;
                continue;
            } else if (tag == kEndCollection) {
                // An unmatched End Collection is tolerated, as lenient parsers do.
                depth -= depth != 0 ? 1 : 0;
                continue;
            } else {
                continue;
            }
            const std::uint64_t bits = std::uint64_t{globals.reportSize} * globals.reportCount;
            AddBits(collections.empty() ? before : collections.back(), kind, globals.reportId,
                    bits);
        } else if (type == kGlobal && !ApplyGlobal(globals, pushed, tag, value)) {
            return std::nullopt;
        }
    }
    return SetsOf(std::move(collections), std::move(before));
}

std::optional<std::vector<HidCapabilities>> ReportLengthsByCollection(
    std::span<const std::uint8_t> descriptor) {
    auto sets = ReportsByCollection(descriptor);
    if (!sets) {
        return std::nullopt;
    }
    std::vector<HidCapabilities> lengths;
    lengths.reserve(sets->size());
    for (const CollectionReportSet& set : *sets) {
        lengths.push_back(set.lengths);
    }
    return lengths;
}

SysError RefusalOf(const CollectionReportSet& collection, ReportType type,
                   std::span<const std::uint8_t> report) {
    const std::uint16_t length = type == ReportType::Output
                                     ? collection.lengths.outputReportByteLength
                                     : collection.lengths.featureReportByteLength;
    if (type == ReportType::Output && length == 0) {
        return kErrorInvalidFunction;
    }
    if (report.size() < length || (type == ReportType::Feature && report.size() != length)) {
        return kErrorInvalidParameter;
    }
    if (report.size() > length) {
        return kErrorInvalidUserBuffer;
    }
    const auto& ids = collection.ids[static_cast<std::size_t>(type)];
    if (std::find(ids.begin(), ids.end(), std::uint32_t{report[0]}) == ids.end()) {
        return kErrorInvalidParameter;
    }
    return 0;
}

}  // namespace tolvane::hidraw
