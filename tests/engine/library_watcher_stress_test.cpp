// The library's watcher under careless concurrent use: several threads start and stop it at
// once, and one more only stops it. Every call must return, nothing may crash, and afterwards the
// library answers as before. Runs against the library of this build (on the real platform).
#include "tolvane.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

#if defined(_WIN32)
constexpr int kPairsPerThread = 300;  // every start makes a real window: slower under Wine
#else
constexpr int kPairsPerThread = 1000;
#endif
constexpr int kStartingThreads = 3;

TEST(LibraryWatcherStress, ConcurrentInitializeAndDeinitializeAlwaysReturnAndLeaveItUsable) {
    // What a start answers on this machine when nothing else is going on.
    const std::uint32_t plainStart = DFU_Initialize();
    ASSERT_EQ(DFU_Deinitialize(), DFU_SUCCESS);

    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kStartingThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPairsPerThread; ++i) {
                DFU_Initialize();
                DFU_Deinitialize();
                calls += 2;
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kPairsPerThread * 2; ++i) {
            DFU_Deinitialize();
            ++calls;
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(calls.load(), kStartingThreads * kPairsPerThread * 2 + kPairsPerThread * 2);

    // Whatever the last call left, one stop ends it and the library starts afresh.
    DFU_Deinitialize();
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
    EXPECT_EQ(DFU_Initialize(), plainStart);
    EXPECT_EQ(DFU_Deinitialize(), DFU_SUCCESS);
    EXPECT_EQ(DFU_GetPercentage(), DFU_PERCENTAGE_NONE);
}

}  // namespace
