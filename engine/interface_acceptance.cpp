#include "interface_acceptance.h"

#include "dfu_constants.h"

namespace tolvane {

bool IsBootLoaderIdentity(const HidAttributes& attributes) noexcept {
    return attributes.vendorId == DFU_VENDOR_ID &&
           (attributes.productId == DFU_PRODUCT_ID_1 || attributes.productId == DFU_PRODUCT_ID_2);
}

bool SoughtIdentity::matches(const HidAttributes& attributes) const noexcept {
    return (application && attributes.vendorId == vendorId && attributes.productId == productId) ||
           (bootLoaders && IsBootLoaderIdentity(attributes));
}

bool SearchAccepts(const SoughtIdentity& sought, const HidAttributes& attributes,
                   const HidCapabilities& capabilities) noexcept {
    return sought.matches(attributes) && capabilities.featureReportByteLength != 0;
}

std::optional<AcceptedInterface> ReadIfAccepted(HidDevice& device, const SoughtIdentity& sought) {
    AcceptedInterface read;
    if (device.getAttributes(read.attributes) != 0 || !sought.matches(read.attributes)) {
        return std::nullopt;
    }
    if (device.getCapabilities(read.capabilities) != 0 ||
        !SearchAccepts(sought, read.attributes, read.capabilities)) {
        return std::nullopt;
    }
    return read;
}

}  // namespace tolvane
