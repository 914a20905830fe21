// What the engine costs per data report, what that adds on a real link, and how fast the image
// checksum runs.
#include "dfu_engine.h"
#include "zero_latency_link.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using tolvane::DfuEngine;
using tolvane::bench::ZeroLatencyBus;
using tolvane::bench::ZeroLatencyServices;

constexpr std::uint16_t kReportLength = 65;
constexpr std::uint32_t kImageSize = 1 << 20;

std::vector<std::uint8_t> MakeImage(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 131 + 7);
    }
    return image;
}

// One whole download of 1 MiB over the zero-latency link; the figure is per data report.
void BM_DownloadPerDataReport(benchmark::State& state) {
    const std::vector<std::uint8_t> image = MakeImage(kImageSize);
    const std::uint32_t checksum = tolvane::ImageChecksum(image.data(), image.size());
    const std::uint64_t dataReports = (kImageSize + kReportLength - 2) / (kReportLength - 1);
    for (auto _ : state) {
        ZeroLatencyBus bus(kReportLength);
        ZeroLatencyServices services;
        DfuEngine engine(bus, services);
        const auto result = engine.Download(image.data(), 0, kImageSize, checksum);
        if (result != 0) {
            state.SkipWithError("download failed");
            break;
        }
    }
    const auto reports = static_cast<double>(state.iterations()) * static_cast<double>(dataReports);
    state.counters["reports/s"] = benchmark::Counter(reports, benchmark::Counter::kIsRate);
    state.counters["s/report"] =
        benchmark::Counter(reports, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_DownloadPerDataReport)->Unit(benchmark::kMillisecond);

void BM_ImageChecksum16MiB(benchmark::State& state) {
    const std::vector<std::uint8_t> image = MakeImage(16U << 20);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tolvane::ImageChecksum(image.data(), image.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image.size()));
}
BENCHMARK(BM_ImageChecksum16MiB)->Unit(benchmark::kMicrosecond);

// The engine's cost per report, measured directly, as a ratio to the floor of a link that takes
// 1 ms per transfer: floor = transfers x 1 ms + the protocol's own pauses.
void PrintLinkOverhead() {
    const std::vector<std::uint8_t> image = MakeImage(kImageSize);
    const std::uint32_t checksum = tolvane::ImageChecksum(image.data(), image.size());
    constexpr int kRuns = 20;
    std::uint64_t transfers = 0;
    std::uint64_t pausesMs = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < kRuns; ++run) {
        ZeroLatencyBus bus(kReportLength);
        ZeroLatencyServices services;
        DfuEngine engine(bus, services);
        engine.Download(image.data(), 0, kImageSize, checksum);
        transfers = bus.reportsTaken() + 2;  // and the two reads
        pausesMs = services.sleptMs();
    }
    const double engineSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kRuns;
    const double floorSeconds =
        static_cast<double>(transfers) * 1e-3 + static_cast<double>(pausesMs) * 1e-3;
    std::printf("engine cost per data report: %.1f ns\n",
                engineSeconds * 1e9 / static_cast<double>(transfers));
    std::printf("1 ms/transfer link, %llu transfers: %.1f s floor, overhead ratio %.6f\n",
                static_cast<unsigned long long>(transfers), floorSeconds,
                (floorSeconds + engineSeconds) / floorSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintLinkOverhead();
    return 0;
}
