// The one walk over an interface list: each path in the list's order, a lookup that failed
// skipped (the interface left while the list was read), until the visitor has what it wants.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <string>

namespace tolvane {

// Calls `visit(path)` for each interface of `list`; `visit` returns false to stop. True when the
// list was walked to its end, false when `visit` stopped it.
template <typename Visit>
bool WalkInterfaces(HidInterfaceList& list, Visit&& visit) {
    std::u16string path;
    for (std::uint32_t index = 0;; ++index) {
        const InterfaceLookup lookup = list.interfacePath(index, path);
        if (lookup == InterfaceLookup::End) return true;
        if (lookup == InterfaceLookup::Failed) continue;
        if (!visit(path)) return false;
    }
}

}  // namespace tolvane
