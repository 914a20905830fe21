#include "scaled_services.h"

namespace vandrel {
namespace {

class ScaledEvent final : public tolvane::AutoResetEvent {
public:
    ScaledEvent(std::unique_ptr<tolvane::AutoResetEvent> real, const ScaledServices& services)
        : real_(std::move(real)), services_(services) {}
    tolvane::SysError signal() override { return real_->signal(); }
    tolvane::WaitResult wait(std::uint32_t timeoutMs) override {
        return real_->wait(services_.scaled(timeoutMs));
    }
    tolvane::SysError close() override { return real_->close(); }

private:
    std::unique_ptr<tolvane::AutoResetEvent> real_;
    const ScaledServices& services_;
};

}  // namespace

std::unique_ptr<tolvane::AutoResetEvent> ScaledServices::createEvent(tolvane::SysError& error) {
    std::unique_ptr<tolvane::AutoResetEvent> real = real_.createEvent(error);
    if (!real) return nullptr;
    return std::make_unique<ScaledEvent>(std::move(real), *this);
}

void ScaledServices::sleep(std::uint32_t ms) {
    real_.sleep(scaled(ms));
}

}  // namespace vandrel
