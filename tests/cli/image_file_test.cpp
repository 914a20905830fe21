#include "image/image_file.h"

#include "image/stable_file_read.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tolvane::cli {
namespace {

using tolvane::test::TempDir;

ImageError Refused(const std::string& path, ImageFormat format = ImageFormat::Auto) {
    auto loaded = LoadImageFile(path, format);
    EXPECT_TRUE(std::holds_alternative<ImageError>(loaded)) << path;
    return std::holds_alternative<ImageError>(loaded) ? std::get<ImageError>(loaded) : ImageError{};
}

// Rewrites the file in place with `fill` and moves its time on, as an editor or a build does.
void Rewrite(const std::string& path, std::size_t size, char fill, int step) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(size, fill);
    std::filesystem::last_write_time(
        path, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(step));
}

// A file written to while it is read is read again rather than sent torn, and refused when it
// keeps changing; either way the read is whole from one version of the file.
TEST(ImageFile, AFileRewrittenWhileReadIsReadAgainOrRefused) {
    TempDir dir;
    constexpr std::size_t kSize = 200000;  // several chunks
    const std::string path = dir.write("fw.bin", std::string(kSize, 'a'));
    auto once = ReadStableFile(path, kSize, [&](int attempt) {
        if (attempt == 1 && std::filesystem::file_size(path) == kSize)
            Rewrite(path, kSize + 1, 'b', 10);
    });
    ASSERT_TRUE(std::holds_alternative<std::vector<std::uint8_t>>(once));
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(once), std::vector<std::uint8_t>(kSize + 1, 'b'));

    int step = 20;
    auto always = ReadStableFile(path, kSize, [&](int) { Rewrite(path, kSize, 'c', ++step); });
    ASSERT_TRUE(std::holds_alternative<ImageError>(always));
    const ImageError& error = std::get<ImageError>(always);
    EXPECT_EQ(error.problem, ImageProblem::Unreadable);
    EXPECT_NE(error.message.find("written to while it was read, 3 times"), std::string::npos)
        << error.message;
}

TEST(ImageFile, RawBinaryIsTakenAsItIsWithoutAnAddress) {
    TempDir dir;
    const std::vector<std::uint8_t> bytes{0x00, 0xFF, 0x3A, 0x0A};
    auto loaded = LoadImageFile(dir.write("fw.bin", bytes), ImageFormat::Auto);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(loaded));
    const auto& image = std::get<FirmwareImage>(loaded);
    EXPECT_EQ(image.bytes, bytes);
    EXPECT_EQ(image.format, ImageFormat::Raw);
    EXPECT_FALSE(image.loadAddress);
}

TEST(ImageFile, HexFileGivesItsLowestAddress) {
    TempDir dir;
    auto loaded =
        LoadImageFile(dir.write("fw.HEX", ":0401000001020304F1\n:00000001FF\n"), ImageFormat::Auto);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(loaded));
    const auto& image = std::get<FirmwareImage>(loaded);
    EXPECT_EQ(image.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(image.loadAddress, 0x100u);
}

TEST(ImageFile, FormatFollowsTheExtensionUnlessForced) {
    EXPECT_EQ(FormatForPath("a/b/fw.hex"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatForPath("fw.ihx"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatForPath("fw.IHEX"), ImageFormat::IntelHex);
    EXPECT_EQ(FormatForPath("fw.bin"), ImageFormat::Raw);
    EXPECT_EQ(FormatForPath("hex.d/fw"), ImageFormat::Raw);
    TempDir dir;
    const std::string text = ":0100000042BD\n:00000001FF\n";
    auto raw = LoadImageFile(dir.write("fw.hex", text), ImageFormat::Raw);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(raw));
    EXPECT_EQ(std::get<FirmwareImage>(raw).bytes.size(), text.size());
    auto hex = LoadImageFile(dir.write("fw.dat", text), ImageFormat::IntelHex);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(hex));
    EXPECT_EQ(std::get<FirmwareImage>(hex).bytes, (std::vector<std::uint8_t>{0x42}));
}

TEST(ImageFile, HexRefusalNamesFileAndLine) {
    TempDir dir;
    const std::string path = dir.write("fw.hex", ":0100000042BD\n:0100010043BC\n:00000001FF\n");
    const ImageError error = Refused(path);
    EXPECT_EQ(error.problem, ImageProblem::Invalid);
    EXPECT_EQ(error.message, path + ": line 2: bad record checksum 0xBC, expected 0xBB");
}

TEST(ImageFile, EmptyAndOversizedImagesAreRefused) {
    TempDir dir;
    const std::string empty = dir.write("empty.bin", std::string());
    EXPECT_EQ(Refused(empty).message, empty + ": the image is empty");
    EXPECT_EQ(Refused(empty).problem, ImageProblem::Invalid);
    const std::string big = dir.write("big.bin", std::string(16777216, '\x5A'));
    const ImageError error = Refused(big);
    EXPECT_EQ(error.problem, ImageProblem::Invalid);
    EXPECT_NE(error.message.find("16777216 bytes or more"), std::string::npos) << error.message;
}

TEST(ImageFile, LargestImageIsAccepted) {
    TempDir dir;
    auto loaded =
        LoadImageFile(dir.write("max.bin", std::string(16777215, '\x01')), ImageFormat::Raw);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(loaded));
    EXPECT_EQ(std::get<FirmwareImage>(loaded).bytes.size(), 16777215u);
}

