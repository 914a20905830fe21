// SIGINT and SIGTERM end a virtual target's run: they set a flag its loop watches, and they are
// taken by the thread that runs the loop, so a blocking call there is interrupted (EINTR).
#pragma once

#include <signal.h>

#include <csignal>

namespace tolvane::target {

// Sets FLAG on SIGINT and SIGTERM (without SA_RESTART: a blocked call returns EINTR).
void CatchStopSignals(volatile std::sig_atomic_t& flag);

// While it lives, this thread does not take the stop signals, nor does any thread it starts
// meanwhile (they keep that for good): make the target's helper threads within its scope.
class StopSignalsHeldBack {
public:
    StopSignalsHeldBack();
    StopSignalsHeldBack(const StopSignalsHeldBack&) = delete;
    StopSignalsHeldBack& operator=(const StopSignalsHeldBack&) = delete;
    ~StopSignalsHeldBack();

private:
    sigset_t signals_;
};

}  // namespace tolvane::target
