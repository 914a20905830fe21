#include "stop_signals.h"

#include <pthread.h>

namespace tolvane::target {

namespace {

volatile std::sig_atomic_t* gFlag = nullptr;

void OnStopSignal(int) {
    if (gFlag != nullptr) *gFlag = 1;
}

}  // namespace

void CatchStopSignals(volatile std::sig_atomic_t& flag) {
    gFlag = &flag;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

StopSignalsHeldBack::StopSignalsHeldBack() {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
}

StopSignalsHeldBack::~StopSignalsHeldBack() {
    pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
}

}  // namespace tolvane::target
