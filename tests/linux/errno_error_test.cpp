// errno values as system error numbers, the errno kept behind the last failure of each thread,
// and the texts the platform gives for the numbers.
#include "errno_error.h"
#include "platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <thread>

namespace tolvane::hidraw {
namespace {

TEST(ErrnoError, ATransferThatRanOutOfTimeIsATimeOutNotAGeneralFailure) {
    EXPECT_EQ(DeviceErrorFromErrno(ETIMEDOUT), kErrorTimeout);
    EXPECT_EQ(DeviceErrorFromErrno(ESHUTDOWN), kErrorDeviceNotConnected);
    EXPECT_EQ(DeviceErrorFromErrno(EBADF), kErrorAccessDenied);
    EXPECT_EQ(DeviceErrorFromErrno(ENOMEM), kErrorOutOfMemory);
}

TEST(ErrnoError, TheErrnoBehindTheLastFailureIsKeptPerThread) {
    errno = EPROTO;
    EXPECT_EQ(LastFailure(), kErrorGenFailure);
    EXPECT_EQ(LastFailureErrno(), EPROTO);
    EXPECT_EQ(platform::LastNativeErrorDetail(), "errno 71 (Protocol error)");

    std::thread other([] {
        EXPECT_EQ(platform::LastNativeErrorDetail(), "") << "no failure on this thread yet";
        errno = ETIMEDOUT;
        EXPECT_EQ(LastFailure(), kErrorTimeout);
    });
    other.join();
    EXPECT_EQ(LastFailureErrno(), EPROTO) << "another thread's failure does not replace it";

    EXPECT_EQ(NoteFailure(kErrorGenFailure, 0), kErrorGenFailure);
    EXPECT_EQ(platform::LastNativeErrorDetail(), "") << "a failure with no errno behind it";
}

TEST(SystemErrorText, EveryNumberTheBackendReportsHasItsOwnTextAndNoneIsEmpty) {
    std::set<std::string> texts;
    for (const SysError error :
         {kErrorInvalidFunction, kErrorFileNotFound, kErrorAccessDenied, kErrorInvalidHandle,
          kErrorOutOfMemory, kErrorGenFailure, kErrorInvalidParameter, kErrorInsufficientBuffer,
          kErrorOperationAborted, kErrorDeviceNotConnected, kErrorTimeout,
          kErrorInvalidUserBuffer}) {
        const std::string text = platform::SystemErrorText(error);
        EXPECT_FALSE(text.empty()) << error;
        EXPECT_TRUE(texts.insert(text).second) << "shared text for " << error << ": " << text;
    }
    EXPECT_EQ(platform::SystemErrorText(kErrorAccessDenied), "Access is denied.");
    EXPECT_EQ(platform::SystemErrorText(kErrorTimeout),
              "This operation returned because the timeout period expired.");
    EXPECT_EQ(platform::SystemErrorText(424242), "System error 424242.");
}

}  // namespace
}  // namespace tolvane::hidraw
