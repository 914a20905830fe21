#include "web_event_loop.h"

#include "web_js.h"

#include <algorithm>

namespace tolvane::web {

WebEventLoop& WebEventLoop::instance() {
    static WebEventLoop loop;
    return loop;
}

void WebEventLoop::add(LoopSource& source) {
    sources_.push_back(&source);
}

void WebEventLoop::remove(LoopSource& source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), &source), sources_.end());
}

std::uint64_t WebEventLoop::nowMs() const {
    return js::NowMs();
}

void WebEventLoop::runDue() {
    // A source's work may add or remove sources: walk a copy, skipping removed ones.
    const std::vector<LoopSource*> sources = sources_;
    for (LoopSource* source : sources) {
        if (std::find(sources_.begin(), sources_.end(), source) != sources_.end()) {
            source->runDue();
        }
    }
}

void WebEventLoop::idleUntil(std::uint64_t deadlineMs) {
    std::uint64_t until = deadlineMs;
    for (LoopSource* source : sources_) {
        if (const auto due = source->nextDueMs()) until = std::min(until, *due);
    }
    const std::uint64_t now = nowMs();
    if (until == kNoDeadline) {
        js::Idle(-1);
    } else {
        // Always through JavaScript's event loop, so that its events get their turn.
        js::Idle(until > now ? static_cast<std::int64_t>(until - now) : 0);
    }
    runDue();
}

void WebEventLoop::sleep(std::uint32_t ms) {
    const std::uint64_t deadline = nowMs() + ms;
    runDue();
    while (nowMs() < deadline) {
        idleUntil(deadline);
    }
}

}  // namespace tolvane::web
