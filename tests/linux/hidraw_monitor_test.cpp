// The monitor thread with a fake event source over a fixture sysfs tree: lost events are made up
// for by comparison, a node is never announced as 0000:0000, and a failed wait is kept as a
// failure while changes go on being announced. The waits here are for the thread to run, bounded
// generously and never measured.
#include "hidraw_notification_registration.h"

#include "sysfs_fixture.h"
#include "system_services.h"
#include "unique_fd.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <variant>

namespace tolvane::hidraw {
namespace {

using testing::HidUevent;
using testing::SysfsFixture;
using testing::VendorFeatureDescriptor;

struct Overrun {};
struct FailedWait {
    int error = 0;
};
using Item = std::variant<HidrawEvent, Overrun, FailedWait>;

// What the test scripts and the source plays back; a semaphore eventfd counts the queued items.
struct Script {
    std::mutex mutex;
    std::deque<Item> items;
    posix::UniqueFd ready{::eventfd(0, EFD_CLOEXEC | EFD_SEMAPHORE | EFD_NONBLOCK)};
    bool failForever = false;

    void push(Item item) {
        {
            std::lock_guard lock(mutex);
            items.push_back(std::move(item));
        }
        const std::uint64_t one = 1;
        EXPECT_EQ(::write(ready.get(), &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
    // The next event or overrun; a scripted failure stays for the next wait.
    std::optional<Item> pop() {
        std::lock_guard lock(mutex);
        if (items.empty() || std::holds_alternative<FailedWait>(items.front())) {
            return std::nullopt;
        }
        std::uint64_t count = 0;
        (void)::read(ready.get(), &count, sizeof count);
        Item item = std::move(items.front());
        items.pop_front();
        return item;
    }
};

class FakeSource final : public HidrawEventSource {
public:
    explicit FakeSource(std::shared_ptr<Script> script) : script_(std::move(script)) {}

    SourceWait wait(int stopFd, int timeoutMs, int& error) override {
        {
            std::lock_guard lock(script_->mutex);
            if (script_->failForever) {
                error = EPIPE;
                return SourceWait::Failed;
            }
            if (!script_->items.empty() &&
                std::holds_alternative<FailedWait>(script_->items.front())) {
                error = std::get<FailedWait>(script_->items.front()).error;
                script_->items.pop_front();
                std::uint64_t count = 0;
                (void)::read(script_->ready.get(), &count, sizeof count);
                return SourceWait::Failed;
            }
        }
        pollfd fds[2] = {{script_->ready.get(), POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready == 0) {
            return SourceWait::TimedOut;
        }
        if (fds[1].revents != 0) {
            return SourceWait::Stopped;
        }
        return SourceWait::Ready;
    }

    SourceReceive receive(HidrawEvent& event) override {
        auto item = script_->pop();
        if (!item) {
            return SourceReceive::Nothing;
        }
        if (std::holds_alternative<Overrun>(*item)) {
            return SourceReceive::Overrun;
        }
        event = std::get<HidrawEvent>(*item);
        return SourceReceive::Event;
    }

private:
    std::shared_ptr<Script> script_;
};

using Change = std::pair<std::uint32_t, std::u16string>;

class Recorder {
public:
    void deliver(std::uint32_t type, std::u16string path) {
        std::lock_guard lock(mutex_);
        seen_.emplace_back(type, std::move(path));
        changed_.notify_all();
    }
    // The first `count` changes, once that many have come (fewer after a generous bound).
    std::vector<Change> first(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return seen_.size() >= count; });
        return {seen_.begin(),
                seen_.begin() + static_cast<std::ptrdiff_t>(std::min(count, seen_.size()))};
    }
    std::size_t count() {
        std::lock_guard lock(mutex_);
        return seen_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Change> seen_;
};

constexpr const char* kPort = "pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0";
const std::u16string kApplicationPath = u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw0";
const std::u16string kBootLoaderPath = u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw1";

class HidrawMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        fixture_.add({"hidraw0", kPort, "0003:5C3B:0325.0001", HidUevent("0003:00005C3B:00000325"),
                      VendorFeatureDescriptor(64)});
    }

    void start() {
        SysError error = 0;
        MonitorTiming timing;
        timing.rescanInterval = std::chrono::milliseconds(5);
        timing.retryDelay = std::chrono::milliseconds(5);
        timing.retries = 1000;  // generous: the test decides when the node becomes readable
        registration_ = HidrawNotificationRegistration::Start(
            [this](std::uint32_t type, std::u16string path) {
                recorder_.deliver(type, std::move(path));
            },
            std::make_unique<FakeSource>(script_), HidrawSysfs(fixture_.sysfs()), error, timing);
        ASSERT_NE(registration_, nullptr);
        ASSERT_EQ(error, 0u);
    }

    void addBootLoader() {
        fixture_.add({"hidraw1", kPort, "0003:5C3B:030B.0002", HidUevent("0003:00005C3B:0000030B"),
                      VendorFeatureDescriptor(64)});
    }

    SysfsFixture fixture_;
    std::shared_ptr<Script> script_ = std::make_shared<Script>();
    Recorder recorder_;
    std::unique_ptr<HidrawNotificationRegistration> registration_;  // last: stopped first
};

TEST_F(HidrawMonitor, EventsLostToAnOverrunAreFoundByComparison) {
    start();
    // The application left and the boot loader came while the receive buffer overflowed.
    fixture_.remove("hidraw0");
    addBootLoader();
    script_->push(Overrun{});
    EXPECT_EQ(recorder_.first(2), (std::vector<Change>{{kDeviceRemoveComplete, kApplicationPath},
                                                       {kDeviceArrival, kBootLoaderPath}}));
    EXPECT_EQ(registration_->failure(), 0u) << "an overrun is no failure of the monitor";
}

TEST_F(HidrawMonitor, ArrivalWhoseNodeIsAlreadyGoneTakesItsIdentityFromTheEvent) {
    start();
    const std::string devicePath = "/devices/virtual/misc/uhid/0003:5C3B:030B.0007/hidraw/hidraw3";
    script_->push(HidrawEvent{"add", "hidraw3", devicePath});
    script_->push(HidrawEvent{"remove", "hidraw3", devicePath});
    const std::u16string path = u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3";
    EXPECT_EQ(recorder_.first(2),
              (std::vector<Change>{{kDeviceArrival, path}, {kDeviceRemoveComplete, path}}));
}

TEST_F(HidrawMonitor, NodeOfUnknownIdentityIsAnnouncedOnceItCanBeRead) {
    // Neither sysfs (no uevent, a device name without identifiers) nor the event tells who the
    // device is yet.
    fixture_.add({"hidraw1", kPort, "unnamed", "", VendorFeatureDescriptor(64)});
    start();
    script_->push(HidrawEvent{"add", "hidraw1", ""});
    {
        std::ofstream uevent(fixture_.sysfs() / "devices" / kPort / "unnamed" / "uevent");
        uevent << HidUevent("0003:00005C3B:0000030B");
    }
    EXPECT_EQ(recorder_.first(1), (std::vector<Change>{{kDeviceArrival, kBootLoaderPath}}))
        << "not as 0000:0000, and not forgotten";
    script_->push(HidrawEvent{"remove", "hidraw1", ""});
    const auto seen = recorder_.first(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], (Change{kDeviceRemoveComplete, kBootLoaderPath}));
}

TEST_F(HidrawMonitor, FailedWaitIsKeptAndChangesAreStillAnnounced) {
    start();
    fixture_.remove("hidraw0");  // its event is lost with the failed wait
    script_->push(FailedWait{ENOMEM});
    EXPECT_EQ(recorder_.first(1), (std::vector<Change>{{kDeviceRemoveComplete, kApplicationPath}}));
    EXPECT_EQ(registration_->failure(), kErrorOutOfMemory);
    EXPECT_EQ(registration_->failureErrno(), ENOMEM);
    // The monitor recovered: events are received again.
    const std::string devicePath = "/devices/x/0003:5C3B:030B.0008/hidraw/hidraw7";
    script_->push(HidrawEvent{"add", "hidraw7", devicePath});
    const auto seen = recorder_.first(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1], (Change{kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw7"}));
}

TEST_F(HidrawMonitor, MonitorThatKeepsFailingIsReplacedByComparisonsUntilStopped) {
    script_->failForever = true;
    start();
    addBootLoader();
    EXPECT_EQ(recorder_.first(1), (std::vector<Change>{{kDeviceArrival, kBootLoaderPath}}));
    EXPECT_EQ(registration_->failure(), kErrorGenFailure);
    EXPECT_EQ(registration_->failureErrno(), EPIPE);
    EXPECT_EQ(registration_->unregister(), 0u);
    const std::size_t seen = recorder_.count();
    fixture_.remove("hidraw1");
    EXPECT_EQ(recorder_.count(), seen) << "nothing is delivered once unregister returns";
}

}  // namespace
}  // namespace tolvane::hidraw
