#include "page_timeline.h"

#include <emscripten.h>

namespace tolvane::web {

PageTimeline::PageTimeline() : startMs_(WebEventLoop::instance().nowMs()) {
    WebEventLoop::instance().add(*this);
}

PageTimeline::~PageTimeline() {
    WebEventLoop::instance().remove(*this);
}

std::uint64_t PageTimeline::nowMs() {
    return WebEventLoop::instance().nowMs() - startMs_;
}

void PageTimeline::schedule(std::uint64_t atMs, std::function<void()> action) {
    actions_.emplace(std::make_pair(atMs, nextSequence_++), std::move(action));
}

// Only time passes: the actions wait for the loop, so none runs inside a simulated transfer.
void PageTimeline::spend(std::uint32_t ms) {
    emscripten_sleep(ms);
}

void PageTimeline::cancelAll() {
    actions_.clear();
}

std::optional<std::uint64_t> PageTimeline::nextDueMs() {
    if (actions_.empty()) return std::nullopt;
    return startMs_ + actions_.begin()->first.first;
}

void PageTimeline::runDue() {
    while (!actions_.empty() && actions_.begin()->first.first <= nowMs()) {
        auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        action();
    }
}

}  // namespace tolvane::web
