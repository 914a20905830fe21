// The base-16 value of the identifier texts shown in the main window ("0x" + resource text).
#include "hex_identifier.h"

#include <gtest/gtest.h>

namespace vandrel {
namespace {

TEST(ParseHexIdentifier, ShippedIdentifiersWithTheirPrefix) {
    EXPECT_EQ(ParseHexIdentifier(u"0x5C3B"), 0x5C3Bu);
    EXPECT_EQ(ParseHexIdentifier(u"0x0326"), 0x0326u);
    EXPECT_EQ(ParseHexIdentifier(u"0X0326"), 0x0326u);
}

TEST(ParseHexIdentifier, LowerCaseDigits) {
    EXPECT_EQ(ParseHexIdentifier(u"0x5c3b"), 0x5C3Bu);
}

TEST(ParseHexIdentifier, TrailingCharactersStopTheParse) {
    EXPECT_EQ(ParseHexIdentifier(u"0x0326 "), 0x0326u);
    EXPECT_EQ(ParseHexIdentifier(u"0x5C3Bz12"), 0x5C3Bu);
    EXPECT_EQ(ParseHexIdentifier(u"0x5C3B\u00C4"), 0x5C3Bu);
}

TEST(ParseHexIdentifier, FiveDigitsKeepTheWholeValue) {
    EXPECT_EQ(ParseHexIdentifier(u"0x15C3B"), 0x15C3Bu);
}

TEST(ParseHexIdentifier, ValuesBeyond32BitsSaturate) {
    EXPECT_EQ(ParseHexIdentifier(u"0xFFFFFFFF"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexIdentifier(u"0x100000000"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexIdentifier(u"0x123456789ABCDEF0123"), 0xFFFFFFFFu);
    // Leading zeros are not significant digits.
    EXPECT_EQ(ParseHexIdentifier(u"0x0000000000005C3B"), 0x5C3Bu);
}

TEST(ParseHexIdentifier, NoDigitsGiveZero) {
    EXPECT_EQ(ParseHexIdentifier(u"0x"), 0u);
    EXPECT_EQ(ParseHexIdentifier(u"0xG"), 0u);
    EXPECT_EQ(ParseHexIdentifier(u""), 0u);
    EXPECT_EQ(ParseHexIdentifier(u"xyz"), 0u);
}

TEST(ParseHexIdentifier, ADoublePrefixGivesZero) {
    // A resource that carries its own prefix is shown as "0x0x5C3B": the second x ends the number.
    EXPECT_EQ(ParseHexIdentifier(u"0x0x5C3B"), 0u);
}

TEST(ParseHexIdentifier, SpaceAndSignAsTheLibraryTakesThem) {
    EXPECT_EQ(ParseHexIdentifier(u"  \t0x10"), 0x10u);
    EXPECT_EQ(ParseHexIdentifier(u"+0x10"), 0x10u);
    EXPECT_EQ(ParseHexIdentifier(u"-0x1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexIdentifier(u"-0x100000000"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseHexIdentifier(u"5C3B"), 0x5C3Bu);  // the prefix is optional
}

}  // namespace
}  // namespace vandrel
