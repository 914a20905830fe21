// The pieces a recording is made of: its lines read back as written, and the hashes it stores.
#include "record_line.h"
#include "recorder.h"
#include "sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace tolvane::record {
namespace {

std::vector<std::uint8_t> BytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(Sha256Hex(BytesOf("")),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex(BytesOf("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks of padding: 56 bytes leave no room for the length in the first.
    EXPECT_EQ(Sha256Hex(BytesOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(RecordLine, ReadsBackWhatItWrote) {
    RecordLine line("open");
    line.text("path", u"/dev/hidraw3 \"quoted\" \\ \u00e9\U0001F600")
        .number("d", 7)
        .flag("ok", true)
        .bytes("x", std::vector<std::uint8_t>{0x00, 0x22, 0xff});
    const auto parsed = RecordLine::parse(line.json());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->json(), line.json());
    EXPECT_EQ(parsed->op(), "open");
    EXPECT_EQ(parsed->wideTextOf("path"), u"/dev/hidraw3 \"quoted\" \\ \u00e9\U0001F600");
    EXPECT_EQ(parsed->numberOf("d"), 7u);
    EXPECT_EQ(parsed->raw("ok"), "true");
    EXPECT_EQ(parsed->bytesOf("x"), (std::vector<std::uint8_t>{0x00, 0x22, 0xff}));
    EXPECT_FALSE(parsed->has("e"));
}

TEST(RecordLine, RefusesWhatIsNotAFlatObject) {
    for (const char* text : {"", "[]", "{\"a\":}", "{\"a\":{\"b\":1}}", "{\"a\":1", "{\"a\" 1}",
                             "{\"a\":nope}", "{\"a\":\"open}"}) {
        EXPECT_FALSE(RecordLine::parse(text)) << text;
    }
}

TEST(Recorder, StoresCommandsWholeAndDataReportsAsTheirHash) {
    std::vector<std::uint8_t> command(65, 0);
    command[1] = 0x33;
    command[15] = 0x01;  // 16 bytes up to the last non-zero one: still a command
    EXPECT_FALSE(StoredAsHash(command));
    std::vector<std::uint8_t> data(65, 0xA5);
    EXPECT_TRUE(StoredAsHash(data));
    EXPECT_EQ(ReportHash(data), Sha256Hex(data).substr(0, 12));
}

}  // namespace
}  // namespace tolvane::record
