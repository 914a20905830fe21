#include "update/report_length_hint.h"

#include "interface_acceptance.h"
#include "output/text_format.h"
#include "port_scope.h"
#include "update/device_list.h"

namespace tolvane::cli {

std::optional<std::string> ReportLengthHint(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                            const std::optional<std::string>& port) {
    constexpr std::uint16_t kLongestDescribable = 255;
    // The download's reports carry a command and its values in their first 9 bytes.
    constexpr std::uint16_t kShortestForDownload = 9;
    for (const ListedInterface& entry : ListInterfaces(bus).interfaces) {
        const bool bootLoader = entry.bootLoader || IsBootLoaderIdentity(entry.attributes);
        const bool ours = bootLoader || SoughtIdentity{.vendorId = vid, .productId = pid}.matches(
                                            entry.attributes);
        if (!entry.opened || !ours || !PortAdmits(port, entry.port)) continue;
        const std::uint16_t length = entry.capabilities.featureReportByteLength;
        if (length > kLongestDescribable) {
            return "the device's feature reports are " + std::to_string(length) +
                   " bytes long; the updater handles at most " +
                   std::to_string(kLongestDescribable) + ", so the device refuses what it is sent";
        }
        // `list` shows such a boot loader, but the search passes over it.
        if (bootLoader && length < kShortestForDownload) {
            const std::string where = entry.port.empty() ? "" : " at port " + Printable(entry.port);
            return "the boot loader" + where + " has feature reports of " + std::to_string(length) +
                   " bytes; a download needs at least " + std::to_string(kShortestForDownload) +
                   ", so the search does not take it (it is not missing)";
        }
    }
    return std::nullopt;
}

}  // namespace tolvane::cli
