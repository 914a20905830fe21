// The message box on standard error; the rest of the services is checked by tests/conformance.
#include "posix_services.h"

#include <gtest/gtest.h>

namespace tolvane::posix {
namespace {

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
