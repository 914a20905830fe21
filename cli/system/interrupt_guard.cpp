#include "system/interrupt_guard.h"

namespace tolvane::cli {

void InterruptGuard::interrupt() {
    const std::lock_guard lock(mutex_);
    if (wake_) wake_();
    if (abort_) return;
    ++interrupts_;
    if (written_ && interrupts_ < kInterruptsToForce) {
        if (interrupts_ == 1) noticeDue_ = true;
        return;
    }
    abort_ = true;
    abortStep_ = step_;
    abortAfterWrite_ = written_;
}

void InterruptGuard::setWake(std::function<void()> wake) const {
    const std::lock_guard lock(mutex_);
    wake_ = std::move(wake);
}

void InterruptGuard::enterStep(RunStep step) {
    const std::lock_guard lock(mutex_);
    step_ = step;
}

void InterruptGuard::deviceWritten() {
    const std::lock_guard lock(mutex_);
    written_ = true;
}

bool InterruptGuard::interrupted() const {
    const std::lock_guard lock(mutex_);
    return interrupts_ > 0;
}

bool InterruptGuard::abortRequested() const {
    const std::lock_guard lock(mutex_);
    return abort_;
}

RunStep InterruptGuard::abortStep() const {
    const std::lock_guard lock(mutex_);
    return abortStep_;
}

bool InterruptGuard::abortAfterWrite() const {
    const std::lock_guard lock(mutex_);
    return abortAfterWrite_;
}

bool InterruptGuard::takeNotice() {
    const std::lock_guard lock(mutex_);
    const bool due = noticeDue_;
    noticeDue_ = false;
    return due;
}

}  // namespace tolvane::cli
