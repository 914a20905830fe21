// The device-change watcher: its lifecycle in both variants and the checks of its procedure.
#include "dispatch_thread.h"
#include "engine_fixture.h"

namespace tolvane::test {
namespace {

constexpr std::u16string_view kBootLoaderPath =
    u"\\\\?\\hid#vid_5c3b&pid_030b#6&1a2b3c4d&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

TEST(BootLoaderPathTest, MatchesEitherPrefixInAnyCaseOverExactlyItsLength) {
    EXPECT_TRUE(IsBootLoaderPath(kBootLoaderPath));
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\HID#VID_5C3B&PID_0332#X"));
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_030b#"));
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\hId#vId_5C3b&pID_030B#anything"));
    // An interface or collection suffix after the product id: Wine's USB interfaces, Windows'
    // composite boot loaders and those with several top-level collections.
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\HID#VID_5C3B&PID_030B&MI_00#7&2c8e3a1&0&0000#{x}"));
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_030b&col01#x"));
    EXPECT_TRUE(IsBootLoaderPath(u"\\\\?\\hid#vid_5c3b&pid_0332&mi_00&col02#x"));

    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_030b0#x"));
    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_030b_MI_00#x"));
    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_0326&MI_00#x"));
    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_030b"));
    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\HID#Vid_5c3b&Pid_0326#x"));
    EXPECT_FALSE(IsBootLoaderPath(u""));
    EXPECT_FALSE(IsBootLoaderPath(std::u16string(u"\\\\?\\HID#Vid_5c3b\0Pid_030b#", 26)));
    // Only ASCII letters fold: a dotted capital I is not an 'i'.
    EXPECT_FALSE(IsBootLoaderPath(u"\\\\?\\H\u0130D#Vid_5c3b&Pid_030b#"));
}

class WatcherTest : public EngineTest {
protected:
    sim::SimNotifyWindow& Window() { return *world.services.windows().at(0); }
    bool Signaled() { return state().changeEvent->wait(0) == WaitResult::Signaled; }
    void Deliver(std::uint32_t eventType, std::u16string_view path) {
        Window().deliverDeviceChange(eventType, std::u16string(path));
        world.services.dispatchMessages(0);
    }
    // Leaves pendingChange at DfuArrival: the caller names the boot loader itself.
    void AwaitArrival() {
        AddBootLoader();
        ASSERT_EQ(world.engine.ResetToIsp(0x5C3B, 0x030B), DFU_ALREADY_IN_DFU);
        ASSERT_EQ(state().pendingChange, PendingChange::DfuArrival);
        world.services.dispatchMessages(0);
        Signaled();  // the boot loader's own arrival has signalled
    }
    // Leaves pendingChange at DfuRemoval: a boot loader that takes no reset.
    void AwaitRemoval() {
        DeviceSpec config = DeviceSpec::bootLoaderOnly();
        config.bootLoader.interfaces[0].acceptedResets = 0;
        world.bus.addDevice(config);
        ASSERT_EQ(world.engine.ResetToAp(), DFU_ERR_RESET_TO_AP);
        ASSERT_EQ(state().pendingChange, PendingChange::DfuRemoval);
    }
};

TEST_F(WatcherTest, ArrivalSignalsOnlyWhileAnArrivalIsAwaited) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    Deliver(kDeviceArrival, kBootLoaderPath);
    EXPECT_FALSE(Signaled()) << "nothing awaited";

