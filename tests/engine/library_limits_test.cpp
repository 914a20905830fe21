// The six exports over a simulated boot loader on the virtual clock: what a caller of the library
// gets from DFU_Download when the boot loader holds a data report.
#include "library_engine.h"
#include "sim_world.h"

// After the engine's headers: the C header's result-code macros share the engine's names.
#include "tolvane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace tolvane::library {
namespace {

// The world the exports run on in the current test.
sim::SimWorld* current = nullptr;

}  // namespace

tolvane::DfuEngine& LibraryEngine() noexcept {
    return current->engine;
}

namespace {

class LibraryLimitsTest : public ::testing::Test {
protected:
    LibraryLimitsTest() { current = &world; }
    ~LibraryLimitsTest() override { current = nullptr; }

    // A boot loader that takes data report `report`, then holds it `holdMs`.
    sim::SimDevice& AddHoldingBootLoader(std::uint32_t report, std::uint32_t holdMs) {
        sim::DeviceSpec config = sim::DeviceSpec::bootLoaderOnly();
        config.holdRules.push_back({sim::ReportKind::Data, report, holdMs});
        return world.bus.addDevice(config);
    }

    std::uint32_t Download(const std::vector<std::uint8_t>& image) {
        std::uint32_t sum = 0;
        for (const std::uint8_t byte : image) sum += byte;
        return DFU_Download(image.data(), 0, static_cast<std::uint32_t>(image.size()), sum);
    }

    // How often the report carrying these image bytes was sent.
    std::size_t TimesSent(const std::vector<std::uint8_t>& payload) const {
        const auto sent = world.transcript.reportsSent();
        return static_cast<std::size_t>(std::count_if(sent.begin(), sent.end(), [&](const auto& e) {
            return e.bytes.size() == 65 &&
                   std::equal(payload.begin(), payload.end(), e.bytes.begin() + 1);
        }));
    }

    sim::SimWorld world;
};

std::vector<std::uint8_t> Image() {
    std::vector<std::uint8_t> image(64 * 5);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i / 64 + 1);
    return image;
}

TEST_F(LibraryLimitsTest, DataReportHeldSixSecondsStillGoesThrough) {
    sim::SimDevice& device = AddHoldingBootLoader(3, 6000);
    const auto image = Image();
    EXPECT_EQ(Download(image), DFU_SUCCESS);
    EXPECT_EQ(device.memory().image, image);
    EXPECT_EQ(DFU_GetPercentage(), 100u);
}

TEST_F(LibraryLimitsTest, DataReportHeldFortySecondsFailsWithTheCancellationAndIsSentOnce) {
    sim::SimDevice& device = AddHoldingBootLoader(3, 40000);
    const auto image = Image();
    const std::uint64_t start = world.nowMs();
    EXPECT_EQ(Download(image), 995u);
    EXPECT_EQ(TimesSent(std::vector<std::uint8_t>(64, 3)), 1u) << world.transcript.dump();
    EXPECT_EQ(TimesSent(std::vector<std::uint8_t>(64, 4)), 0u);
    EXPECT_EQ(device.memory().image.size(), 3u * 64u);
    EXPECT_EQ(device.memory().checksumAnswers, 0u);
    EXPECT_LT(DFU_GetPercentage(), 100u);
    // The search, the pause after the setup, the 30 s limit, the final installation wait.
    EXPECT_LT(world.nowMs() - start, 31000u);
}

}  // namespace
}  // namespace tolvane::library
