// The remaining services: events from the factory, the clock, sleep, the message box on stderr.
#include "posix_services.h"

#include <gtest/gtest.h>

namespace tolvane::posix {
namespace {

TEST(PosixServices, CreatesIndependentEventsNotSignalled) {
    PosixServices services;
    SysError error = 0xFFFF;
    auto first = services.createEvent(error);
    EXPECT_EQ(error, 0u);
    auto second = services.createEvent(error);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->wait(0), WaitResult::TimedOut);
    first->signal();
    EXPECT_EQ(second->wait(0), WaitResult::TimedOut);
    EXPECT_EQ(first->wait(0), WaitResult::Signaled);
}

TEST(PosixServices, ClockDoesNotGoBackAndSleepLastsAtLeastItsTime) {
    PosixServices services;
    const std::uint64_t before = services.nowMs();
    services.sleep(3);
    EXPECT_GE(services.nowMs(), before + 3);
}

TEST(PosixServices, MessageBoxWritesCaptionAndTextToStandardErrorInUtf8) {
    PosixServices services;
    testing::internal::CaptureStderr();
    services.showMessageBox(u"Gr\u00FC\u00DFe \u2713", u"Error");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x9C\x93\n");
}

}  // namespace
}  // namespace tolvane::posix
