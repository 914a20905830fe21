// The simulated target's timeline on the page's clock: its scheduled actions (leave, arrive) run
// from the page's event loop, in the waits, sleeps and dispatches of the system services, at or
// soon after their time; a report's own time is slept.
#pragma once

#include "timeline.h"
#include "web_event_loop.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

namespace tolvane::web {

class PageTimeline final : public sim::Timeline, private LoopSource {
public:
    PageTimeline();
    ~PageTimeline() override;
    PageTimeline(const PageTimeline&) = delete;
    PageTimeline& operator=(const PageTimeline&) = delete;

    std::uint64_t nowMs() override;
    void schedule(std::uint64_t atMs, std::function<void()> action) override;
    void spend(std::uint32_t ms) override;
    void cancelAll() override;

private:
    std::optional<std::uint64_t> nextDueMs() override;
    void runDue() override;

    const std::uint64_t startMs_;
    std::uint64_t nextSequence_ = 0;
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> actions_;
};

}  // namespace tolvane::web
