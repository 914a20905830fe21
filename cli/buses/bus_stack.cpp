#include "buses/bus_stack.h"

#include <utility>

namespace tolvane::cli {
const LockingHidBus& BusStack::lock(LockingHidBus::Taker takePort) {
    top_ = &locking_.emplace(*top_, &DeviceLock::take, std::move(takePort));
    return *locking_;
}

TrackingHidBus& BusStack::track(std::function<void()> onWrite,
                                std::function<void(const std::string& port)> onWriteAt) {
    top_ = &tracking_.emplace(*top_, std::move(onWrite), std::move(onWriteAt));
    return *tracking_;
}

void BusStack::pinToFirstDevice() {
    top_ = &pinned_.emplace(*top_);
}

void BusStack::log(std::ostream& out, std::function<std::uint64_t()> clock,
                   std::function<std::string()> nativeDetail) {
    reportLog_.emplace(out, std::move(clock));
    top_ = &logging_.emplace(*top_, *reportLog_, std::move(nativeDetail));
}

}  // namespace tolvane::cli
