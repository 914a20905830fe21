// A fixture for runs of the whole tool against its built-in simulated devices: the mocks stand in
// for the real bus and services, which a simulated run must never touch (strict mocks).
#pragma once

#include "mock_platform.h"
#include "temp_dir.h"
#include "tool_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane::cli {

class SimulatedToolTest : public ::testing::Test {
protected:
    // Runs the tool with --simulate --sim-fast before `args`.
    ToolRun run(std::vector<std::string> args) {
        std::vector<std::string> all{"--simulate", "--sim-fast"};
        all.insert(all.end(), args.begin(), args.end());
        const ToolPlatform platform{
            bus_, services_, [](SysError e) { return std::to_string(e); }, {}, nullptr, {}, {}};
        return RunCaptured(all, platform);
    }
    std::string image() { return dir_.write("fw.bin", std::vector<std::uint8_t>(3000, 0x5A)); }

    test::TempDir dir_;
    ::testing::StrictMock<test::MockHidBus> bus_;
    ::testing::StrictMock<test::MockServices> services_;
};

}  // namespace tolvane::cli
