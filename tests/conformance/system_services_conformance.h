// The system-services suite's fixture; system_services_conformance.cpp holds the tests, each
// backend file its instantiation.
#pragma once

#include "backends.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace tolvane::conformance {

struct Seen {
    std::uint32_t eventType;
    std::uint32_t deviceType;
    std::u16string name;
    std::thread::id thread;
};

class RecordingHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.push_back({message.eventType, message.deviceType, std::u16string(message.name),
                        std::this_thread::get_id()});
    }
    std::vector<Seen> seen;
};

inline constexpr char16_t kPath[] =
    u"\\\\?\\HID#Vid_5c3b&Pid_030b#7&1a2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030}";

class ServicesConformance : public ::testing::TestWithParam<ServicesMaker> {
protected:
    void SetUp() override { backend_ = GetParam().make(); }

    SystemServices& services() { return backend_->services(); }

    std::unique_ptr<AutoResetEvent> event() {
        SysError error = 1;
        auto made = services().createEvent(error);
        EXPECT_NE(made, nullptr);
        EXPECT_EQ(error, 0u);
        return made;
    }

    std::unique_ptr<NotifyWindow> window() {
        SysError error = 1;
        auto made = services().createNotifyWindow(NotifyWindowSpec{}, handler_, error);
        EXPECT_NE(made, nullptr);
        EXPECT_EQ(error, 0u);
        return made;
    }

    std::unique_ptr<ServicesBackend> backend_;
    RecordingHandler handler_;
};

}  // namespace tolvane::conformance
