// The GUI test driver: runs one scenario against a Vandrel program from outside, as a person
// would. Usage: vandrel_gui_driver SCENARIO PROGRAM [SHOT-REQUEST-FILE]
// On failure it creates SHOT-REQUEST-FILE (if given) and waits up to 20 s for the test script to
// take a screenshot and delete it, so the picture shows the moment of failure.
#include "scenarios.h"
#include "target_program.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

std::wstring g_marker;

void RequestScreenshot() {
    const std::wstring& marker = g_marker;
    if (marker.empty()) return;
    HANDLE file = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    ::CloseHandle(file);
    for (int i = 0; i < 200 && ::GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// A crash of the driver ends it at once with a line, instead of waiting for a debugger.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::printf("FAIL: the driver crashed with exception 0x%08lX\n",
                info->ExceptionRecord->ExceptionCode);
    std::fflush(stdout);
    ::ExitProcess(3);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::SetUnhandledExceptionFilter(&ReportCrash);
    // "ready": Wine starts programs; used to build the Wine prefix before the first test.
    if (argc == 2 && std::wstring(argv[1]) == L"ready") return 0;
    if (argc < 3) {
        std::fprintf(stderr, "usage: vandrel_gui_driver SCENARIO PROGRAM [SHOT-REQUEST-FILE]\n");
        return 2;
    }
    const std::string scenario = gui::Narrow(argv[1]);
    g_marker = argc > 3 ? argv[3] : L"";
    gui::SetFailureHook(&RequestScreenshot);
    const auto start = std::chrono::steady_clock::now();
    try {
        if (!gui::RunScenario(scenario, argv[2])) {
            std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
            return 2;
        }
    } catch (const std::exception& failure) {
        std::printf("FAIL %s: %s\n", scenario.c_str(), failure.what());
        std::fflush(stdout);
        return 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("PASS %s in %.1f s\n", scenario.c_str(), seconds);
    return 0;
}
