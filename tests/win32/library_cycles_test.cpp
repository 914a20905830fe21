// Tolvane.dll's watcher started and stopped many times in a row, by one thread and by a new thread
// each time (a caller's worker that ends afterwards): every start answers 0 with its hidden window
// already there, and every stop leaves no window of the thread behind.
#include "tolvane.h"

#include "thread_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using tolvane::testing::ThreadWindowsTitled;

constexpr int kCycles = 50;

// One start and stop on the calling thread; the first fault found, or an empty text.
std::string StartAndStop() {
    if (!ThreadWindowsTitled(L"Dummy Dialog").empty()) return "a window before the start";
    const std::uint32_t started = DFU_Initialize();
    if (started != DFU_SUCCESS) return "DFU_Initialize answered " + std::to_string(started);
    const std::vector<HWND> windows = ThreadWindowsTitled(L"Dummy Dialog");
    if (windows.size() != 1 || !IsWindow(windows[0])) {
        return std::to_string(windows.size()) + " windows after the start";
    }
    const std::uint32_t stopped = DFU_Deinitialize();
    if (stopped != DFU_SUCCESS) return "DFU_Deinitialize answered " + std::to_string(stopped);
    if (IsWindow(windows[0])) return "the window outlived the stop";
    return {};
}

struct CycleCase {
    const char* name;
    std::function<std::string()> cycle;
};

TEST(TolvaneLibraryCycles, EveryStartHasItsWindowAndEveryStopRemovesIt) {
    const CycleCase cases[] = {
        {"one thread", StartAndStop},
        {"a new thread each time",
         [] {
             std::string fault;
             std::thread worker([&fault] { fault = StartAndStop(); });
             worker.join();
             return fault;
         }},
    };
    for (const CycleCase& c : cases) {
        for (int cycle = 0; cycle < kCycles; ++cycle) {
            const std::string fault = c.cycle();
            ASSERT_EQ(fault, "") << c.name << ", cycle " << cycle;
        }
    }
}

}  // namespace
