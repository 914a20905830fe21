#include "image/intel_hex_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolvane::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

HexImage Accept(const std::string& text) {
    auto result = ReadIntelHex(text);
    if (auto* error = std::get_if<HexError>(&result)) {
        ADD_FAILURE() << "refused at line " << error->line << ": " << error->what;
        return {};
    }
    return std::get<HexImage>(result);
}

HexError Refuse(const std::string& text) {
    auto result = ReadIntelHex(text);
    if (std::holds_alternative<HexImage>(result)) {
        ADD_FAILURE() << "accepted:\n" << text;
        return {};
    }
    return std::get<HexError>(result);
}

constexpr const char* kEnd = ":00000001FF\n";

TEST(IntelHexReader, ReadsDataRecordsAtTheirOffsets) {
    // 4 bytes at 0x0100: 01 02 03 04.
    const HexImage image = Accept(":0401000001020304F1\n" + std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x0100u);
    EXPECT_EQ(image.bytes, (Bytes{1, 2, 3, 4}));
}

TEST(IntelHexReader, FillsGapsWithFFAndOrdersRecordsByAddress) {
    // 2 bytes at 0x0010 (AA BB), then 1 byte at 0x000C (CC), written out of order.
    const HexImage image = Accept(
        ":02001000AABB89\n"
        ":01000C00CC27\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x000Cu);
    EXPECT_EQ(image.bytes, (Bytes{0xCC, 0xFF, 0xFF, 0xFF, 0xAA, 0xBB}));
}

TEST(IntelHexReader, ExtendedLinearAddressSetsTheUpperSixteenBits) {
    // Upper half 0x0001, then 2 bytes at offset 0x0000: address 0x00010000.
    const HexImage image = Accept(
        ":020000040001F9\n"
        ":020000001122CB\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x00010000u);
    EXPECT_EQ(image.bytes, (Bytes{0x11, 0x22}));
}

TEST(IntelHexReader, ExtendedSegmentAddressIsTimesSixteen) {
    // Segment 0x1000 = address 0x10000, plus offset 0x0004.
    const HexImage image = Accept(
        ":020000021000EC\n"
        ":0100040055A6\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x00010004u);
    EXPECT_EQ(image.bytes, (Bytes{0x55}));
}

TEST(IntelHexReader, UnderASegmentAddressARecordWrapsWithinItsSegment) {
    // Segment 0x1000 (0x10000): four bytes at offset 0xFFFE, of which the last two wrap to the
    // segment's start.
    const HexImage image = Accept(
        ":020000021000EC\n"
        ":04FFFE0001020304F5\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x00010000u);
    ASSERT_EQ(image.bytes.size(), 0x10000u);
    EXPECT_EQ(image.bytes[0], 0x03);
    EXPECT_EQ(image.bytes[1], 0x04);
    EXPECT_EQ(image.bytes[2], 0xFF);
    EXPECT_EQ(image.bytes[0xFFFE], 0x01);
    EXPECT_EQ(image.bytes[0xFFFF], 0x02);
}

TEST(IntelHexReader, ARecordThatEndsAtTheSegmentsEndDoesNotWrap) {
    // :02FFFE00 0102: the last two bytes of segment 0x1000.
    const HexImage image = Accept(
        ":020000021000EC\n"
        ":02FFFE000102FE\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x0001FFFEu);
    EXPECT_EQ(image.bytes, (Bytes{0x01, 0x02}));
}

TEST(IntelHexReader, UnderALinearAddressARecordRunsOnPastTheSixtyFourKiB) {
    const HexImage image = Accept(
        ":020000040001F9\n"
        ":04FFFE0001020304F5\n" +
        std::string(kEnd));
    EXPECT_EQ(image.lowestAddress, 0x0001FFFEu);
    EXPECT_EQ(image.bytes, (Bytes{0x01, 0x02, 0x03, 0x04}));
}

TEST(IntelHexReader, WrappedBytesThatMeetDataAtTheSegmentsStartAreRefused) {
    const auto result = ReadIntelHex(
        ":020000021000EC\n"
        ":0100000055AA\n"
        ":04FFFE0001020304F5\n" +
        std::string(kEnd));
    ASSERT_TRUE(std::holds_alternative<HexError>(result));
    EXPECT_EQ(std::get<HexError>(result).line, 3u);
    EXPECT_NE(std::get<HexError>(result).what.find("overlaps data from line 2"), std::string::npos);
}

TEST(IntelHexReader, StartAddressRecordsAreIgnored) {
    const HexImage image = Accept(
        ":0400000300003800C1\n"
        ":0400000508000000EF\n"
        ":0100000042BD\n" +
        std::string(kEnd));
    EXPECT_EQ(image.bytes, (Bytes{0x42}));
}

TEST(IntelHexReader, AcceptsCrLfBlankLinesLowerCaseAndNoFinalNewline) {
    const HexImage image = Accept("\r\n  :02000000abcd86\r\n\r\n:00000001ff");
    EXPECT_EQ(image.bytes, (Bytes{0xAB, 0xCD}));
}

TEST(IntelHexReader, RecordsAdjacentWithoutOverlapJoin) {
    const HexImage image = Accept(
        ":020000000102FB\n"
        ":020002000304F5\n" +
        std::string(kEnd));
    EXPECT_EQ(image.bytes, (Bytes{1, 2, 3, 4}));
}

struct BrokenCase {
    const char* name;
    std::string text;
    std::size_t line;
    const char* what;  // a part of the message
};

class IntelHexBroken : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(IntelHexBroken, IsRefusedWithLineAndReason) {
    const HexError error = Refuse(GetParam().text);
    EXPECT_EQ(error.line, GetParam().line);
    EXPECT_NE(error.what.find(GetParam().what), std::string::npos) << error.what;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, IntelHexBroken,
    ::testing::Values(
        BrokenCase{"BadChecksum", ":0100000042BE\n" + std::string(kEnd), 1,
                   "bad record checksum 0xBE, expected 0xBD"},
        BrokenCase{"BadDigit", ":01000000G2BD\n" + std::string(kEnd), 1,
                   "bad hexadecimal digit 'G' in column 10"},
        BrokenCase{"NoColon", "0100000042BD\n" + std::string(kEnd), 1, "expected ':'"},
        BrokenCase{"OddDigits", ":0100000042BD0\n" + std::string(kEnd), 1, "odd number"},
        BrokenCase{"TooShort", ":000000\n" + std::string(kEnd), 1, "too short"},
        BrokenCase{"CountMismatch", ":0200000042BC\n" + std::string(kEnd), 1,
                   "byte count says 2 data bytes, the record holds 1"},
        BrokenCase{"UnknownType", ":00000006FA\n" + std::string(kEnd), 1,
                   "unknown record type 0x06"},
        BrokenCase{"ShortLinearAddress", ":0100000401FA\n" + std::string(kEnd), 1,
                   "needs 2 data bytes"},
        BrokenCase{"ShortStartAddress", ":020000030000FB\n" + std::string(kEnd), 1,
                   "needs 4 data bytes"},
        BrokenCase{"EndWithData", ":0100000100FE\n", 1, "end-of-file record carries data"},
        BrokenCase{"MissingEnd", ":0100000042BD\n:0100010043BB\n", 2, "missing end-of-file"},
        BrokenCase{"EmptyFile", "", 1, "missing end-of-file"},
        BrokenCase{"AfterEnd", std::string(kEnd) + ":0100000042BD\n", 2,
                   "after the end-of-file record of line 1"},
        BrokenCase{"NoData", kEnd, 1, "holds no data"},
        // Line 3 writes 0x0001 again, which line 1 already wrote.
        BrokenCase{"Overlap", ":020000000102FB\n:01001000AA45\n:01000100FFFF\n" + std::string(kEnd),
                   3, "data at 0x00000001 overlaps data from line 1"},
        // The later line is named, even when it holds the lower address.
        BrokenCase{"OverlapFromBelow", ":020001000102FA\n:020000000304F7\n" + std::string(kEnd), 2,
                   "overlaps data from line 1"},
        // 0x00000000 and 0x01000000: a span of 16777217 bytes.
        BrokenCase{"SpanTooLarge",
                   ":0100000042BD\n:020000040100F9\n:0100000043BC\n" + std::string(kEnd), 3,
                   "spans 16777217 bytes"},
        BrokenCase{"PastFourGiB", ":02000004FFFFFC\n:02FFFF000102FD\n" + std::string(kEnd), 2,
                   "past the 4 GiB"}),
    [](const ::testing::TestParamInfo<BrokenCase>& param) { return param.param.name; });

TEST(IntelHexReader, SpanOfExactlyTheLimitIsAccepted) {
    // One byte at 0 and one at 0x00FFFFFE: 16777215 bytes.
    const HexImage image = Accept(
        ":0100000042BD\n"
        ":0200000400FFFB\n"
        ":01FFFE0043BF\n" +
        std::string(kEnd));
    EXPECT_EQ(image.bytes.size(), 16777215u);
    EXPECT_EQ(image.bytes.back(), 0x43);
    EXPECT_EQ(image.bytes[1], 0xFF);
}

}  // namespace
}  // namespace tolvane::cli
