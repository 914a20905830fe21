// What one run of the tool tells: the report it fills as it goes, its lines for the user, its
// refusals, and the end that prints the JSON object and settles the exit code.
#pragma once

#include "options/options.h"
#include "output/run_report.h"
#include "recording/record_session.h"
#include "sys_error.h"
#include "tool/tool_platform.h"
#include "update/simulation.h"

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tolvane::cli {

class ToolReport {
public:
    // `options` is read at each use: a run may still settle its port and slots.
    ToolReport(const Options& options, const ToolIo& io, const ToolPlatform& platform);
    ToolReport(const ToolReport&) = delete;
    ToolReport& operator=(const ToolReport&) = delete;

    RunReport& report() { return report_; }
    // Where the lines for the user go: standard error with --json, else standard output.
    std::ostream& human() const { return human_; }
    bool humanIsTerminal() const { return humanIsTerminal_; }
    std::ostream& out() const { return io_.out; }
    std::ostream& err() const { return io_.err; }

    // A line for the user, unless -q.
    void say(const std::string& text);
    // "DFU_ERR_VERIFY (0xE0000107)", or a system error with its text (and with -v what the
    // system said beyond its number).
    std::string detail(ResultCode code, const std::string& nativeDetail = {}) const;

    // Refusals found before anything else happens.
    int refuse(int exitCode, const std::string& result, SysError code, const std::string& message);
    // A refused command line; `printed` when the text is already on standard error.
    int usageError(const std::string& message, bool printed = false);

    // The recording being written, whose failure the end tells; none when null.
    void attachRecording(RecordSession* recording) { recording_ = recording; }
    // The virtual devices, each told at the end with whether it holds `image` at `address`.
    void attachSimulation(const Simulation* simulation, const std::vector<std::uint8_t>* image,
                          std::uint32_t address);

    // The outcome printed; returns the exit code, changed when the outcome could not be written.
    int finish(int exitCode);

private:
    // A recording that could not be written whole: a warning, and exit 74 for a run that
    // otherwise succeeded.
    int recordingWritten(int exitCode);
    void addSimulatedDevices();

    const Options& options_;
    const ToolIo& io_;
    const ToolPlatform& platform_;
    std::ostream& human_;
    bool humanIsTerminal_;
    RunReport report_;
    RecordSession* recording_ = nullptr;
    const Simulation* simulation_ = nullptr;
    const std::vector<std::uint8_t>* simulatedImage_ = nullptr;
    std::uint32_t simulatedAddress_ = 0;
};

}  // namespace tolvane::cli
