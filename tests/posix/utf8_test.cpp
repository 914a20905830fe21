// UTF-16 and UTF-8 conversion, with the malformed input that must not pass through unchanged.
#include "utf8.h"

#include <gtest/gtest.h>

namespace tolvane::posix {
namespace {

TEST(Utf16ToUtf8, EncodesOneToFourByteForms) {
    EXPECT_EQ(Utf16ToUtf8(u"A"), "A");
    EXPECT_EQ(Utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(Utf16ToUtf8(u"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(Utf16ToUtf8, LoneSurrogatesBecomeReplacementCharacters) {
    const char16_t high[] = {u'a', 0xD83D, u'b'};
    const char16_t low[] = {0xDE00};
    EXPECT_EQ(Utf16ToUtf8(std::u16string_view(high, 3)),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(Utf16ToUtf8(std::u16string_view(low, 1)), "\xEF\xBF\xBD");
}

TEST(Utf8ToUtf16, DecodesValidTextAndReplacesInvalidBytes) {
    EXPECT_EQ(Utf8ToUtf16("hidraw3"), u"hidraw3");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80\xC3\xA9"), u"\U0001F600\u00E9");
    // A truncated sequence, an overlong form and an encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
}

}  // namespace
}  // namespace tolvane::posix
