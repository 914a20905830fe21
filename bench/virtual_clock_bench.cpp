// update --all on the virtual clock (--sim-fast) as the number of simulated devices grows: the
// wall and processor time of the run, their ratio to the smallest run per device (1.0 is linear),
// and whether every device took the same virtual time, as each device's times are its own.
// Prints figures; nothing here passes or fails.
#include "platform.h"
#include "tool/tool.h"

#include <sys/resource.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace tolvane;
using namespace tolvane::cli;
using Clock = std::chrono::steady_clock;

double ProcessorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Run {
    int exitCode = -1;
    double wallSeconds = 0;
    double processorSeconds = 0;
    std::set<std::int64_t> durations;  // each device's duration_ms, distinct values
};

Run UpdateAll(const std::string& image, unsigned devices) {
    std::ostringstream out, err;
    const ToolIo io{out, err, false, false};
    const ToolPlatform platform{platform::DefaultHidBus(),
                                platform::DefaultServices(),
                                platform::SystemErrorText,
                                {},
                                nullptr,
                                {},
                                {}};
    const std::vector<std::string> args{
        "--simulate", "--sim-fast", "--sim-devices", std::to_string(devices),
        "-q",         "--json",     "update",        "--all",
        image};
    const double cpuBefore = ProcessorSeconds();
    const auto start = Clock::now();
    Run run;
    run.exitCode = RunTool(args, io, platform);
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.processorSeconds = ProcessorSeconds() - cpuBefore;
    try {
        const auto json = nlohmann::json::parse(out.str());
        for (const auto& device : json.at("devices")) {
            run.durations.insert(device.at("duration_ms").get<std::int64_t>());
        }
    } catch (const std::exception&) {
        // No figures of the devices: shown as none.
    }
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string image = argc > 1 ? argv[1] : "examples/sample.bin";
    std::printf("update --all --sim-fast (%s):\n", image.c_str());
    double firstPerDevice = 0;
    for (const unsigned devices : {32U, 64U, 128U, 256U}) {
        const Run run = UpdateAll(image, devices);
        const double perDevice = run.wallSeconds / devices;
        if (firstPerDevice == 0) firstPerDevice = perDevice;
        const std::string same = run.durations.size() == 1
                                     ? std::to_string(*run.durations.begin()) + " ms each"
                                     : std::to_string(run.durations.size()) + " distinct";
        std::printf(
            "  %3u devices: exit %d, %6.2f s wall, %6.2f s processor, %.1f ms wall per device "
            "(x%.2f of 32 devices' per device), virtual duration %s\n",
            devices, run.exitCode, run.wallSeconds, run.processorSeconds, perDevice * 1000,
            perDevice / firstPerDevice, same.c_str());
    }
    return 0;
}
