#include "update/device_list.h"

#include "dfu_engine.h"
#include "interface_acceptance.h"
#include "interface_walk.h"
#include "output/run_report.h"
#include "output/text_format.h"
#include "result_message.h"
#include "text.h"
#include "versions/release_number.h"

#include <cstdio>

namespace tolvane::cli {
InterfaceListing ListInterfaces(HidBus& bus) {
    InterfaceListing listing;
    auto list = bus.listInterfaces();
    if (!list) {
        listing.error = kErrorGenFailure;
        return listing;
    }
    WalkInterfaces(*list, [&](const std::u16string& path) {
        ListedInterface entry;
        entry.path = path;
        SysError error = 0;
        if (auto device = bus.open(entry.path, DeviceAccess::None, error)) {
            entry.opened = device->getAttributes(entry.attributes) == 0 &&
                           device->getCapabilities(entry.capabilities) == 0;
            if (device->getSerialNumber(entry.serial) != 0) entry.serial.clear();
        }
        if (bus.portOf(entry.path, entry.port) != 0) entry.port.clear();
        // A boot loader as the engine's search would take it, or one its path names.
        entry.bootLoader = IsBootLoaderPath(entry.path) ||
                           (entry.opened && SearchAccepts(kBootLoaderIdentities, entry.attributes,
                                                          entry.capabilities));
        listing.interfaces.push_back(std::move(entry));
        return true;
    });
    return listing;
}

std::string FormatInterface(const ListedInterface& entry) {
    std::string line;
    if (entry.opened) {
        char ids[96];
        std::snprintf(
            ids, sizeof ids, "%04x:%04x  in %3u  out %3u  feature %3u  ", entry.attributes.vendorId,
            entry.attributes.productId, entry.capabilities.inputReportByteLength,
            entry.capabilities.outputReportByteLength, entry.capabilities.featureReportByteLength);
        line = ids;
    } else {
        line = "????:????  (cannot be opened)                 ";
    }
    // What the device and the slot file say is shown with its control characters escaped.
    line += Printable(ToUtf8(entry.path));
    line += "  port " + (entry.port.empty() ? std::string("-") : Printable(entry.port));
    if (!entry.slot.empty()) line += "  slot " + Printable(entry.slot);
    line +=
        "  serial " + (entry.serial.empty() ? std::string("-") : Printable(ToUtf8(entry.serial)));
    if (entry.opened) line += "  version " + ReleaseText(entry.attributes.versionNumber);
    if (entry.bootLoader) line += "  [boot loader]";
    return line;
}

Json InterfaceToJson(const ListedInterface& entry) {
    Json json;
    json["path"] = ToUtf8(entry.path);
    if (entry.opened) {
        json["vid"] = entry.attributes.vendorId;
        json["pid"] = entry.attributes.productId;
        json["input_report_length"] = entry.capabilities.inputReportByteLength;
        json["output_report_length"] = entry.capabilities.outputReportByteLength;
        json["feature_report_length"] = entry.capabilities.featureReportByteLength;
        json["version"] = ReleaseText(entry.attributes.versionNumber);
    }
    json["port"] = entry.port;
    json["serial"] = ToUtf8(entry.serial);
    json["boot_loader"] = entry.bootLoader;
    json["slot"] = entry.slot.empty() ? Json(nullptr) : Json(entry.slot);
    return json;
}

}  // namespace tolvane::cli
