// tolvane.exe under Wine with a command line outside the ANSI code page: it updates the simulated
// device from "Prüfung\固件.hex" and names that file correctly in its JSON.
#include "win32_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& wide) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes,
                        nullptr, nullptr);
    return text;
}

std::wstring DirectoryOfThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

struct ChildRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
};

// Runs `commandLine` with its standard output captured and its errors discarded.
ChildRun RunCaptured(std::wstring commandLine) {
    ChildRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            run.out.append(buffer, got);
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(readEnd);
    CloseHandle(nul);
    return run;
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

    const ChildRun run =
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
