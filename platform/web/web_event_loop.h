// The page's one thread: what JavaScript's events and timers bring reaches C++ only while C++
// runs this loop, from the waits, sleeps and dispatches of the system services. Sources are the
// things that have work to do from time to time: the HID bus's arrivals and removals, the
// simulated devices' timeline.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tolvane::web {

class LoopSource {
public:
    virtual ~LoopSource() = default;
    // When the source next has work; none when it waits for an event from JavaScript.
    virtual std::optional<std::uint64_t> nextDueMs() = 0;
    // Does the work that is due now.
    virtual void runDue() = 0;
};

class WebEventLoop {
public:
    static WebEventLoop& instance();

    void add(LoopSource& source);
    void remove(LoopSource& source);

    std::uint64_t nowMs() const;
    // Runs every source's due work.
    void runDue();
    // Awaits a JavaScript event (an arrival or removal) or `deadlineMs`, or the moment a source
    // has work, whichever comes first, then runs the due work. kNoDeadline: no time limit.
    void idleUntil(std::uint64_t deadlineMs);
    // Lets `ms` pass, running the due work on the way.
    void sleep(std::uint32_t ms);

    static constexpr std::uint64_t kNoDeadline = ~std::uint64_t{0};

private:
    std::vector<LoopSource*> sources_;
};

}  // namespace tolvane::web
