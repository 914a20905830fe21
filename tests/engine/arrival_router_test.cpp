// The router hands a device's arrivals and removals to the windows waiting at its port only, and
// every change it cannot place to all of them, so that no window misses what it waits for.
#include "arrival_router.h"
#include "dispatch_thread.h"
#include "engine_fixture.h"

#include <mutex>

namespace tolvane::test {
namespace {

// A window of its own thread, registered through a bus, that keeps what it hears.
class Listener final : private DeviceChangeHandler {
public:
    Listener(sim::SimServices& services, HidBus& bus) : ui_(services) {
        ui_.run([&] {
            SysError error = 0;
            window_ = services.createNotifyWindow({}, *this, error);
            registration_ = bus.registerNotifications(*window_, error);
        });
    }
    ~Listener() {
        ui_.run([&] {
            registration_.reset();
            window_->destroy();
        });
    }
    void unregister() {
        ui_.run([&] { registration_->unregister(); });
    }
    std::vector<std::pair<std::uint32_t, std::u16string>> heard() {
        const std::lock_guard lock(mutex_);
        return heard_;
    }

private:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        const std::lock_guard lock(mutex_);
        heard_.emplace_back(message.eventType, message.name);
    }

    sim::DispatchThread ui_;
    std::unique_ptr<NotifyWindow> window_;
    std::unique_ptr<NotificationRegistration> registration_;
    std::mutex mutex_;
    std::vector<std::pair<std::uint32_t, std::u16string>> heard_;
};

using Heard = std::vector<std::pair<std::uint32_t, std::u16string>>;

class ArrivalRouterTest : public EngineTest {
protected:
    SimDevice& first = world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    SimDevice& second = world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    SimDevice& third = world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    ArrivalRouter router{world.bus, world.services};
};

TEST_F(ArrivalRouterTest, ChangesReachTheWindowsAtTheirPortAndUnplacedOnesReachAll) {
    ASSERT_EQ(router.start(), 0u);
    const auto atFirst = router.busFor(first.port());
    const auto atSecond = router.busFor(second.port());
    Listener one(world.services, *atFirst);
    Listener two(world.services, *atSecond);
    EXPECT_EQ(world.bus.held().registrations, 1) << "one registration with the bus, the router's";

    // The engine at the second port has looked its application up, so its removal is placed.
    const std::u16string application = second.pathOf(Mode::Application);
    std::string port;
    ASSERT_EQ(atSecond->portOf(application, port), 0u);
    second.unplug();
    second.plugIn(Mode::BootLoader);
    const std::u16string bootLoader = second.pathOf(Mode::BootLoader);
    EXPECT_EQ(two.heard(),
              (Heard{{kDeviceRemoveComplete, application}, {kDeviceArrival, bootLoader}}));
    EXPECT_TRUE(one.heard().empty());

    // Nobody asked where the third device's application is: its removal reaches every window.
    third.unplug();
    const Heard thirdGone{{kDeviceRemoveComplete, third.pathOf(Mode::Application)}};
    EXPECT_EQ(one.heard(), thirdGone);
    EXPECT_EQ(two.heard().back(), thirdGone.front());

    // A window that unregistered hears nothing more; the others go on hearing.
    two.unregister();
    const std::size_t before = two.heard().size();
    first.unplug();
    first.plugIn(Mode::BootLoader);
    EXPECT_EQ(two.heard().size(), before);
    EXPECT_EQ(one.heard().back(), (std::pair{kDeviceArrival, first.pathOf(Mode::BootLoader)}));
    router.stop();
}

TEST_F(ArrivalRouterTest, WithoutTheRouterRunningEachWindowRegistersWithTheBus) {
    world.bus.failRegistration(kErrorInvalidFunction, 1);
    EXPECT_EQ(router.start(), kErrorInvalidFunction);
    const auto atFirst = router.busFor(first.port());
    Listener one(world.services, *atFirst);
    EXPECT_EQ(world.bus.held().registrations, 1);
    second.unplug();
    EXPECT_EQ(one.heard(), (Heard{{kDeviceRemoveComplete, second.pathOf(Mode::Application)}}));
}

}  // namespace
}  // namespace tolvane::test
