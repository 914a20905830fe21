// tolvane.exe under Wine with a command line outside the ANSI code page: it updates the simulated
// device from "Prüfung\固件.hex" and names that file correctly in its JSON.
#include "captured_run.h"
#include "win32_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using tolvane::testing::CapturedRun;
using tolvane::testing::DirectoryOfThisProgram;
using tolvane::testing::RunCaptured;

std::string Utf8(const std::wstring& wide) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes,
                        nullptr, nullptr);
    return text;
}

TEST(ToolOnWindows, UpdatesFromAFileWhosePathIsOutsideTheAnsiCodePage) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring root =
        std::wstring(temp) + L"tolvane-unicode-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring folder = root + L"\\Pr\u00FCfung";
    const std::wstring image = folder + L"\\\u56FA\u4EF6.hex";
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    {
        // Sixteen bytes 00 to 0F at address 0, then the end record.
        const std::string hex = ":10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n";
        HANDLE file =
            CreateFileW(image.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, hex.data(), static_cast<DWORD>(hex.size()), &written, nullptr);
        CloseHandle(file);
    }

    const CapturedRun run =
        RunCaptured(L"\"" + DirectoryOfThisProgram() +
                    L"tolvane.exe\" update --simulate --sim-fast --json \"" + image + L"\"");
    EXPECT_EQ(run.exitCode, 0u) << run.out;
    // The path in UTF-8, its backslashes escaped as JSON escapes them.
    std::string expected;
    for (const char c : Utf8(image)) {
        if (c == '\\') expected += '\\';
        expected += c;
    }
    EXPECT_NE(run.out.find("\"image\":\"" + expected + "\""), std::string::npos)
        << run.out << "\nexpected " << expected;
    EXPECT_NE(run.out.find("\"memory_matches\":true"), std::string::npos) << run.out;

    DeleteFileW(image.c_str());
    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(root.c_str());
}

}  // namespace
