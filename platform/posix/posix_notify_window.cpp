#include "posix_notify_window.h"

#include <thread>
#include <utility>

namespace tolvane::posix {

PosixNotifyWindow::PosixNotifyWindow(DeviceChangeHandler& handler, NotificationDelivery delivery)
    : queue_(ThreadMessageQueue::ForCurrentThread()),
      target_(std::make_shared<NotifyWindowTarget>(handler, queue_, std::this_thread::get_id(),
                                                   delivery)) {}

PosixNotifyWindow::~PosixNotifyWindow() {
    target_->markDestroyed();
}

SysError PosixNotifyWindow::destroy() {
    if (target_->destroyed()) {
        return 0;
    }
    if (std::this_thread::get_id() != target_->owner()) {
        return kErrorAccessDenied;
    }
    target_->markDestroyed();
    return 0;
}

void* PosixNotifyWindow::nativeHandle() const {
    return const_cast<PosixNotifyWindow*>(this);
}

void PosixNotifyWindow::deliverDeviceChange(std::uint32_t eventType, std::u16string path) {
    target_->deliver(eventType, std::move(path));
}

}  // namespace tolvane::posix
