// A thread for one part of a run (one device's update among several) that holds a share of the
// run's clock while it works: on a simulated clock, time then moves on only while every such
// thread waits, so each device's times are its own and the same on every run.
#pragma once

#include "system_services.h"

#include <memory>
#include <thread>
#include <utility>

namespace tolvane::cli {

// The share is taken here, before the thread starts, so that the clock waits for the thread to
// reach its first wait; it is let go on the thread once `work` has returned.
template <typename Work>
std::jthread StartClockSharingThread(SystemServices& services, Work work) {
    return std::jthread([share = services.shareClock(), work = std::move(work)]() mutable {
        if (share) share->attach();
        work();
        share.reset();
    });
}

}  // namespace tolvane::cli
