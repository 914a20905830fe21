// System services on the page's one thread: waits and sleeps await JavaScript's timers and
// events (through WebEventLoop), the notify window is a queue that the waits and dispatches of
// this thread hand to its handler, a message box is the page's (or the console's).
//
// There are no other threads: "any thread" is this one, a window's owner is always the caller,
// and a wait dispatches its notifications, as a wait on a window's own thread does on Windows.
#pragma once

#include "system_services.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace tolvane::web {

struct WebWindowCore {
    DeviceChangeHandler* handler = nullptr;  // null once destroyed
    struct Message {
        std::uint32_t eventType;
        std::u16string path;
    };
    std::deque<Message> queue;
};

class WebServices final : public SystemServices {
public:
    WebServices() = default;
    WebServices(const WebServices&) = delete;
    WebServices& operator=(const WebServices&) = delete;

    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override;
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    void dispatchMessages(std::uint32_t maxWaitMs) override;

    // Hands every window's queued notifications to its handler, in order.
    void dispatchWindows();
    void forget(const std::shared_ptr<WebWindowCore>& core);

private:
    bool anyQueued() const;

    std::vector<std::shared_ptr<WebWindowCore>> cores_;
};

}  // namespace tolvane::web
