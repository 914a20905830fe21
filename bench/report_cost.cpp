// The engine's own cost per data report: a 1 MiB download over a link that costs nothing, timed
// over several runs. Built natively and for the browser (run under node), so that the two figures
// compare; in the browser build it also times the same download through the WebHID backend over
// the mock navigator.hid (Asyncify's suspension and a promise per report included). Prints
// figures; nothing here passes or fails.
#include "dfu_engine.h"
#include "zero_latency_link.h"

#include <chrono>
#include <cstdio>
#include <vector>

#ifdef __EMSCRIPTEN__
#include "mock_control.h"
#include "web_hid_bus.h"
#include "web_services.h"
#endif

namespace {

using namespace tolvane;
using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kReportLength = 65;

std::vector<std::uint8_t> MakeImage(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 131 + 7);
    return image;
}

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
#ifdef __EMSCRIPTEN__
    const char* platform = "wasm";
#else
    const char* platform = "native";
#endif
    const auto image = MakeImage(1 << 20);
    const std::uint32_t checksum = ImageChecksum(image.data(), image.size());
    constexpr int kRuns = 5;
    std::uint64_t reports = 0;
    const auto start = Clock::now();
    for (int run = 0; run < kRuns; ++run) {
        bench::ZeroLatencyBus bus(kReportLength);
        bench::ZeroLatencyServices services;
        DfuEngine engine(bus, services);
        if (engine.Download(image.data(), 0, static_cast<std::uint32_t>(image.size()), checksum) !=
            DFU_SUCCESS) {
            std::printf("download failed\n");
            return 1;
        }
        reports = bus.reportsTaken();
    }
    std::printf("engine cost per data report (%s): %.1f ns\n", platform,
                SecondsSince(start) * 1e9 / static_cast<double>(reports * kRuns));
#ifdef __EMSCRIPTEN__
    // Through the WebHID backend: a 64 KiB download into the mock target's boot loader.
    web::testing::MockReset();
    web::testing::MockTargetPlug(0, true);
    web::WebHidBus bus;
    web::WebServices services;
    DfuEngine engine(bus, services);
    const std::vector<std::uint8_t> small(image.begin(), image.begin() + (64 << 10));
    const auto webStart = Clock::now();
    const ResultCode result =
        engine.Download(small.data(), 0, static_cast<std::uint32_t>(small.size()),
                        ImageChecksum(small.data(), small.size()));
    const double seconds = SecondsSince(webStart) - SetupPauseMs(64 << 10) / 1000.0;
    const double dataReports = static_cast<double>((small.size() + 63) / 64);
    std::printf("cost per data report through WebHID over the mock (wasm): %.1f us%s\n",
                seconds * 1e6 / dataReports, result == DFU_SUCCESS ? "" : " (download failed)");
#endif
    return 0;
}
