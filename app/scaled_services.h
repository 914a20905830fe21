// System services whose sleeps and time-outs are shorter by a factor, for the demonstration
// program: with its simulated target it shows a 30-second time-out in a few seconds. Everything
// else goes to the real services unchanged.
#pragma once

#include "system_services.h"

#include <cstdint>

namespace vandrel {

class ScaledServices final : public tolvane::SystemServices {
public:
    ScaledServices(tolvane::SystemServices& real, std::uint32_t divisor) noexcept
        : real_(real), divisor_(divisor == 0 ? 1 : divisor) {}

    std::unique_ptr<tolvane::AutoResetEvent> createEvent(tolvane::SysError& error) override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override { return real_.nowMs(); }
    std::unique_ptr<tolvane::NotifyWindow> createNotifyWindow(
        const tolvane::NotifyWindowSpec& config, tolvane::DeviceChangeHandler& handler,
        tolvane::SysError& error) override {
        return real_.createNotifyWindow(config, handler, error);
    }
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override {
        real_.showMessageBox(text, caption);
    }
    void dispatchMessages(std::uint32_t maxWaitMs) override { real_.dispatchMessages(maxWaitMs); }

    // A time of `ms` milliseconds as this object waits it; no limit stays no limit.
    std::uint32_t scaled(std::uint32_t ms) const noexcept {
        return ms == tolvane::kInfinite ? ms : ms / divisor_;
    }

private:
    tolvane::SystemServices& real_;
    std::uint32_t divisor_;
};

}  // namespace vandrel
