#include "environment_recording.h"

#include "recorder.h"
#include "recording_hid_bus.h"
#include "recording_services.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace tolvane::record {
namespace {

// The process's command line, its words joined by spaces (Linux; empty elsewhere).
std::string ProcessCommandLine() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string line;
    for (std::string word; std::getline(in, word, '\0');) {
        if (!line.empty()) line += ' ';
        line += word;
    }
    return line;
}

std::uint64_t SteadyMicroseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

// Everything a recording into a file holds; kept until the process ends.
struct FileRecording {
    FileRecording(const std::string& path, HidBus& innerBus, SystemServices& innerServices,
                  const RecordingHeader& header, bool full)
        : file(path, std::ios::binary | std::ios::trunc),
          recorder(file, header, full, SteadyMicroseconds),
          bus(innerBus, recorder),
          services(innerServices, recorder) {}

    std::ofstream file;
    Recorder recorder;
    RecordingHidBus bus;
    RecordingServices services;
};

}  // namespace

EngineSeams SeamsFromEnvironment(HidBus& bus, SystemServices& services, const char* tool) noexcept {
    const char* path = std::getenv(kRecordVariable);
    if (path == nullptr || *path == '\0') return {bus, services};
    try {
        const char* full = std::getenv("TOLVANE_RECORD_FULL");
#ifdef _WIN32
        const char* os = "windows";
#else
        const char* os = "linux";
#endif
        // The library's version, as the tool's recordings carry the tool's.
        const RecordingHeader header{std::string(tool) + " " + TOLVANE_VERSION,
                                     os,
                                     ProcessCommandLine(),
                                     0,
                                     "",
                                     UtcNowText(),
                                     {},
                                     {}};
        auto recording = std::make_unique<FileRecording>(path, bus, services, header,
                                                         full != nullptr && *full == '1');
        if (!recording->file) return {bus, services};
        // Never destroyed: the engine that uses it lives until the process ends.
        static FileRecording* kept = nullptr;
        kept = recording.release();
        return {kept->bus, kept->services};
    } catch (...) {
        return {bus, services};
    }
}

}  // namespace tolvane::record
