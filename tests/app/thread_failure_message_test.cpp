// The result box of a worker that could not be created.
#include "thread_failure_message.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(ThreadFailureMessage, ShowsTheSystemErrorWithTheErrorIcon) {
    EXPECT_EQ(ThreadFailureMessage(8).text, u"Error code: 8");
    EXPECT_EQ(ThreadFailureMessage(8).iconType, 0x10u);
    // Never taken for success or for one of the engine's codes.
    EXPECT_EQ(ThreadFailureMessage(0).text, u"Error code: 0");
    EXPECT_EQ(ThreadFailureMessage(0).iconType, 0x10u);
    EXPECT_EQ(ThreadFailureMessage(0xE0000102).text, u"Error code: 3758096642");
}

}  // namespace
}  // namespace vandrel
