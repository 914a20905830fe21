// The result box of an update run: text and icon for every code the engine can end with.
#include "result_message.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

constexpr std::uint32_t kVid = 0x5C3B;
constexpr std::uint32_t kPid = 0x0326;

struct Row {
    ResultCode code;
    const char16_t* text;
    std::uint32_t icon;
};

TEST(ResultMessage, EveryRowOfTheTable) {
    const Row rows[] = {
        {0, u"F/W update successfully !", 0x40},
        {0xE0000102, u"Device (VID=0x5C3B/PID=0x0326) not found !", 0x30},
        {0xE0000103, u"Reset to DFU command fail !", 0x30},
        {0xE0000104, u"DFU reset to application command fail !", 0x30},
        {0xE0000106, u"Search DFU(VID=0x5C3B, PID=0x030B) timeout fail !", 0x30},
        {0xE0000107, u"DFU update / verify / checksum fail !", 0x30},
        // No row of its own: the time-out of the switch back, the boot loader's code that
        // never reaches the table, and system error numbers passed on by the engine.
        {0xE0000105, u"Error code: 3758096645", 0x10},
        {0xE0000100, u"Error code: 3758096640", 0x10},
        {0xE0000101, u"Error code: 3758096641", 0x10},
        {14, u"Error code: 14", 0x10},
        {31, u"Error code: 31", 0x10},
        {1167, u"Error code: 1167", 0x10},
        {0xFFFFFFFF, u"Error code: 4294967295", 0x10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.code);
        const auto message = ResultMessageFor(row.code, kVid, kPid);
        EXPECT_EQ(message.text, row.text);
        EXPECT_EQ(message.iconType, row.icon);
    }
}

TEST(ResultMessage, NotFoundNamesTheJobsIdentifiersPaddedToFourDigits) {
    EXPECT_EQ(ResultMessageFor(DFU_ERR_NOT_FOUND, 0x1, 0xAB).text,
              u"Device (VID=0x0001/PID=0x00AB) not found !");
    // Whole 32-bit values are printed, also when they exceed four digits.
    EXPECT_EQ(ResultMessageFor(DFU_ERR_NOT_FOUND, 0x15C3B, 0xFFFFFFFF).text,
              u"Device (VID=0x15C3B/PID=0xFFFFFFFF) not found !");
}

TEST(ResultMessage, TheTimeOutAlwaysNamesTheFirstBootLoaderIdentity) {
    EXPECT_EQ(ResultMessageFor(DFU_ERR_DFU_TIMEOUT, 0x1234, 0x0332).text,
              u"Search DFU(VID=0x5C3B, PID=0x030B) timeout fail !");
}

}  // namespace
}  // namespace tolvane
