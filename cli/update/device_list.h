// The list command: every HID interface present, with identifiers, report lengths and path.
#pragma once

#include "hid_bus.h"
#include "output/run_report.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::cli {

struct ListedInterface {
    std::u16string path;
    bool opened = false;  // attributes and lengths are known only when it could be opened
    HidAttributes attributes;
    HidCapabilities capabilities;
    bool bootLoader = false;
    std::string port;  // where its USB device sits; empty when the system cannot tell
    std::u16string serial;
    std::string slot;  // the port's name in --slots; empty when it has none
};

struct InterfaceListing {
    SysError error = 0;  // kErrorGenFailure when the bus gave no list
    std::vector<ListedInterface> interfaces;
};

// Opens each interface without access rights, which is enough to read its attributes and
// capabilities, and closes it again.
InterfaceListing ListInterfaces(HidBus& bus);

// "5c3b:030b  in 0  out 0  feature 65  \\?\HID#...  port 1-2  slot s1  serial -  version 1.00"
// and "[boot loader]" for one
std::string FormatInterface(const ListedInterface& entry);
Json InterfaceToJson(const ListedInterface& entry);

}  // namespace tolvane::cli
