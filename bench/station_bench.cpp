// Several devices at a realistic pace on the real clock: the wall time of update --all as the
// number of devices grows, the tool's processor time per device, and how soon the station starts
// on a device after it was plugged in. Prints figures; nothing here passes or fails.
#include "image/image_file.h"
#include "line/station_run.h"
#include "output/exit_codes.h"
#include "platform.h"
#include "system/interrupt_guard.h"
#include "tool/tool.h"
#include "update/simulation.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
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

struct AllRun {
    int exitCode = -1;
    double wallSeconds = 0;
    double processorSeconds = 0;
};

AllRun UpdateAll(const std::string& image, unsigned devices) {
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
        "--simulate", "-q", "--sim-devices", std::to_string(devices), "update", "--all", image};
    const double cpuBefore = ProcessorSeconds();
    const auto start = Clock::now();
    AllRun run;
    run.exitCode = RunTool(args, io, platform);
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.processorSeconds = ProcessorSeconds() - cpuBefore;
    return run;
}

// Milliseconds from each device's arrival on the simulated bus to the start of its update.
std::vector<double> StationLatencies(const std::string& imagePath, unsigned devices,
                                     std::uint32_t intervalMs) {
    Options options;
    options.command = Command::Station;
    options.vid = 0x5C3B;
    options.pid = 0x0326;
    options.count = devices;
    options.simulation.enabled = true;
    options.simulation.devices = devices;
    options.simulation.arrivalIntervalMs = intervalMs;
    std::ostringstream read;
    read << std::ifstream(imagePath, std::ios::binary).rdbuf();
    const std::string bytes = read.str();
    FirmwareImage image;
    image.bytes.assign(bytes.begin(), bytes.end());
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : image.bytes) sum += byte;
    const DownloadJob job{&image, 0, sum, {}};

    Simulation simulation(options.simulation, platform::DefaultServices());
    InterruptGuard guard;
    std::mutex mutex;
    std::vector<double> latencies;
    StationOutput output;
    output.started = [&](const std::string& port) {
        const auto late = simulation.nowMs() - simulation.arrivalMsOf(port);
        const std::lock_guard lock(mutex);
        latencies.push_back(static_cast<double>(late));
    };
    Station station(options, job, simulation.bus(), simulation.services(), guard,
                    [&](ProgressDisplay& display) {
                        return CommandContext{
                            simulation.bus(), simulation.services(), display, guard, {}, {}, {}};
                    });
    station.run(output);
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string image = argc > 1 ? argv[1] : "examples/sample.bin";
    std::printf("update --all, simulated devices at a realistic pace (%s):\n", image.c_str());
    double one = 0;
    for (const unsigned devices : {1U, 2U, 4U, 8U, 32U}) {
        const AllRun run = UpdateAll(image, devices);
        if (devices == 1) one = run.wallSeconds;
        std::printf(
            "  %2u device(s): exit %d, %.2f s wall, ratio to one device %.3f, processor time "
            "per device %.1f ms\n",
            devices, run.exitCode, run.wallSeconds, run.wallSeconds / one,
            run.processorSeconds * 1000 / devices);
    }
    const std::vector<double> latencies = StationLatencies(image, 4, 700);
    if (!latencies.empty()) {
        const auto [low, high] = std::minmax_element(latencies.begin(), latencies.end());
        double total = 0;
        for (const double late : latencies) total += late;
        std::printf(
            "station: arrival on the simulated bus to the start of its update, %zu devices: "
            "mean %.1f ms, min %.1f ms, max %.1f ms\n",
            latencies.size(), total / static_cast<double>(latencies.size()), *low, *high);
    }
    return 0;
}
