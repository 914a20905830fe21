// The parts of the virtual target's platform that a test steps in with: interrupts it raises
// itself, and a bus that shows it every report and names device nodes.
#pragma once

#include "forwarding_hid_bus.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "system/interrupt_source.h"
#include "transcript.h"
#include "virtual_target.h"

#include <functional>
#include <string>
#include <vector>

namespace tolvane::cli::test {

// Interrupts raised by the test itself, on whatever thread it likes.
class ManualInterrupts final : public InterruptSource {
public:
    void setHandler(Handler handler) override { handler_ = std::move(handler); }
    void raise(int times = 1) {
        for (int i = 0; i < times; ++i) {
            if (handler_) handler_();
        }
    }

private:
    Handler handler_;
};

// A bus that hands every report written to a hook before forwarding it, and names device nodes
// as a test wants (the simulated bus names none).
class HookedBus final : public ForwardingHidBus {
public:
    using Hook = std::function<void(std::span<const std::uint8_t> report)>;
    // The node of the device behind an interface path; empty: none.
    using NodeOf = std::function<std::string(std::u16string_view path)>;

    HookedBus(HidBus& inner, Hook hook, std::function<void()> listHook, NodeOf nodeOf = {})
        : ForwardingHidBus(inner),
          hook_(std::move(hook)),
          listHook_(std::move(listHook)),
          nodeOf_(std::move(nodeOf)) {}
    SysError deviceNodeOf(std::u16string_view path, std::string& node) override {
        if (!nodeOf_) return inner().deviceNodeOf(path, node);
        node = nodeOf_(path);
        return node.empty() ? kErrorInvalidFunction : 0;
    }
    std::unique_ptr<HidInterfaceList> listInterfaces() override {
        if (listHook_) listHook_();
        return inner().listInterfaces();
    }
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override {
        auto device = inner().open(path, access, error);
        if (!device) return device;
        return std::make_unique<Device>(std::move(device), hook_);
    }

private:
    class Device final : public ForwardingHidDevice {
    public:
        Device(std::unique_ptr<HidDevice> inner, Hook& hook)
            : ForwardingHidDevice(std::move(inner)), hook_(hook) {}
        SysError setFeature(std::span<const std::uint8_t> report) override {
            if (hook_) hook_(report);
            return inner().setFeature(report);
        }
        SysError writeOutput(std::span<const std::uint8_t> report) override {
            if (hook_) hook_(report);
            return inner().writeOutput(report);
        }

    private:
        Hook& hook_;
    };

    Hook hook_;
    std::function<void()> listHook_;
    NodeOf nodeOf_;
};

// An image of `size` bytes that are not all alike.
inline std::vector<std::uint8_t> CountingImage(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return bytes;
}

}  // namespace tolvane::cli::test
