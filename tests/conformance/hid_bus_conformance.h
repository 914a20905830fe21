// The HID bus suite's fixture; hid_bus_conformance.cpp holds the tests, each backend file its
// instantiation.
#pragma once

#include "backends.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace tolvane::conformance {

class HidBusConformance : public ::testing::TestWithParam<BusMaker> {
protected:
    void SetUp() override { backend_ = GetParam().make(); }

    HidBus& bus() { return backend_->bus(); }

    std::vector<std::u16string> listed() {
        std::vector<std::u16string> paths;
        const auto list = bus().listInterfaces();
        EXPECT_NE(list, nullptr) << "a working bus gives a list, empty when nothing is there";
        std::u16string path;
        for (std::uint32_t i = 0; list && i < 4096; ++i) {
            const InterfaceLookup lookup = list->interfacePath(i, path);
            if (lookup == InterfaceLookup::End) {
                EXPECT_EQ(list->interfacePath(i + 1, path), InterfaceLookup::End);
                break;
            }
            if (lookup == InterfaceLookup::Found) {
                paths.push_back(path);
            }
        }
        return paths;
    }

    static bool SamePath(std::u16string_view a, std::u16string_view b) {
        const auto fold = [](char16_t c) { return c < 128 ? std::tolower(c) : c; };
        return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                          [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
    }

    bool lists(std::u16string_view wanted) {
        const auto paths = listed();
        return std::any_of(paths.begin(), paths.end(),
                           [&](const auto& path) { return SamePath(path, wanted); });
    }

    std::unique_ptr<HidDevice> openReadWrite(const KnownInterface& device) {
        SysError error = 1;
        auto handle = bus().open(device.path, DeviceAccess::ReadWrite, error);
        EXPECT_NE(handle, nullptr) << "error " << error;
        EXPECT_EQ(error, 0u);
        return handle;
    }

    std::unique_ptr<BusBackend> backend_;
};

}  // namespace tolvane::conformance
