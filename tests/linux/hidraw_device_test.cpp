// The device's error paths on a node that is not a hidraw node (/dev/null): every refused call
// answers an error number, never 0, and a read-only descriptor refuses writes as access denied.
#include "hidraw_device.h"
#include "errno_error.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace tolvane::hidraw {
namespace {

HidrawDevice OpenNull(int flags) {
    posix::UniqueFd fd(::open("/dev/null", flags | O_CLOEXEC));
    EXPECT_TRUE(fd.valid());
    return HidrawDevice(std::move(fd));
}

TEST(HidrawDevice, QueriesOnANodeThatIsNotHidrawFailWithAnErrorNumber) {
    HidrawDevice device = OpenNull(O_RDWR);
    HidAttributes attributes;
    HidCapabilities capabilities;
    std::array<std::uint8_t, 9> report{};
    EXPECT_EQ(device.getAttributes(attributes), kErrorGenFailure);
    EXPECT_EQ(device.getCapabilities(capabilities), kErrorGenFailure);
    EXPECT_EQ(device.setFeature(report), kErrorGenFailure);
    EXPECT_EQ(device.getFeature(report), kErrorGenFailure);
}

TEST(HidrawDevice, OutputReportIsWrittenWholeAndRefusedOnAReadOnlyNode) {
    const std::array<std::uint8_t, 8> report{0x0C, 0x44};
    EXPECT_EQ(OpenNull(O_RDWR).writeOutput(report), 0u);
    EXPECT_EQ(OpenNull(O_RDONLY).writeOutput(report), kErrorAccessDenied);
}

}  // namespace
}  // namespace tolvane::hidraw
