// A simulated world per test, with the checks every engine test ends with: nothing held, no
// device open.
#pragma once

#include "sim_world.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tolvane::test {

using sim::DeviceSpec;
using sim::Entry;
using sim::Mode;
using sim::ReportKind;
using sim::SimDevice;

class EngineTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_FALSE(world.engine.state().target.handle) << "a device is still open";
        if (world.engine.state().initialized == 0) {
            EXPECT_TRUE(world.held().none()) << world.held() << "\n" << world.transcript.dump();
        } else {
            EXPECT_EQ(world.bus.held().deviceHandles, 0);
            EXPECT_EQ(world.bus.held().interfaceLists, 0);
        }
    }

    const EngineState& state() const { return world.engine.state(); }
    std::uint64_t now() { return world.nowMs(); }

    // Image bytes that differ from report to report.
    static std::vector<std::uint8_t> MakeImage(std::size_t size) {
        std::vector<std::uint8_t> image(size);
        for (std::size_t i = 0; i < size; ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 1);
        }
        return image;
    }

    // A boot loader on the bus now whose interface has the given feature report length.
    SimDevice& AddBootLoader(std::uint16_t featureLength = 65, std::uint16_t productId = 0x030B) {
        DeviceSpec config = DeviceSpec::bootLoaderOnly(productId);
        config.bootLoader.interfaces[0].featureReportLength = featureLength;
        return world.bus.addDevice(config);
    }

    ResultCode Download(const std::vector<std::uint8_t>& image, std::uint32_t address = 0) {
        return world.engine.Download(image.data(), address,
                                     static_cast<std::uint32_t>(image.size()),
                                     ImageChecksum(image.data(), image.size()));
    }

    std::vector<Entry> SentOfLength(std::size_t length) const {
        std::vector<Entry> result;
        for (const Entry& entry : world.transcript.reportsSent()) {
            if (entry.bytes.size() == length) result.push_back(entry);
        }
        return result;
    }

    sim::SimWorld world;
};

// A report of `length` bytes that starts with `head` and is zero after it.
inline std::vector<std::uint8_t> Report(std::size_t length,
                                        std::initializer_list<std::uint8_t> head) {
    std::vector<std::uint8_t> report(length, 0);
    std::copy(head.begin(), head.end(), report.begin());
    return report;
}

inline const std::vector<std::uint8_t> kQuery65 = Report(65, {0x00, 0x22, 0, 0, 0, 0, 0, 0x02});

}  // namespace tolvane::test
