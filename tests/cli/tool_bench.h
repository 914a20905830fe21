// The one bench every in-process run of the tool goes through. The platform it hands the tool as
// the real one is either a pair of strict mocks (any call on them fails the test: for runs that
// must touch nothing, such as --simulate, --replay and every refusal) or the virtual target on the
// virtual clock, which a test shapes, looks into afterwards and steps in on.
#pragma once

#include "mock_platform.h"
#include "sim_platform.h"
#include "temp_dir.h"
#include "tool/tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tolvane::cli {

// What one run of the tool gave back.
struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

namespace test {

// What one run hooks into besides its arguments; every field may stay empty.
struct RunHooks {
    // Sees every report written to a device of the virtual target, on the engine's thread.
    HookedBus::Hook report{};
    // Sees every listing of the interfaces, on the engine's thread.
    std::function<void()> listing{};
    // Standard output; captured into ToolRun::out when null.
    std::ostream* out = nullptr;
};

// The text the bench's platform gives for a system error number.
inline std::string TextOfError(SysError error) {
    return "text of " + std::to_string(error);
}

// Asks a bench for strict mocks as the real platform.
struct StrictMocks {};

class ToolBench {
public:
    explicit ToolBench(StrictMocks) { mocks_.emplace(); }
    // The real platform is the virtual target, shaped by `options` or by a whole device spec.
    explicit ToolBench(sim::VirtualTargetOptions options = {})
        : ToolBench(sim::VirtualTarget::specFor(options)) {}
    explicit ToolBench(sim::DeviceSpec spec) {
        target_.emplace();
        device_ = &target_->bus.addDevice(std::move(spec));
    }
    ToolBench(const ToolBench&) = delete;
    ToolBench& operator=(const ToolBench&) = delete;

    // Runs the tool with `args` as its command line, neither output a terminal.
    ToolRun run(const std::vector<std::string>& args, const RunHooks& hooks = {}) {
        std::ostringstream capturedOut, err;
        const ToolIo io{hooks.out ? *hooks.out : capturedOut, err, false, false};
        ToolRun result;
        if (target_) {
            HookedBus hooked(target_->bus, hooks.report, hooks.listing, deviceNodes);
            result.exitCode = RunTool(args, io, platformOver(hooked, target_->services));
        } else {
            result.exitCode = RunTool(args, io, platformOver(mocks_->bus, mocks_->services));
        }
        result.out = capturedOut.str();
        result.err = err.str();
        return result;
    }
    // Runs the tool against its own built-in virtual target on the virtual clock.
    ToolRun simulate(const std::vector<std::string>& args, const RunHooks& hooks = {}) {
        std::vector<std::string> all{"--simulate", "--sim-fast"};
        all.insert(all.end(), args.begin(), args.end());
        return run(all, hooks);
    }

    // The strict mocks, for a test that expects a call of the real platform (strict mocks only).
    ::testing::StrictMock<MockHidBus>& mockBus() { return mocks_->bus; }

    // The virtual target's bus and the memory of its first device (the bench's own target only).
    sim::SimBus& bus() { return target_->bus; }
    sim::DeviceMemory memory() const { return device_->memory(); }

    ManualInterrupts interrupts;
    // What the platform says about the last failed bus call beyond its number.
    std::function<std::string()> nativeDetail;
    // The device nodes the virtual target's bus names (none when empty).
    HookedBus::NodeOf deviceNodes;
    // Takes the lock of a port (none when empty: simulated ports must not lock real files).
    std::function<std::unique_ptr<DeviceLock>(std::string_view port, DeviceLock::Outcome&)>
        portLock;

private:
    struct Mocks {
        ::testing::StrictMock<MockHidBus> bus;
        ::testing::StrictMock<MockServices> services;
    };
    struct Target {
        sim::Transcript transcript;
        sim::SimServices services{transcript};
        sim::SimBus bus{services.timeline(), transcript};
    };

    ToolPlatform platformOver(HidBus& bus, SystemServices& services) {
        return ToolPlatform{.bus = bus,
                            .services = services,
                            .errorText = TextOfError,
                            .nativeErrorDetail = nativeDetail,
                            .interrupts = &interrupts,
                            .exitNow = {},
                            .udev = {},
                            .portLock = portLock};
    }

    std::optional<Mocks> mocks_;
    std::optional<Target> target_;
    sim::SimDevice* device_ = nullptr;
};

// The fixture of the in-process tool tests: a bench, strict mocks unless a test's fixture asks
// for the virtual target, and a folder for images and logs.
class ToolBenchTest : public ::testing::Test {
protected:
    ToolBenchTest() : bench_(StrictMocks{}) {}
    explicit ToolBenchTest(sim::VirtualTargetOptions options) : bench_(options) {}

    ToolRun run(const std::vector<std::string>& args, const RunHooks& hooks = {}) {
        return bench_.run(args, hooks);
    }
    ToolRun simulate(const std::vector<std::string>& args, const RunHooks& hooks = {}) {
        return bench_.simulate(args, hooks);
    }
    // An image of 3000 equal bytes.
    std::string image() { return dir_.write("fw.bin", std::vector<std::uint8_t>(3000, 0x5A)); }

    tolvane::test::TempDir dir_;
    ToolBench bench_;
};

}  // namespace test

using test::ToolBenchTest;

}  // namespace tolvane::cli
