// Signatures against the stock minisign tool: what tolvane signs, minisign verifies, and what
// minisign signs (prehashed and legacy), tolvane verifies. Skipped where minisign is absent.
#include "test_keys.h"

#include "package/zip_archive.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tolvane::package::test {
namespace {

bool HaveTool(const std::string& probe) {
#ifdef _WIN32
    (void)probe;
    return false;
#else
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
#endif
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class MinisignTool : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool("minisign -v")) GTEST_SKIP() << "minisign is not installed: not compared";
        dir_ = scratch_.root();
        Write(dir_ + "/a.pub", kKeyAPublic);
        Write(dir_ + "/a.key", kKeyASecret);
        Write(dir_ + "/manifest.json", WriteManifest(SampleManifest(SampleFirmware())));
    }
    int run(const std::string& arguments) {
        return std::system(("minisign " + arguments + " >/dev/null 2>&1").c_str());
    }
    // Each case writes its own files: cases run side by side.
    tolvane::test::TempDir scratch_;
    std::string dir_;
};

TEST_F(MinisignTool, VerifiesWhatTolvaneSigns) {
    const std::string manifest = Read(dir_ + "/manifest.json");
    Write(dir_ + "/manifest.json.minisig", SignatureOf(manifest, kKeyASecret));
    EXPECT_EQ(run("-V -p " + dir_ + "/a.pub -m " + dir_ + "/manifest.json"), 0);
    Write(dir_ + "/manifest.json", manifest + " ");
    EXPECT_NE(run("-V -p " + dir_ + "/a.pub -m " + dir_ + "/manifest.json"), 0);
}

TEST_F(MinisignTool, SignsWhatTolvaneVerifiesInBothKinds) {
    const std::string manifest = Read(dir_ + "/manifest.json");
    const PublicKey key = std::get<PublicKey>(ReadPublicKey(kKeyAPublic));
    for (const std::string legacy : {"", "-l "}) {
        ASSERT_EQ(run("-S -W " + legacy + "-s " + dir_ + "/a.key -t 'made by minisign' -m " + dir_ +
                      "/manifest.json"),
                  0);
        auto signature = ReadSignature(Read(dir_ + "/manifest.json.minisig"));
        ASSERT_TRUE(std::holds_alternative<Signature>(signature)) << legacy;
        EXPECT_EQ(std::get<Signature>(signature).kind,
                  legacy.empty() ? SignatureKind::Prehashed : SignatureKind::Legacy);
        EXPECT_EQ(CheckSignature(
                      std::get<Signature>(signature), key,
                      {reinterpret_cast<const std::uint8_t*>(manifest.data()), manifest.size()}),
                  std::nullopt)
            << legacy;
    }
}

TEST(ZipTools, UnzipListsAndTestsAPackage) {
    if (!HaveTool("unzip -v")) GTEST_SKIP() << "unzip is not installed: not compared";
    const tolvane::test::TempDir scratch;
    const std::string path = scratch.path("sample.tvpkg");
    const std::string manifest = WriteManifest(SampleManifest(SampleFirmware()));
    const auto bytes = WritePackage(manifest, SignatureOf(manifest, kKeyASecret), SampleFirmware());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(std::system(("unzip -tq " + path + " >/dev/null 2>&1").c_str()), 0);
    Write(path + ".manifest", manifest);
    EXPECT_EQ(std::system(
                  ("unzip -p " + path + " manifest.json | cmp -s - " + path + ".manifest").c_str()),
              0);
}

}  // namespace
}  // namespace tolvane::package::test
