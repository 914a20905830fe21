#include "dfu_engine.h"

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

TEST(SetupPauseTest, TwentyFourMsPerWhole512BytesPlus48) {
    EXPECT_EQ(SetupPauseMs(0), 48u);
    EXPECT_EQ(SetupPauseMs(511), 48u);
    EXPECT_EQ(SetupPauseMs(512), 72u);
    EXPECT_EQ(SetupPauseMs(65536), 3120u);
    EXPECT_EQ(SetupPauseMs(0xFFFFFF), (0xFFFFFFu >> 9) * 24 + 48);
}

}  // namespace
}  // namespace tolvane
