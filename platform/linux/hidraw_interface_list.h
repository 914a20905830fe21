// A snapshot of the hidraw nodes present when the list was made, as interface paths.
#pragma once

#include "hid_bus.h"

#include <string>
#include <vector>

namespace tolvane::hidraw {

class HidrawInterfaceList final : public HidInterfaceList {
public:
    explicit HidrawInterfaceList(std::vector<std::u16string> paths) noexcept
        : paths_(std::move(paths)) {}

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override;

private:
    std::vector<std::u16string> paths_;
};

}  // namespace tolvane::hidraw
