// A timeline on the real steady clock: a background thread runs each scheduled action at its real
// time, and spend() really sleeps. Used with the real system services (the demos).
#pragma once

#include "timeline.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace tolvane::sim {

class RealTimeline final : public Timeline {
public:
    RealTimeline();
    // Drops the actions not yet run and joins the background thread.
    ~RealTimeline() override;
    RealTimeline(const RealTimeline&) = delete;
    RealTimeline& operator=(const RealTimeline&) = delete;

    std::uint64_t nowMs() override;
    void schedule(std::uint64_t atMs, std::function<void()> action) override;
    void spend(std::uint32_t ms) override;
    void cancelAll() override;

private:
    void run();

    const std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> actions_;
    std::uint64_t nextSequence_ = 0;
    bool running_ = false;  // an action is running on the background thread
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace tolvane::sim
