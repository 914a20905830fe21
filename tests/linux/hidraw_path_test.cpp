// Interface paths of hidraw nodes: what the engine's prefix check sees, and the way back to the
// device node; the HID_ID property that gives a node its identifiers; errno as Windows numbers.
#include "hidraw_path.h"
#include "dfu_constants.h"
#include "errno_error.h"
#include "hid_id.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tolvane::hidraw {
namespace {

// The engine's prefix check, case-insensitive over the 26 units of the boot loader's prefixes.
bool MatchesBootLoaderPrefix(std::u16string_view path) {
    auto fold = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; };
    for (const std::u16string_view prefix : {DFU_PATH_PREFIX_1, DFU_PATH_PREFIX_2}) {
        bool same = path.size() >= prefix.size();
        for (std::size_t i = 0; same && i < prefix.size(); ++i) {
            same = fold(path[i]) == fold(prefix[i]);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

TEST(HidrawPath, HasTheWindowsFormWithFourHexDigitsAndTheNodeName) {
    EXPECT_EQ(InterfacePathFor(0x5C3B, 0x030B, "hidraw3"), u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3");
    EXPECT_EQ(InterfacePathFor(0x0001, 0xABCD, "hidraw12"),
              u"\\\\?\\HID#VID_0001&PID_ABCD#hidraw12");
}

TEST(HidrawPath, BootLoaderNodesMatchTheBootLoaderPrefixesAndOthersDoNot) {
    EXPECT_TRUE(MatchesBootLoaderPrefix(InterfacePathFor(0x5C3B, 0x030B, "hidraw0")));
    EXPECT_TRUE(MatchesBootLoaderPrefix(InterfacePathFor(0x5C3B, 0x0332, "hidraw7")));
    EXPECT_FALSE(MatchesBootLoaderPrefix(InterfacePathFor(0x5C3B, 0x0325, "hidraw0")));
    EXPECT_FALSE(MatchesBootLoaderPrefix(InterfacePathFor(0x5C3C, 0x030B, "hidraw0")));
}

TEST(HidrawPath, LeadsBackToTheDeviceNode) {
    const auto node = NodeNameFromInterfacePath(InterfacePathFor(0x5C3B, 0x0332, "hidraw15"));
    ASSERT_TRUE(node.has_value());
    EXPECT_EQ(*node, "hidraw15");
    EXPECT_EQ(DeviceNodeFor(*node), "/dev/hidraw15");
    // The start is read without regard to case, as paths are.
    EXPECT_EQ(NodeNameFromInterfacePath(u"\\\\?\\hid#vid_5c3b&pid_0332#hidraw2"), "hidraw2");
}

TEST(HidrawPath, CollectionSuffixLeadsBackToTheNodeAndItsCollection) {
    const std::u16string path = InterfacePathFor(0x5C3B, 0x0325, "hidraw3", 2);
    EXPECT_EQ(path, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL02");
    EXPECT_FALSE(MatchesBootLoaderPrefix(path));
    EXPECT_TRUE(MatchesBootLoaderPrefix(InterfacePathFor(0x5C3B, 0x030B, "hidraw3", 1)));
    const auto location = LocationFromInterfacePath(path);
    ASSERT_TRUE(location.has_value());
    EXPECT_EQ(location->nodeName, "hidraw3");
    EXPECT_EQ(location->collection, 2u);
    EXPECT_EQ(LocationFromInterfacePath(u"\\\\?\\hid#vid_5c3b&pid_0325#hidraw3&col12")->collection,
              12u);
    EXPECT_EQ(LocationFromInterfacePath(InterfacePathFor(1, 2, "hidraw0", 255))->collection, 255u);
    EXPECT_EQ(LocationFromInterfacePath(InterfacePathFor(1, 2, "hidraw0"))->collection, 0u);
    for (const std::u16string_view bad : {
             u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL00",
             u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL256",
             u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL",
             u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL+1",
             u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw3&COL99999999999",
             u"\\\\?\\HID#VID_5C3B&PID_0325#&COL01",
         }) {
        EXPECT_FALSE(LocationFromInterfacePath(bad).has_value())
            << std::string(bad.begin(), bad.end());
    }
}

TEST(HidrawPath, PathsThatNameNoHidrawNodeLeadNowhere) {
    for (const std::u16string_view path : {
             u"",
             u"\\\\?\\HID#VID_5C3B&PID_030B#",
             u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw",
             u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3x",
             u"\\\\?\\HID#VID_5C3B&PID_030B#../sda",
             u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3/../../sda",
             u"\\\\?\\USB#VID_5C3B&PID_030B#hidraw3",
             u"/dev/hidraw3",
             u"\\\\?\\HID#VID_5C3B&PID_030B#hidr\u00E1w3",
         }) {
        EXPECT_FALSE(NodeNameFromInterfacePath(path).has_value())
            << std::string(path.begin(), path.end());
    }
}

TEST(HidId, ReadsBusVendorAndProduct) {
    const auto id = ParseHidId("0003:00005C3B:0000030B");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->busType, 0x0003);
    EXPECT_EQ(id->vendorId, 0x5C3B);
    EXPECT_EQ(id->productId, 0x030B);
    const auto lower = ParseHidId("0005:0000abcd:0000ef01");
    ASSERT_TRUE(lower.has_value());
    EXPECT_EQ(lower->vendorId, 0xABCD);
    EXPECT_EQ(lower->productId, 0xEF01);
}

TEST(HidId, RefusesMalformedText) {
    for (const char* text : {"", "0003:00005C3B", "0003:00005C3B:0000030B:1", "0003::0000030B",
                             "0003:00015C3B:0000030B", "0003:00005C3G:0000030B",
                             "0003:00005C3B:0000030B ", "0003:000000005C3B:030B"}) {
        EXPECT_FALSE(ParseHidId(text).has_value()) << text;
    }
}

TEST(ErrnoError, MapsTheFailuresCallersTellApart) {
    EXPECT_EQ(DeviceErrorFromErrno(0), 0u);
    EXPECT_EQ(DeviceErrorFromErrno(EACCES), 5u);
    EXPECT_EQ(DeviceErrorFromErrno(ENOENT), kErrorDeviceNotConnected);
    EXPECT_EQ(DeviceErrorFromErrno(ENODEV), kErrorDeviceNotConnected);
    EXPECT_EQ(DeviceErrorFromErrno(EINVAL), kErrorInvalidParameter);
    EXPECT_EQ(DeviceErrorFromErrno(EPIPE), kErrorGenFailure);
    EXPECT_EQ(DeviceErrorFromErrno(EIO), kErrorGenFailure);
}

TEST(ErrnoError, FailureWithoutAnErrnoNeverReadsAsSuccess) {
    errno = 0;
    EXPECT_EQ(LastFailure(), kErrorGenFailure);
    errno = EACCES;
    EXPECT_EQ(LastFailure(), 5u);
}

}  // namespace
}  // namespace tolvane::hidraw
