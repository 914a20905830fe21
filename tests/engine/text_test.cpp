// The engine's text pieces, with the malformed input that must not pass through unchanged.
#include "text.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvane {
namespace {

struct Utf16Case {
    std::u16string utf16;
    std::string utf8;
};

TEST(TextTest, ToUtf8EncodesEveryFormAndReplacesLoneSurrogates) {
    const char16_t high = 0xD83D;
    const char16_t low = 0xDE00;
    const Utf16Case cases[] = {
        {u"F/W", "F/W"},
        {u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {std::u16string{u'a', high, u'b'},
         "a\xEF\xBF\xBD"
         "b"},
        {std::u16string{low}, "\xEF\xBF\xBD"},
        {std::u16string{high}, "\xEF\xBF\xBD"},
        {std::u16string{low, high}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Utf16Case& c : cases) {
        EXPECT_EQ(ToUtf8(c.utf16), c.utf8);
        // Whatever went in, what comes out reads back without a replacement it did not have.
        EXPECT_EQ(ToUtf8(FromUtf8(c.utf8)), c.utf8);
    }
}

TEST(TextTest, FromUtf8DecodesValidTextAndReplacesEachInvalidByte) {
    const Utf16Case cases[] = {
        {u"hidraw3", "hidraw3"},
        {u"\U0001F600\u00E9", "\xF0\x9F\x98\x80\xC3\xA9"},
        {u"\uFFFD\uFFFD", "\xE2\x82"},                      // truncated
        {u"\uFFFD\uFFFD", "\xC0\xAF"},                      // overlong
        {u"\uFFFD\uFFFD\uFFFD", "\xED\xA0\x80"},            // an encoded surrogate
        {u"\uFFFD\uFFFD\uFFFD\uFFFD", "\xF4\x90\x80\x80"},  // past U+10FFFF
        {u"a\uFFFDb",
         "a\xFF"
         "b"},
    };
    for (const Utf16Case& c : cases) EXPECT_EQ(FromUtf8(c.utf8), c.utf16) << c.utf8;
}

TEST(TextTest, HexDigitsOfEitherCaseAndNothingElse) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('a'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue(u'c'), 12);
    for (const char32_t c : {U'g', U'G', U'/', U':', U'@', U'`', U' ', U'\uFF10'}) {
        EXPECT_EQ(HexDigitValue(c), -1) << static_cast<unsigned>(c);
    }
}

TEST(TextTest, CaseIsFoldedForAsciiLettersOnly) {
    EXPECT_EQ(AsciiLower(u'Q'), u'q');
    EXPECT_EQ(AsciiUpper('q'), 'Q');
    EXPECT_EQ(AsciiLower(u'\u00C9'), u'\u00C9');  // no locale: only A to Z fold
    EXPECT_EQ(AsciiLower('['), '[');

    EXPECT_TRUE(EqualIgnoringAsciiCase(std::u16string_view(u"\\\\?\\HID#Vid_5C3B"),
                                       u"\\\\?\\hid#vid_5c3b"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(std::u16string_view(u"HID#"), u"HID"));
    EXPECT_FALSE(EqualIgnoringAsciiCase(std::u16string_view(u"\u00C9"), u"\u00E9"));
    EXPECT_TRUE(EqualIgnoringAsciiCase(std::string_view("Image.HEX"), "image.hex"));

    const std::u16string_view prefix = u"\\\\?\\HID#Vid_5c3b&Pid_030b#";
    EXPECT_TRUE(StartsWithIgnoringAsciiCase(
        std::u16string_view(u"\\\\?\\hid#VID_5C3B&PID_030B#6&1"), prefix));
    EXPECT_FALSE(StartsWithIgnoringAsciiCase(std::u16string_view(u"\\\\?\\hid#VID_5C3B"), prefix));
    // A NUL ends the text, as it ends a path the system hands over.
    const std::u16string withNul(u"\\\\?\\HID#Vid_5c3b\0&Pid_030b#", 27);
    EXPECT_FALSE(StartsWithIgnoringAsciiCase(std::u16string_view(withNul), prefix));
}

}  // namespace
}  // namespace tolvane