    AwaitRemoval();
    Deliver(kDeviceArrival, kBootLoaderPath);
    EXPECT_FALSE(Signaled()) << "a removal is awaited";
    Deliver(kDeviceQueryRemove, kBootLoaderPath);
    EXPECT_FALSE(Signaled()) << "a removal that is only queried";
    Deliver(kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_0332#7");
    EXPECT_TRUE(Signaled());
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, RemovalDoesNotSignalAnAwaitedArrival) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    AwaitArrival();
    Deliver(kDeviceRemoveComplete, kBootLoaderPath);
    EXPECT_FALSE(Signaled());
    Deliver(kDeviceArrival, u"\\\\?\\hid#vid_5c3b&pid_0326#6&1");
    EXPECT_FALSE(Signaled()) << "the application is not the boot loader";
    Window().deliverOtherDeviceChange(kDeviceArrival, kDevTypeHandle);
    world.services.dispatchMessages(0);
    EXPECT_FALSE(Signaled()) << "not an interface record";
    Deliver(kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_0332#7");
    EXPECT_TRUE(Signaled());
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, TwoMatchingArrivalsLeaveOneSignal) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    AwaitArrival();
    Deliver(kDeviceArrival, kBootLoaderPath);
    Deliver(kDeviceArrival, kBootLoaderPath);
    EXPECT_TRUE(Signaled());
    EXPECT_FALSE(Signaled());
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, StartsOnceStopsOnceAndStartsAgain) {
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS) << "not started";
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.count(sim::Call::CreateWindow), 1u);
    EXPECT_EQ(world.held(), (sim::Held{.events = 1, .windows = 1, .registrations = 1}));
    const auto created = world.transcript.of(sim::Call::CreateWindow);
    EXPECT_EQ(created.at(0).value, (60u << 16) | 14u);

    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_TRUE(world.held().none());
    EXPECT_FALSE(state().notifyWindow || state().changeEvent || state().notifyHandle);

    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.count(sim::Call::CreateWindow), 2u);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, WindowSwallowsItsCommands) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    Window().postCommand(sim::WindowCommand::Ok);
    Window().postCommand(sim::WindowCommand::Close);
    world.services.dispatchMessages(0);
    EXPECT_EQ(world.transcript.count(sim::Call::CommandSwallowed), 2u);
    EXPECT_FALSE(Window().destroyed());
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, FailedWindowIsReportedOnceAndNotRetriedUntilStopped) {
    world.services.failCreateNotifyWindow(8, 1);
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), 8u);
    ASSERT_EQ(world.services.messageBoxes().size(), 1u);
    EXPECT_EQ(world.services.messageBoxes()[0].text, u"Create Dummy Dialog Failed");
    EXPECT_EQ(world.services.messageBoxes()[0].caption, u"Error");
    EXPECT_EQ(state().initialized, 1u);
    EXPECT_FALSE(state().changeEvent) << "nothing after a window failure with an error";

    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.transcript.count(sim::Call::CreateWindow), 1u);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_TRUE(state().notifyWindow && state().changeEvent && state().notifyHandle);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, EventAndRegistrationFailuresAnswerTheirErrors) {
    world.services.failCreateEvent(1450, 1);
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), 1450u);
    EXPECT_FALSE(state().notifyHandle);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);

    world.bus.failRegistration(13, 1);
    EXPECT_EQ(world.engine.StartDeviceChangeWatcher(), 13u);
    EXPECT_TRUE(state().changeEvent);
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherTest, StopFromAnotherThreadReportsTheWindowErrorAndStillEnds) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    ResultCode result = 0;
    std::thread other([&] { result = world.engine.StopDeviceChangeWatcher(); });
    other.join();
    EXPECT_EQ(result, kErrorAccessDenied);
    EXPECT_EQ(state().initialized, 0u);
    EXPECT_FALSE(state().notifyWindow || state().changeEvent || state().notifyHandle);
    EXPECT_EQ(world.held().events, 0);
    EXPECT_EQ(world.held().registrations, 0);
}

TEST_F(WatcherTest, ProgramVariantHasTheLargerButtonAndItsOwnFailureBox) {
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(state().initialized, 1u);
    EXPECT_EQ(world.transcript.of(sim::Call::CreateWindow).at(0).value, (80u << 16) | 20u);
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(world.transcript.count(sim::Call::CreateWindow), 1u);
    world.engine.StopProgramDeviceChangeWatcher();
    EXPECT_TRUE(world.held().none());

    world.services.failCreateNotifyWindow(5, 1);
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(state().initialized, 0u);
    ASSERT_EQ(world.services.messageBoxes().size(), 1u);
    EXPECT_EQ(world.services.messageBoxes()[0].text, u"ERR");
    EXPECT_EQ(world.services.messageBoxes()[0].caption, u"Error Code = 5");
    EXPECT_FALSE(state().changeEvent || state().notifyHandle);
}

TEST_F(WatcherTest, ProgramVariantKeepsAWatcherThatIsAlreadyRunning) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(world.transcript.count(sim::Call::CreateWindow), 1u);
    world.engine.StopProgramDeviceChangeWatcher();
    EXPECT_TRUE(world.held().none());
}

TEST_F(WatcherTest, ProgramVariantIgnoresFailuresAfterTheWindow) {
    world.services.failCreateEvent(1450, 1);
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(state().initialized, 1u);
    EXPECT_FALSE(state().notifyHandle) << "no registration without the event";
    world.engine.StopProgramDeviceChangeWatcher();

    world.bus.failRegistration(13, 1);
    world.engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(state().initialized, 1u);
    EXPECT_TRUE(world.services.messageBoxes().empty());
    world.engine.StopProgramDeviceChangeWatcher();
}

}  // namespace
}  // namespace tolvane::test
