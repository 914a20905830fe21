// Whole updates in the browser build: over the simulated target on the virtual clock (the engine
// and the simulator as compiled for the page), and over the WebHID backend against the mock
// target, as the page runs it.
#include "dfu_engine.h"
#include "mock_control.h"
#include "sim_services.h"
#include "update_sequence.h"
#include "virtual_target.h"
#include "web_hid_bus.h"
#include "web_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane {
namespace {

std::vector<std::uint8_t> Image(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return image;
}

UpdateRequest Request(const std::vector<std::uint8_t>& image) {
    UpdateRequest request;
    request.vid = 0x5C3B;
    request.pid = 0x0326;
    request.image = image.data();
    request.size = static_cast<std::uint32_t>(image.size());
    request.checksum = ImageChecksum(image.data(), image.size());
    return request;
}

TEST(WebUpdate, SimulatedTargetOnTheVirtualClockReceivesTheImage) {
    sim::Transcript transcript;
    sim::SimServices services(transcript);
    sim::VirtualTargetOptions options;
    sim::VirtualTarget target(services.timeline(), transcript, options);
    const auto image = Image(40000);
    DfuEngine engine(target.bus(), services);
    engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(RunUpdate(engine, Request(image)), DFU_SUCCESS);
    engine.StopProgramDeviceChangeWatcher();
    EXPECT_TRUE(target.received(image));
    EXPECT_GT(services.timeline().nowMs(), 2 * options.reenumerationMs) << "virtual time passed";
}

TEST(WebUpdate, MockTargetOverWebHidReceivesTheImage) {
    web::testing::MockReset();
    web::testing::MockTargetPlug(30);
    web::WebHidBus bus;
    web::WebServices services;
    const auto image = Image(5000);
    DfuEngine engine(bus, services);
    engine.StartProgramDeviceChangeWatcher();
    std::vector<UpdateStep> ended;
    UpdateObserver observer;
    observer.stepEnds = [&](UpdateStep step, ResultCode) { ended.push_back(step); };
    EXPECT_EQ(RunUpdate(engine, Request(image), observer), DFU_SUCCESS);
    engine.StopProgramDeviceChangeWatcher();
    EXPECT_EQ(ended.size(), 3u);
    EXPECT_TRUE(web::testing::MockTargetHolds(image));
    web::testing::MockReset();
}

}  // namespace
}  // namespace tolvane
