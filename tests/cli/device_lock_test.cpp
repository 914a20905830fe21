// The per-device lock between tool processes. A lock taken through another open file stands in
// for a second process: flock refuses it just the same.
#include "system/device_lock.h"
#include "buses/locking_hid_bus.h"
#include "output/exit_codes.h"
#include "sim_platform.h"
#include "temp_dir.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace tolvane::cli {
namespace {

#ifndef _WIN32
using test::HookedBus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

// Both locks keep one contract: one holder at a time, refused to any other open file description
// (another process, or a script's flock(1) on the same file), let go on every path, and none where
// the system gives none (the update then goes on without it).
TEST(DeviceLockTest, OneHolderAtATime) {
    const tolvane::test::TempDir dir;
    using Take = std::function<std::unique_ptr<DeviceLock>(DeviceLock::Outcome&)>;
    struct Kind {
        const char* name;
        std::string file;  // what a script would flock
        Take take;
        Take takeWhereNone;
    };
    const std::string node = dir.write("hidraw7", std::string());
    const std::string folder = dir.path("");
    const Kind kinds[] = {
        {"node", node, [&](auto& outcome) { return DeviceLock::take(node, outcome); },
         [&](auto& outcome) { return DeviceLock::take(dir.path("gone"), outcome); }},
        {"port", DeviceLock::portLockPath(folder, "1-1.4"),
         [&](auto& outcome) { return DeviceLock::takePortIn(folder, "1-1.4", outcome); },
         [&](auto& outcome) { return DeviceLock::takePortIn(dir.path("gone"), "1-1.4", outcome); }},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        DeviceLock::Outcome outcome{};
        auto first = kind.take(outcome);
        EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
        ASSERT_TRUE(first);
        const std::size_t open = OpenDescriptors();
        EXPECT_FALSE(kind.take(outcome));
        EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
        EXPECT_EQ(OpenDescriptors(), open) << "a refusal keeps nothing open";
        const int script = ::open(kind.file.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(script, 0);
        EXPECT_NE(::flock(script, LOCK_EX | LOCK_NB), 0) << "flock(1) waits for the tool";
        first.reset();
        EXPECT_EQ(::flock(script, LOCK_EX | LOCK_NB), 0);
        EXPECT_FALSE(kind.take(outcome)) << "and the tool for flock(1)";
        EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
        ::close(script);
        EXPECT_TRUE(kind.take(outcome));
        EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
        EXPECT_FALSE(kind.takeWhereNone(outcome));
        EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable);
        EXPECT_EQ(OpenDescriptors(), open - 1) << "every lock let go";
    }
}

// A port's lock file is made once and then shared by every run; its name keeps ports apart
// whatever their characters, and what another user put at that name (a link, a FIFO) is neither
// followed nor waited on: the update then has no port lock.
TEST(DeviceLockTest, PortLockFiles) {
    const tolvane::test::TempDir dir;
    const std::string folder = dir.path("");
    EXPECT_EQ(DeviceLock::portLockPath("/run/lock", "1-1.4"), "/run/lock/tolvane-port-1-1.4.lock");
    EXPECT_EQ(DeviceLock::portLockPath("/tmp", "a/b:%"), "/tmp/tolvane-port-a%2Fb%3A%25.lock");
    DeviceLock::Outcome outcome{};
    EXPECT_TRUE(DeviceLock::takePortIn(folder, "1-1", outcome));
    EXPECT_TRUE(std::filesystem::is_regular_file(DeviceLock::portLockPath(folder, "1-1")));
    const auto held = DeviceLock::takePortIn(folder, "1-1", outcome);
    EXPECT_TRUE(DeviceLock::takePortIn(folder, "1-2", outcome)) << "another port, another lock";
    EXPECT_FALSE(DeviceLock::takePortIn(folder, "", outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable);

    ASSERT_EQ(::mkfifo(DeviceLock::portLockPath(folder, "2-1").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.write("victim", std::string()),
                                    DeviceLock::portLockPath(folder, "2-2"));
    for (const char* port : {"2-1", "2-2"}) {
        EXPECT_FALSE(DeviceLock::takePortIn(folder, port, outcome)) << port;
        EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable) << port;
    }
}

// The node of the application's interfaces ("pid_0326") and of the boot loader's ("pid_030b").
HookedBus::NodeOf NodesIn(const tolvane::test::TempDir& dir) {
    const std::string application = dir.write("hidraw3", std::string());
    const std::string bootLoader = dir.write("hidraw4", std::string());
    return [application, bootLoader](std::u16string_view path) -> std::string {
        if (path.find(u"pid_0326") != std::u16string_view::npos) return application;
        if (path.find(u"pid_030b") != std::u16string_view::npos) return bootLoader;
        return {};
    };
}

std::vector<std::u16string> PathsOn(HidBus& bus) {
    std::vector<std::u16string> paths;
    const auto list = bus.listInterfaces();
    std::u16string path;
    for (std::uint32_t i = 0; list->interfacePath(i, path) == InterfaceLookup::Found; ++i) {
        paths.push_back(path);
    }
    return paths;
}

SysError WriteThrough(HidBus& bus, std::u16string_view path) {
    SysError error = 0;
    const auto device = bus.open(path, DeviceAccess::ReadWrite, error);
    if (!device) return error;
    const std::vector<std::uint8_t> report(65, 0);
    return device->writeOutput(report);
}

// Two tool processes over the simulated bus: the locks are on the port and the node the bus
// names for the device, not on the interface's path, so one device's collections share them and
// the second process gets none of them; one process holds several ports at once; a device with a
// port but no node is kept by its port's lock alone, and one with neither is written without a
// lock.
TEST(LockingHidBusTest, LocksTheDeviceTheBusNames) {
    const tolvane::test::TempDir dir;
    sim::DeviceSpec spec = sim::VirtualTarget::specFor({});
    spec.application.interfaces = {sim::InterfaceSpec{.collectionSuffix = u"&col01"},
                                   sim::InterfaceSpec{.collectionSuffix = u"&col02"}};
    test::ToolBench platform(spec);
    platform.bus().addDevice(sim::DeviceSpec::target(0x5C3B, 0x0999));
    HookedBus named(
        platform.bus(), [](auto) {}, {}, NodesIn(dir));
    const std::vector<std::u16string> paths = PathsOn(named);
    ASSERT_EQ(paths.size(), 3u);

    const std::string folder = dir.path("");
    const LockingHidBus::Taker portIn = [folder](std::string_view port, auto& outcome) {
        return DeviceLock::takePortIn(folder, port, outcome);
    };
    std::optional<LockingHidBus> first(std::in_place, named, &DeviceLock::take, portIn);
    LockingHidBus second(named, &DeviceLock::take, portIn);
    EXPECT_EQ(WriteThrough(*first, paths[0]), 0u);
    EXPECT_EQ(WriteThrough(*first, paths[1]), 0u)
        << "one device, one lock: never refused by itself";
    EXPECT_EQ(WriteThrough(second, paths[1]), kErrorBusy);
    EXPECT_EQ(WriteThrough(second, paths[0]), kErrorBusy);
    EXPECT_THAT(second.busyPaths(), ElementsAre(paths[1], paths[0]));
    EXPECT_TRUE(second.busyAt("1-1"));
    EXPECT_FALSE(second.busyAt("1-2"));
    // The other device, at 1-2, has no node.
    EXPECT_EQ(WriteThrough(*first, paths[2]), 0u);
    EXPECT_EQ(WriteThrough(second, paths[2]), kErrorBusy);
    EXPECT_TRUE(second.busyAt("1-2"));
    LockingHidBus unported(named, &DeviceLock::take, {});
    EXPECT_EQ(WriteThrough(unported, paths[2]), 0u);
    // A script holding the node with flock(1) counts as another process.
    DeviceLock::Outcome outcome{};
    EXPECT_FALSE(DeviceLock::take(dir.path("hidraw3"), outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
    // Refused by the node alone, a process does not keep the port it took for that device.
    first.reset();
    const auto script = DeviceLock::take(dir.path("hidraw3"), outcome);
    ASSERT_TRUE(script);
    LockingHidBus third(named, &DeviceLock::take, portIn);
    EXPECT_EQ(WriteThrough(third, paths[0]), kErrorBusy);
    EXPECT_TRUE(DeviceLock::takePortIn(folder, "1-1", outcome));
}

// A device whose node or port another process holds gets no report at all, and the tool exits
// 75 naming it, alone, among all devices or at the station; once the other process is done, the
// update goes through, holding the lock of each identity and of the port while it runs, and
// `--all` holds several ports at once.
TEST(DeviceLockTest, ASecondProcessRefusesTheDeviceAtOnce) {
    const tolvane::test::TempDir dir;
    test::ToolBench platform;
    const std::string folder = dir.path("");
    platform.deviceNodes = NodesIn(dir);
    platform.portLock = [folder](std::string_view port, DeviceLock::Outcome& outcome) {
        return DeviceLock::takePortIn(folder, port, outcome);
    };
    const std::string application = dir.path("hidraw3");
    const std::string bootLoader = dir.path("hidraw4");
    const std::string image = dir.write("fw.bin", test::CountingImage(300));
    const std::vector<std::string> update{"--json", "update", image, "--vid",
                                          "5C3B",   "--pid",  "0326"};
    using Take = std::function<std::unique_ptr<DeviceLock>(DeviceLock::Outcome&)>;
    const std::pair<const char*, Take> holders[] = {
        {"node", [&](auto& outcome) { return DeviceLock::take(application, outcome); }},
        {"port", [&](auto& outcome) { return DeviceLock::takePortIn(folder, "1-1", outcome); }},
    };
    for (const auto& [held, take] : holders) {
        SCOPED_TRACE(held);
        DeviceLock::Outcome outcome{};
        auto other = take(outcome);
        ASSERT_EQ(outcome, DeviceLock::Outcome::Taken);
        int reports = 0;
        const ToolRun refused = platform.run(update, {.report = [&](auto) { ++reports; }});
        EXPECT_EQ(refused.exitCode, kExitDeviceBusy);
        EXPECT_THAT(refused.err, HasSubstr("is being updated by another tolvane process"));
        EXPECT_THAT(refused.out,
                    HasSubstr("\"result\":\"DEVICE_BUSY\",\"code\":170,\"exit_code\":75"));
        EXPECT_EQ(reports, 0);
        EXPECT_EQ(platform.memory().entriesToBootLoader, 0u);
        // Updating every device: the held one is reported as held, with the same exit code.
        const ToolRun all =
            platform.run({"--json", "update", image, "--vid", "5C3B", "--pid", "0326", "--all"},
                         {.report = [&](auto) { ++reports; }});
        EXPECT_EQ(all.exitCode, kExitDeviceBusy) << all.err;
        EXPECT_THAT(all.out, HasSubstr("\"result\":\"DEVICE_BUSY\""));
        EXPECT_THAT(all.out, HasSubstr("another tolvane process is updating this device"));
        EXPECT_EQ(reports, 0);
        // The station likewise.
        const ToolRun station = platform.run(
            {"--json", "station", image, "--vid", "5C3B", "--pid", "0326", "--count", "1"},
            {.report = [&](auto) { ++reports; }});
        EXPECT_EQ(station.exitCode, kExitDeviceBusy) << station.err;
        EXPECT_THAT(station.out, HasSubstr("DEVICE_BUSY"));
        EXPECT_EQ(reports, 0);
    }

    bool applicationHeld = false, bootLoaderHeld = false, portHeld = false;
    const ToolRun done = platform.run(update, {.report = [&](auto) {
                                          DeviceLock::Outcome during{};
                                          applicationHeld |= !DeviceLock::take(application, during);
                                          bootLoaderHeld |= !DeviceLock::take(bootLoader, during);
                                          portHeld |=
                                              !DeviceLock::takePortIn(folder, "1-1", during);
                                      }});
    EXPECT_EQ(done.exitCode, kExitSuccess) << done.err;
    EXPECT_TRUE(applicationHeld);
    EXPECT_TRUE(bootLoaderHeld);
    EXPECT_TRUE(portHeld);
    // Let go at the end of the run.
    DeviceLock::Outcome outcome{};
    EXPECT_TRUE(DeviceLock::take(application, outcome));
    EXPECT_TRUE(DeviceLock::take(bootLoader, outcome));
    EXPECT_TRUE(DeviceLock::takePortIn(folder, "1-1", outcome));

    // A second device at another port: one run updates both, holding both ports.
    platform.bus().addDevice(sim::VirtualTarget::specFor({}));
    std::mutex mutex;  // each device's engine has a thread of its own
    std::set<std::string> portsHeld;
    const ToolRun all = platform.run({"update", image, "--vid", "5C3B", "--pid", "0326", "--all"},
                                     {.report = [&](auto) {
                                         for (const char* port : {"1-1", "1-2"}) {
                                             DeviceLock::Outcome during{};
                                             if (DeviceLock::takePortIn(folder, port, during))
                                                 continue;
                                             const std::lock_guard guard(mutex);
                                             portsHeld.insert(port);
                                         }
                                     }});
    EXPECT_EQ(all.exitCode, kExitSuccess) << all.err;
    EXPECT_EQ(portsHeld, (std::set<std::string>{"1-1", "1-2"}));
}

// Between a run's reset of the application and its first report to the boot loader that arrives
// at the same port, a second run that finds that boot loader gets nothing: the first run holds the
// port since before the reset. The second ends 75 having sent nothing; the first writes the image.
TEST(DeviceLockTest, TheBootLoaderArrivingIsTheFirstRunsOwn) {
    const tolvane::test::TempDir dir;
    test::ToolBench platform;
    const std::string folder = dir.path("");
    platform.portLock = [folder](std::string_view port, DeviceLock::Outcome& outcome) {
        return DeviceLock::takePortIn(folder, port, outcome);
    };
    const std::vector<std::uint8_t> bytes = test::CountingImage(300);
    const std::string image = dir.write("fw.bin", bytes);
    const std::vector<std::string> update{"--json", "update", image, "--vid",
                                          "5C3B",   "--pid",  "0326"};
    int firstReports = 0, secondReports = 0;
    std::optional<ToolRun> second;
    const auto bootLoaderListed = [&] {
        for (const std::u16string& path : PathsOn(platform.bus())) {
            if (path.find(u"pid_030b") != std::u16string::npos) return true;
        }
        return false;
    };
    const ToolRun first = platform.run(
        update, {.report = [&](auto) { ++firstReports; },
                 .listing =
                     [&] {
                         // The first run has reset the application and looks for its boot
                         // loader, which is there but not yet written to.
                         if (second || firstReports == 0 || !bootLoaderListed()) return;
                         second = platform.run(update, {.report = [&](auto) { ++secondReports; }});
                     }});
    ASSERT_TRUE(second) << "the boot loader was never seen between the reset and its update";
    EXPECT_EQ(second->exitCode, kExitDeviceBusy) << second->err;
    EXPECT_THAT(second->out, HasSubstr("\"result\":\"DEVICE_BUSY\""));
    EXPECT_EQ(secondReports, 0);
    EXPECT_EQ(first.exitCode, kExitSuccess) << first.err;
    EXPECT_EQ(platform.memory().image, bytes);
    EXPECT_EQ(platform.memory().setups, 1u);
    // Let go at the end of the run.
    DeviceLock::Outcome outcome{};
    EXPECT_TRUE(DeviceLock::takePortIn(folder, "1-1", outcome));
}
#endif

}  // namespace
}  // namespace tolvane::cli
