#include "report_length_hint.h"

#include "device_list.h"

namespace tolvane::cli {

std::optional<std::string> ReportLengthHint(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                            const std::optional<std::string>& port) {
    constexpr std::uint16_t kLongestDescribable = 255;
    for (const ListedInterface& entry : ListInterfaces(bus).interfaces) {
        const bool ours = entry.bootLoader ||
                          (entry.attributes.vendorId == vid && entry.attributes.productId == pid);
        if (!entry.opened || !ours || (port && entry.port != *port)) continue;
        const std::uint16_t length = entry.capabilities.featureReportByteLength;
        if (length <= kLongestDescribable) continue;
        return "the device's feature reports are " + std::to_string(length) +
               " bytes long; the updater handles at most " + std::to_string(kLongestDescribable) +
               ", so the device refuses what it is sent";
    }
    return std::nullopt;
}

}  // namespace tolvane::cli
