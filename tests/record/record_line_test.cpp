// The pieces a recording is made of: its lines read back as written, and the hashes it stores.
#include "record_line.h"
#include "environment_recording.h"
#include "recorder.h"
#include "replay_script.h"
#include "sha256.h"
#include "sim_bus.h"
#include "sim_services.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
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

// Hostile recordings once ended the tool with "stoul" or "stoull": each is now refused as text
// that is not a recording line, or as a number that is not a recording's.
TEST(RecordLine, EscapesAndNumbersAreReadAsJsonHasThem) {
    const std::pair<const char*, const char*> texts[] = {
        {R"({"s":"\u00e9"})", "\xc3\xa9"},
        {R"({"s":"\ud83d\ude00"})", "\xf0\x9f\x98\x80"},  // a surrogate pair is one character
        {R"({"s":"\ud83dx"})", "\xef\xbf\xbdx"},          // a lone one is replaced
    };
    for (const auto& [text, value] : texts) {
        const auto line = RecordLine::parse(text);
        ASSERT_TRUE(line) << text;
        EXPECT_EQ(line->textOf("s"), value) << text;
    }
    for (const char* bad : {R"({"op":"\uZZZZ"})", R"({"op":"\u12"})", R"({"t":1..2})", R"({"t":-})",
                            R"({"t":01})", R"({"t":1e})"}) {
        EXPECT_FALSE(RecordLine::parse(bad)) << bad;
    }
    const auto big = RecordLine::parse(R"({"t":18446744073709551616,"n":18446744073709551615})");
    ASSERT_TRUE(big);
    EXPECT_FALSE(big->numberOf("t"));
    EXPECT_EQ(big->numberOf("n"), 18446744073709551615u);

    std::istringstream recording(
        "{\"op\":\"recording\",\"version\":1}\n{\"op\":\"list\",\"t\":99999999999999999999}\n");
    std::string error;
    EXPECT_FALSE(ReadRecording(recording, error));
    EXPECT_EQ(error, "line 2: \"t\" is 99999999999999999999, not a whole number from 0 to 2^64-1");
}

// A program that links the library and sets TOLVANE_RECORD leaves a recording that names the
// library's version, as the tool's name the tool's.
TEST(EnvironmentRecording, NamesTheLibraryWithItsVersion) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "tolvane_environment_recording_test.jsonl";
#ifdef _WIN32
    _putenv_s(kRecordVariable, file.string().c_str());
#else
    setenv(kRecordVariable, file.string().c_str(), 1);
#endif
    sim::Transcript transcript;
    sim::SimServices services(transcript);
    sim::SimBus bus(services.timeline(), transcript);
    const EngineSeams seams = SeamsFromEnvironment(bus, services, "libtest");
    EXPECT_NE(seams.bus.listInterfaces(), nullptr);  // a line written, and the file flushed
#ifdef _WIN32
    _putenv_s(kRecordVariable, "");
#else
    unsetenv(kRecordVariable);
#endif
    std::ifstream in(file, std::ios::binary);
    std::string header;
    std::getline(in, header);
    EXPECT_TRUE(std::regex_search(header, std::regex(R"("tool":"libtest [0-9]+\.[0-9]+)")))
        << header;
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
