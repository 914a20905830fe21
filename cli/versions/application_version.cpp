#include "versions/application_version.h"

namespace tolvane::cli {

std::optional<std::uint16_t> ApplicationVersionAt(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                                  const std::optional<std::string>& port) {
    auto list = bus.listInterfaces();
    if (!list) return std::nullopt;
    for (std::uint32_t index = 0;; ++index) {
        std::u16string path;
        const InterfaceLookup lookup = list->interfacePath(index, path);
        if (lookup == InterfaceLookup::End) break;
        if (lookup == InterfaceLookup::Failed) continue;
        if (port) {
            std::string at;
            if (bus.portOf(path, at) != 0 || at != *port) continue;
        }
        SysError error = 0;
        auto device = bus.open(path, DeviceAccess::None, error);
        HidAttributes attributes;
        if (device && device->getAttributes(attributes) == 0 && attributes.vendorId == vid &&
            attributes.productId == pid) {
            return attributes.versionNumber;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> AwaitApplication(HidBus& bus, SystemServices& services,
                                              std::uint16_t vid, std::uint16_t pid,
                                              const std::optional<std::string>& port,
                                              std::uint32_t timeoutMs,
                                              const std::function<bool()>& stop) {
    const std::uint64_t start = services.nowMs();
    for (;;) {
        if (auto version = ApplicationVersionAt(bus, vid, pid, port)) return version;
        if (services.nowMs() - start >= timeoutMs || (stop && stop())) return std::nullopt;
        services.sleep(kApplicationLookMs);
    }
}

}  // namespace tolvane::cli
