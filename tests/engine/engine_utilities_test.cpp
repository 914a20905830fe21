#include "dfu_engine.h"
#include "result_message.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tolvane {
namespace {

TEST(ResultCodeNameTest, NamesTheEngineCodesOnly) {
    EXPECT_STREQ(ResultCodeName(DFU_ERR_VERIFY), "DFU_ERR_VERIFY");
    EXPECT_STREQ(ResultCodeName(DFU_ALREADY_IN_DFU), "DFU_ALREADY_IN_DFU");
    EXPECT_STREQ(ResultCodeName(0), "DFU_SUCCESS");
    EXPECT_EQ(ResultCodeName(0xE0000101), nullptr);
    EXPECT_EQ(ResultCodeName(31), nullptr);
}

TEST(ToUtf8Test, EncodesEveryPlane) {
    EXPECT_EQ(ToUtf8(u"F/W"), "F/W");
    EXPECT_EQ(ToUtf8(u"\u00e9\u20ac"), "\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xf0\x9f\x98\x80");
}

TEST(SetupPauseTest, TwentyFourMsPerWhole512BytesPlus48) {
    EXPECT_EQ(SetupPauseMs(0), 48u);
    EXPECT_EQ(SetupPauseMs(511), 48u);
    EXPECT_EQ(SetupPauseMs(512), 72u);
    EXPECT_EQ(SetupPauseMs(65536), 3120u);
    EXPECT_EQ(SetupPauseMs(0xFFFFFF), (0xFFFFFFu >> 9) * 24 + 48);
}

}  // namespace
}  // namespace tolvane
