// Test helper: runs a program beside the test program, with its standard output captured and its
// errors discarded, and waits for it to end.
#pragma once

#include "win32_handles.h"

#include <string>

namespace tolvane::testing {

struct CapturedRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::string out;
};

// The folder of the running test program, with a trailing backslash.
inline std::wstring DirectoryOfThisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    return directory.substr(0, directory.find_last_of(L'\\') + 1);
}

// Runs `commandLine`; exitCode stays 0xFFFFFFFF when it could not be started.
inline CapturedRun RunCaptured(std::wstring commandLine) {
    CapturedRun run;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return run;
    const win32::UniqueKernelHandle readEnd(readRaw);
    win32::UniqueKernelHandle writeEnd(writeRaw);
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    const win32::UniqueFileHandle nul(CreateFileW(L"NUL", GENERIC_WRITE,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                  OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = nul.get();
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process);
    // Only the child writes to the pipe now, so the reads below end when it does.
    writeEnd.reset();
    if (!started) return run;
    const win32::UniqueKernelHandle thread(process.hThread);
    const win32::UniqueKernelHandle child(process.hProcess);
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        run.out.append(buffer, got);
    }
    WaitForSingleObject(child.get(), INFINITE);
    GetExitCodeProcess(child.get(), &run.exitCode);
    return run;
}

}  // namespace tolvane::testing
