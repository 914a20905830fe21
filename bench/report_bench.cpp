// The production line's figures: units per hour of a simulated station with 8 sockets and
// staggered arrivals at the virtual target's realistic pace (on the virtual clock), beside the
// floor the protocol sets for the same image; and how fast `tolvane report` reads a large log.
// Prints figures; nothing here passes or fails.
#include "report/logged_unit.h"
#include "report/report_html.h"
#include "report/report_text.h"
#include "report/station_figures.h"
#include "sim_services.h"
#include "tool/tool.h"
#include "transcript.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

using namespace tolvane;
using namespace tolvane::cli;
using Clock = std::chrono::steady_clock;

nlohmann::json RunJson(const std::vector<std::string>& args) {
    sim::Transcript transcript;
    sim::SimServices services(transcript);
    std::ostringstream out, err;
    const ToolIo io{out, err, false, false};
    // --simulate brings its own bus and clock: this bus is never reached.
    struct NoBus final : HidBus {
        std::unique_ptr<HidInterfaceList> listInterfaces() override { return nullptr; }
        std::unique_ptr<HidDevice> open(std::u16string_view, DeviceAccess, SysError& e) override {
            e = kErrorGenFailure;
            return nullptr;
        }
        void waitNoPendingInstallEvents(std::uint32_t) override {}
        std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow&,
                                                                        SysError& e) override {
            e = kErrorGenFailure;
            return nullptr;
        }
        SysError portOf(std::u16string_view, std::string&) override { return kErrorGenFailure; }
    } bus;
    const ToolPlatform platform{bus, services, {}, {}, nullptr, {}, {}};
    RunTool(args, io, platform);
    std::string last;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) last = line;
    return nlohmann::json::parse(last, nullptr, false);
}

void StationThroughput(const std::string& image, const std::string& dir) {
    const std::string log = dir + "/station.log";
    std::filesystem::remove(log);
    constexpr unsigned kSockets = 8;
    constexpr unsigned kStaggerMs = 7000;  // an operator plugs in one unit every 7 s
    RunJson({"--simulate", "--sim-fast", "-q", "--json", "--sim-devices", std::to_string(kSockets),
             "--sim-arrival-interval", std::to_string(kStaggerMs), "station", image, "--count",
             std::to_string(kSockets), "--log", log});
    const nlohmann::json report = RunJson({"--json", "report", log})["report"];
    // The floor: one device alone, no waiting for arrivals, its phases end to end.
    const nlohmann::json one =
        RunJson({"--simulate", "--sim-fast", "-q", "--json", "update", image});
    double floorMs = 0;
    for (const auto& [phase, ms] : one["phase_ms"].items()) {
        if (ms.is_number()) floorMs += ms.get<double>();
    }
    std::printf("station, %u sockets, arrivals %u ms apart, image %s bytes:\n", kSockets,
                kStaggerMs, one["image_size"].dump().c_str());
    std::printf(
        "  units per hour over the span       %10.1f\n",
        report["units_per_hour"].is_number() ? report["units_per_hour"].get<double>() : 0.0);
    std::printf("  units per busy hour                %10.1f\n",
                report["units_per_busy_hour"].is_number()
                    ? report["units_per_busy_hour"].get<double>()
                    : 0.0);
    std::printf("  protocol floor, one unit           %10.0f ms (sum of its phases)\n", floorMs);
    std::printf("  protocol floor, %u sockets busy     %10.1f units per hour\n", kSockets,
                floorMs > 0 ? kSockets * 3600000.0 / floorMs : 0.0);
}

void ReportSpeed(const std::string& dir) {
    constexpr std::size_t kLines = 1000000;
    const std::string log = dir + "/large.log";
    {
        std::ofstream out(log, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < kLines; ++i) {
            const std::size_t minute = i / 40;
            char line[512];
            std::snprintf(
                line, sizeof line,
                "{\"time\":\"2026-05-%02zuT%02zu:%02zu:00Z\",\"port\":\"1-%zu\",\"slot\":\"slot-%"
                "zu\","
                "\"exit_code\":%d,\"result\":\"%s\",\"duration_ms\":9000,\"version_before\":"
                "\"1.01\",\"version_after\":\"1.02\",\"phase_ms\":{\"enter\":%zu,"
                "\"wait_boot_loader\":1500,\"download\":%zu,\"verify\":4,\"return\":1502}}\n",
                1 + minute / 1440, minute / 60 % 24, minute % 60, i % 8 + 1, i % 8 + 1,
                i % 97 == 0 ? 6 : 0, i % 97 == 0 ? "DFU_ERR_VERIFY" : "DFU_SUCCESS", i % 13,
                1300 + i % 50);
            out << line;
        }
    }
    const auto bytes = std::filesystem::file_size(log);
    const auto start = Clock::now();
    std::ifstream file(log, std::ios::binary);
    StationTally tally;
    LogReading reading;
    reading.take = [&tally](const LoggedUnit& unit) { tally.add(unit); };
    ReadStationLog(file, log, reading);
    const auto read = Clock::now();
    const StationFigures figures = tally.figures();
    const std::string page = ReportHtml(figures, log);
    const std::string summary = ReportText(figures);
    const auto done = Clock::now();
    const auto seconds = [](auto a, auto b) {
        return std::chrono::duration<double>(b - a).count();
    };
    std::printf("report over %zu log lines (%.1f MB):\n", kLines, static_cast<double>(bytes) / 1e6);
    std::printf("  reading       %8.3f s  (%.0f lines/s)\n", seconds(start, read),
                static_cast<double>(kLines) / seconds(start, read));
    std::printf("  figures+page  %8.3f s  (page %zu bytes)\n", seconds(read, done), page.size());
#ifndef _WIN32
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("  peak memory   %8.1f MB  (the whole bench process)\n",
                static_cast<double>(usage.ru_maxrss) / 1024.0);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const std::string image = argc > 1 ? argv[1] : TOLVANE_SAMPLE_IMAGE;
    const std::string dir = std::filesystem::temp_directory_path().string();
    // The report first, so that the peak memory printed is its own.
    ReportSpeed(dir);
    StationThroughput(image, dir);
    return 0;
}
