#include "recording/record_session.h"

#include "output/text_format.h"
#include "recorder.h"
#include "recording_hid_bus.h"
#include "recording_services.h"
#include "replay_hid_bus.h"
#include "replay_script.h"
#include "replay_services.h"
#include "sha256.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

namespace tolvane::cli {
namespace {

const char* OsName() {
#ifdef _WIN32
    return "windows";
#elif defined(__linux__)
    return "linux";
#else
    return "posix";
#endif
}

}  // namespace

struct RecordSession::Parts {
    std::ofstream file;
    std::optional<record::Recorder> recorder;
    std::optional<record::RecordingHidBus> recordingBus;
    std::optional<record::RecordingServices> recordingServices;
    std::optional<record::ReplayScript> script;
    std::optional<record::ReplayHidBus> replayBus;
    std::optional<record::ReplayServices> replayServices;
};

bool TakeRecordedIdentity(Options& options, std::string& error) {
    if (!options.record.replayPath || (options.vid && options.pid)) return true;
    std::ifstream in(*options.record.replayPath, std::ios::binary);
    auto recording = in ? record::ReadRecording(in, error) : std::nullopt;
    if (!recording) {
        if (in) error = *options.record.replayPath + ": " + error;
        if (!in) error = *options.record.replayPath + ": cannot open the recording";
        return false;
    }
    if (!options.vid) options.vid = recording->header.numberOf("vid");
    if (!options.pid) options.pid = recording->header.numberOf("pid");
    return true;
}

RecordSession::RecordSession(const Options& options)
    : options_(options), parts_(std::make_unique<Parts>()) {}

RecordSession::~RecordSession() = default;

bool RecordSession::start(HidBus*& bus, SystemServices*& services,
                          std::span<const std::uint8_t> image, std::string& error) {
    const RecordOptions& record = options_.record;
    const bool virtualClock = options_.simulation.enabled && options_.simulation.fast;
    if (record.replayPath) {
        std::ifstream in(*record.replayPath, std::ios::binary);
        if (!in) {
            error = *record.replayPath + ": cannot open the recording";
            return false;
        }
        auto recording = record::ReadRecording(in, error);
        if (!recording) {
            error = *record.replayPath + ": " + error;
            malformed_ = !in.bad();
            return false;
        }
        parts_->script.emplace(std::move(*recording));
        bus = &parts_->replayBus.emplace(*parts_->script);
        services = &parts_->replayServices.emplace(*parts_->script);
        return true;
    }
    if (!record.recordPath) return true;
    errno = 0;
    parts_->file.open(*record.recordPath, std::ios::binary | std::ios::trunc);
    if (!parts_->file) {
        error = Printable(*record.recordPath) +
                ": cannot write the recording: " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    const record::RecordingHeader header{"tolvane " TOLVANE_VERSION,
                                         OsName(),
                                         record.commandLine,
                                         image.size(),
                                         image.empty() ? "" : record::Sha256Hex(image),
                                         record::UtcNowText(),
                                         options_.vid,
                                         options_.pid};
    SystemServices* timed = services;
    std::function<std::uint64_t()> clock = [timed] { return timed->nowMs() * 1000; };
    if (!virtualClock) {
        clock = [] {
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            return static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(now).count());
        };
    }
    parts_->recorder.emplace(parts_->file, header, record.full, std::move(clock));
    bus = &parts_->recordingBus.emplace(*bus, *parts_->recorder);
    services = &parts_->recordingServices.emplace(*services, *parts_->recorder);
    return true;
}

std::optional<std::string> RecordSession::recordingFailure() {
    if (!parts_->recorder) return std::nullopt;
    const int error = parts_->recorder->flush();
    if (error == 0) return std::nullopt;
    return Printable(*options_.record.recordPath) +
           ": the recording could not be written whole: " + std::strerror(error);
}

std::optional<std::string> RecordSession::replayMismatch() {
    if (!parts_->script) return std::nullopt;
    parts_->script->finish();
    return parts_->script->mismatch();
}

}  // namespace tolvane::cli
