#include "versions/application_version.h"

#include "interface_acceptance.h"
#include "interface_walk.h"
#include "port_scope.h"

namespace tolvane::cli {

std::optional<std::uint16_t> ApplicationVersionAt(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                                  const std::optional<std::string>& port) {
    auto list = bus.listInterfaces();
    if (!list) return std::nullopt;
    const SoughtIdentity application{.vendorId = vid, .productId = pid};
    std::optional<std::uint16_t> version;
    WalkInterfaces(*list, [&](const std::u16string& path) {
        if (!PortAdmits(bus, path, port)) return true;
        SysError error = 0;
        auto device = bus.open(path, DeviceAccess::None, error);
        HidAttributes attributes;
        if (device && device->getAttributes(attributes) == 0 && application.matches(attributes)) {
            version = attributes.versionNumber;
        }
        return !version;
    });
    return version;
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
