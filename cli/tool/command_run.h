// One run of the tool behind RunTool: the image checked, the bus chosen, the command run and its
// outcome reported. The single-device commands live in tool.cpp, the listing, udev rules, --all and
// the station in command_run_several.cpp, --record and --replay in command_run_recording.cpp.
#pragma once

#include "image/image_file.h"
#include "options/options.h"
#include "output/run_report.h"
#include "recording/record_session.h"
#include "system/interrupt_guard.h"
#include "tool/tool.h"
#include "update/device_steps.h"
#include "update/engine_command.h"
#include "update/simulation.h"

#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tolvane::cli {

class LockingHidBus;
class TrackingHidBus;

class CommandRun {
public:
    CommandRun(const Options& options, const ToolIo& io, const ToolPlatform& platform,
               InterruptGuard& guard);

    int execute();

    // Refusals found before anything else happens.
    int refuse(int exitCode, const std::string& result, SysError code, const std::string& message);

    // A refused command line; `printed` when the text is already on standard error.
    int usageError(const std::string& message, bool printed = false);

private:
    std::string detail(ResultCode code, const std::string& nativeDetail) const;

    std::optional<int> loadImage();

    int list(HidBus& bus);

    int installUdevRules();

    // --slots: the names read, and a --port that names a slot turned into its port.
    std::optional<int> loadSlots();
    // report LOG...: the station logs summed up; no device.
    int stationReport();
    // slots teach: the ports named in the order devices are plugged in.
    int teachSlots(HidBus& bus, SystemServices& services);

    // The first interrupt after the device was written to: the run goes on to its end.
    void tellInterruptPutOff();

    int abandonBeforeStart();

    // An interrupt ends the run now; the engine may still be at work on another thread.
    void abandon(const CommandOutcome& sofar);

    // What each device's engine is given: the run's bus, services and interrupt rules, and a
    // display of its own.
    CommandContext deviceContext(HidBus& bus, SystemServices& services, ProgressDisplay& display);

    // Several devices match and the command was not told which: nothing is sent. One device
    // counted: every step keeps to its port, as with --port.
    std::optional<int> refuseToGuess(HidBus& bus);

    // A command on one device, the engine's own: its outcome told and its verdict returned.
    int runOnOneDevice(HidBus& bus, SystemServices& services, TrackingHidBus& tracked,
                       RecordSession& recording);
    // What may help after a failure: access rights, a report length, a port with no device.
    std::vector<std::string> failureHints(const CommandOutcome& outcome,
                                          TrackingHidBus& tracked) const;

    int updateAll(HidBus& bus, SystemServices& services);

    int station(HidBus& bus, SystemServices& services);

    void say(const std::string& text);

    // --record and --replay: the decorators in place, or the refusal when they cannot be.
    std::optional<int> startRecording(RecordSession& recording, HidBus*& bus,
                                      SystemServices*& services);

    int replayMismatch(const std::string& mismatch);
    // A replayed run's outcome says that no device took part: a line, and "replayed" in JSON.
    void tellReplayed();
    // A recording that could not be written whole: a warning, and exit 74 for a run that
    // otherwise succeeded.
    int recordingWritten(int exitCode);

public:
    int finish(int exitCode);

    RunReport& report();

private:
    Options options_;
    const ToolIo& io_;
    const ToolPlatform& platform_;
    InterruptGuard& guard_;
    std::ostream& human_;
    bool humanIsTerminal_;
    RunReport report_;
    std::optional<FirmwareImage> image_;
    DownloadJob job_;
    std::once_flag abandoned_;
    DeviceSteps deviceSteps_;  // filled by the engines of --all and the station only
    // The lock against other tool processes while a real device is worked on; else null.
    const LockingHidBus* locks_ = nullptr;
    // The bus stack's tracking layer, while execute() runs; else null.
    TrackingHidBus* tracked_ = nullptr;
    // The recording being written, while execute() runs; else null.
    RecordSession* recording_ = nullptr;
    // Last: the devices' clock goes before anything that might still refer to it.
    std::optional<Simulation> simulation_;
};

}  // namespace tolvane::cli
