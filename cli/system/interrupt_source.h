// Where the tool learns of interrupts (Ctrl-C and the like). The handler is called from a thread
// of the source's own, never from a signal handler, so it may lock and allocate.
#pragma once

#include <functional>
#include <memory>

namespace tolvane::cli {

class InterruptSource {
public:
    using Handler = std::function<void()>;

    virtual ~InterruptSource() = default;
    // `handler` is called once per interrupt from now on; an empty one stops the calls. Returns
    // after any call of the previous handler has ended.
    virtual void setHandler(Handler handler) = 0;
};

// The process's own interrupts: SIGINT, SIGTERM and SIGHUP on POSIX systems (those the process
// was not started with ignored; SIGPIPE is ignored so that a closed output is a write error),
// Ctrl-C and Ctrl-Break on a Windows console. Create it on the main thread before any other
// thread starts, so that every thread inherits the blocked signals. One per process.
std::unique_ptr<InterruptSource> CatchInterrupts();

}  // namespace tolvane::cli