TEST(ImageFile, MissingFileAndDirectoryAreUnreadable) {
    TempDir dir;
    const ImageError missing = Refused(dir.path("none.bin"));
    EXPECT_EQ(missing.problem, ImageProblem::Unreadable);
    EXPECT_NE(missing.message.find(dir.path("none.bin") + ": cannot read the image: "),
              std::string::npos);
    EXPECT_EQ(missing.code, 2u);
    std::filesystem::create_directories(dir.path("folder.bin"));
    EXPECT_EQ(Refused(dir.path("folder.bin")).problem, ImageProblem::Unreadable);
}

#ifndef _WIN32
TEST(ImageFile, AFifoIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const std::string fifo = dir.path("fw.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer, a blocking open would never return.
    const ImageError error = Refused(fifo);
    EXPECT_EQ(error.problem, ImageProblem::Unreadable);
    EXPECT_NE(error.message.find("not a regular file"), std::string::npos) << error.message;
    EXPECT_NE(Refused(fifo, ImageFormat::IntelHex).message.find("not a regular file"),
              std::string::npos);
}

TEST(ImageFile, ACharacterDeviceIsRefused) {
    const ImageError error = Refused("/dev/zero", ImageFormat::Raw);
    EXPECT_EQ(error.problem, ImageProblem::Unreadable);
    EXPECT_NE(error.message.find("not a regular file"), std::string::npos);
}
#endif

TEST(ImageFile, IntelHexTextUnderARawNameIsReadAsHexUnlessRawIsChosen) {
    TempDir dir;
    const std::string text = " \n:0401000001020304F1\n:00000001FF\n";
    const std::string path = dir.write("fw.bin", text);
    auto automatic = LoadImageFile(path, ImageFormat::Auto);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(automatic));
    const auto& image = std::get<FirmwareImage>(automatic);
    EXPECT_EQ(image.format, ImageFormat::IntelHex);
    EXPECT_EQ(image.bytes, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    ASSERT_EQ(image.warnings.size(), 1u);
    EXPECT_NE(image.warnings[0].find("--format"), std::string::npos);

    auto raw = LoadImageFile(path, ImageFormat::Raw);
    ASSERT_TRUE(std::holds_alternative<FirmwareImage>(raw));
    EXPECT_EQ(std::get<FirmwareImage>(raw).bytes.size(), text.size());
    ASSERT_EQ(std::get<FirmwareImage>(raw).warnings.size(), 1u);
    EXPECT_NE(std::get<FirmwareImage>(raw).warnings[0].find("holds Intel HEX records"),
              std::string::npos);
}

// A damaged HEX file under a raw name is refused as a .hex file would be, never sent as text;
// chosen by name, --format raw sends it with a warning.
TEST(ImageFile, DamagedIntelHexUnderARawNameIsRefusedWithItsLineAndFault) {
    TempDir dir;
    const std::string good = ":0401000001020304F1\n:0401040005060708DD\n:00000001FF\n";
    const struct {
        const char* name;
        std::string text;
        const char* where;
    } cases[] = {
        {"checksum.bin", ":0401000001020304F2\n:00000001FF\n", "line 1: "},
        {"truncated.txt", ":0401000001020304F1\n:0401040005060", "line 2: "},
        {"no-end.bin", ":0401000001020304F1\n:0401040005060708DD\n", "line 2: missing end"},
        {"bom.bin", "\xEF\xBB\xBF" + good, "line 1: a byte-order mark"},
        {"garbage.dat", good + "this is not a record\n", "line 4: "},
        {"crlf-bad.bin", ":0401000001020304F1\r\n:04010400050607G8DD\r\n:00000001FF\r\n",
         "line 2: bad hexadecimal digit"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write(c.name, c.text);
        const ImageError error = Refused(path);
        EXPECT_EQ(error.problem, ImageProblem::Invalid) << c.name;
        EXPECT_EQ(error.message.rfind(path + ": " + c.where, 0), 0u) << error.message;
        EXPECT_NE(error.message.find("Intel HEX records"), std::string::npos) << error.message;
        auto raw = LoadImageFile(path, ImageFormat::Raw);
        ASSERT_TRUE(std::holds_alternative<FirmwareImage>(raw)) << c.name;
        EXPECT_EQ(std::get<FirmwareImage>(raw).bytes.size(), c.text.size());
        EXPECT_EQ(std::get<FirmwareImage>(raw).warnings.size(), 1u) << c.name;
    }
    // Binary that merely holds a colon, or a single text line, stays raw without a word.
    for (const std::string& text :
         {std::string("\x01:\x02\n\xFF\n\x10\n"), std::string("hello: world\n")}) {
        auto loaded = LoadImageFile(dir.write("plain.bin", text), ImageFormat::Auto);
        ASSERT_TRUE(std::holds_alternative<FirmwareImage>(loaded));
        EXPECT_EQ(std::get<FirmwareImage>(loaded).format, ImageFormat::Raw);
        EXPECT_TRUE(std::get<FirmwareImage>(loaded).warnings.empty());
    }
}

}  // namespace
}  // namespace tolvane::cli
