// Images the setup report cannot announce are refused with a box that says why.
#include "image_limit.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(ImageLimit, TheLargestAnnounceableImageIsAccepted) {
    EXPECT_FALSE(OversizedImageMessage(1).has_value());
    EXPECT_FALSE(OversizedImageMessage(16777215).has_value());
}

TEST(ImageLimit, SixteenMebibytesAndMoreAreRefusedWithTheReason) {
    for (const std::uint32_t size : {16777216u, 0xFFFFFFFFu}) {
        const auto message = OversizedImageMessage(size);
        ASSERT_TRUE(message.has_value()) << size;
        EXPECT_EQ(message->iconType, 0x30u);
        const std::string decimal = std::to_string(size);
        const std::u16string digits(decimal.begin(), decimal.end());
        EXPECT_NE(message->text.find(digits), std::u16string::npos);
        EXPECT_NE(message->text.find(u"at most 16777215 bytes"), std::u16string::npos);
        EXPECT_NE(message->text.find(u"not touched"), std::u16string::npos);
    }
    EXPECT_EQ(OversizedImageMessage(16777216)->text,
              u"The firmware image is too large: 16777216 bytes. The boot loader accepts at most "
              u"16777215 bytes; the device was not touched.");
}

}  // namespace
}  // namespace vandrel
