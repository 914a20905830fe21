#include "tool/tool.h"

#include "tool/command_run.h"

#include "buses/bus_stack.h"
#include "dfu_engine.h"
#include "image/image_limits.h"
#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/output_buffer.h"
#include "output/progress_display.h"
#include "output/run_report.h"
#include "output/text_format.h"
#include "packages/package_commands.h"
#include "packages/package_image.h"
#include "recording/record_session.h"
#include "system/interrupt_guard.h"
#include "text.h"
#include "tool/command_line.h"
#include "update/access_hint.h"
#include "update/device_choice.h"
#include "update/engine_command.h"
#include "update/interrupt_report.h"
#include "update/json_fields.h"
#include "update/package_outcome.h"
#include "update/report_length_hint.h"
#include "update/simulation.h"
#include "update/update_verdict.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <optional>

namespace tolvane::cli {
namespace {

constexpr std::uint64_t kAddressSpaceEnd = std::uint64_t{kMaxLoadAddress} + 1;

bool NeedsImage(Command command) {
    return TraitsOf(command).needsImage;
}

}  // namespace

CommandRun::CommandRun(const Options& options, const ToolIo& io, const ToolPlatform& platform,
                       InterruptGuard& guard)
    : options_(options),
      io_(io),
      platform_(platform),
      guard_(guard),
      human_(options.json ? io.err : io.out),
      humanIsTerminal_(options.json ? io.errIsTerminal : io.outIsTerminal) {
    report_.command = CommandName(options.command);
    report_.simulated = options.simulation.enabled;
}

int CommandRun::execute() {
    if (options_.command == Command::InstallUdevRules) return installUdevRules();
    if (options_.command == Command::Report) return stationReport();
    if (auto refused = loadSlots()) return *refused;
    if (NeedsImage(options_.command)) {
        if (auto refused = loadImage()) return *refused;
    }
    if (guard_.abortRequested()) return abandonBeforeStart();

    HidBus* bus = &platform_.bus;
    SystemServices* services = &platform_.services;
    if (options_.simulation.enabled) {
        simulation_.emplace(options_.simulation, platform_.services);
        bus = &simulation_->bus();
        services = &simulation_->services();
    }
    RecordSession recording(options_);
    if (auto refused = startRecording(recording, bus, services)) return *refused;
    BusStack stack(*bus);
    if (!simulation_ && !recording.replaying()) locks_ = &stack.lock(platform_.portLock);
    // Before the report log: the search is the tool's own, not the engine's.
    if (auto refused = refuseToGuess(stack.top())) return *refused;
    TrackingHidBus& tracked =
        stack.track([this] { guard_.deviceWritten(); },
                    [this](const std::string& port) { deviceSteps_.written(port); });
    tracked_ = &tracked;
    if (WorksOnOneDevice(options_)) stack.pinToFirstDevice();
    if (options_.verbose) {
        stack.log(
            io_.err, [services] { return services->nowMs(); }, platform_.nativeErrorDetail);
    }
    bus = &stack.top();
    if (options_.command == Command::List) return list(*bus);
    if (options_.command == Command::SlotsTeach) return teachSlots(*bus, *services);
    if (options_.command == Command::Station) return station(*bus, *services);
    if (options_.command == Command::Update && options_.all) {
        return updateAll(*bus, *services);
    }

    return runOnOneDevice(*bus, *services, tracked, recording);
}

int CommandRun::runOnOneDevice(HidBus& bus, SystemServices& services, TrackingHidBus& tracked,
                               RecordSession& recording) {
    ProgressDisplay display(human_, humanIsTerminal_, !options_.quiet);
    const CommandContext context{bus,
                                 services,
                                 display,
                                 guard_,
                                 platform_.nativeErrorDetail,
                                 [this] { tellInterruptPutOff(); },
                                 [this](const CommandOutcome& sofar) { abandon(sofar); },
                                 nullptr,
                                 {},
                                 &tracked};
    const CommandOutcome outcome = RunEngineCommand(options_.command, options_, job_, context);
    if (outcome.interrupted) return kExitInterrupted;
    const int exitCode = VerdictExitCode(outcome, options_);
    const std::vector<std::string> hints =
        exitCode == kExitSuccess ? std::vector<std::string>{} : failureHints(outcome, tracked);
    // The hints ask the bus too: a replay is judged once they have.
    if (auto mismatch = recording.replayMismatch()) return replayMismatch(*mismatch);
    if (locks_ && !locks_->busyPaths().empty()) {
        return refuse(kExitDeviceBusy, kDeviceBusyResult, kErrorBusy,
                      "the device " + Printable(ToUtf8(locks_->busyPaths().front())) +
                          " is being updated by another tolvane process: nothing was sent "
                          "to it; try again when that update has ended");
    }

    report_.code = outcome.code;
    report_.result = VerdictResult(outcome, options_);
    report_.bytesSent = outcome.bytesSent;
    report_.seconds = outcome.seconds;
    report_.message = VerdictMessage(options_.command, outcome, options_, job_);
    if (options_.command == Command::Update) AddVersionsAndPhases(report_.extra, outcome);
    tellReplayed();
    AddPackageOutcome(report_, outcome, options_, io_.err);
    if (exitCode == kExitSuccess) {
        say(report_.message);
    } else {
        io_.err << report_.message << '\n';
        if (outcome.code != 0)
            io_.err << "tolvane: " << detail(outcome.code, outcome.nativeDetail) << '\n';
        for (const std::string& line : hints) io_.err << "tolvane: " << line << '\n';
    }
    report_.reportedChecksum = outcome.reportedChecksum;
    if (simulation_ && image_) {
        const MemoryCheck check = simulation_->check(image_->bytes, job_.address, options_.port);
        report_.memoryMatches = check.written && check.equal;
        if (check.written) report_.deviceChecksum = check.checksum;
        say(!check.written ? "Virtual device: received no image."
            : check.equal  ? "Virtual device: its memory equals the image."
                           : "Virtual device: its memory differs from the image.");
    }
    return finish(exitCode);
}

std::vector<std::string> CommandRun::failureHints(const CommandOutcome& outcome,
                                                  TrackingHidBus& tracked) const {
    // The report length is asked of the bus: a replay holds this question too.
    std::vector<std::string> hints =
        AccessHint(outcome.code, tracked.openFailures(), platform_.errorText);
    if (auto hint =
            ReportLengthHint(tracked, static_cast<std::uint16_t>(options_.vid.value_or(0)),
                             static_cast<std::uint16_t>(options_.pid.value_or(0)), options_.port)) {
        hints.push_back(*hint);
    } else if (outcome.code == DFU_ERR_NOT_FOUND && options_.port) {
        hints.push_back("nothing matching at port " + Printable(*options_.port) +
                        " (`tolvane list` shows the ports)");
    }
    return hints;
}

int CommandRun::refuse(int exitCode, const std::string& result, SysError code,
                       const std::string& message) {
    io_.err << "tolvane: " << message << '\n';
    report_.result = result;
    report_.code = code;
    report_.message = message;
    return finish(exitCode);
}

int CommandRun::usageError(const std::string& message, bool printed) {
    if (!printed) {
        io_.err << "tolvane: " << message << "\nRun with --help for more information.\n";
    }
    report_.result = "USAGE";
    report_.code = kErrorInvalidParameter;
    report_.message = message;
    return finish(kExitUsage);
}

std::string CommandRun::detail(ResultCode code, const std::string& nativeDetail) const {
    if (const char* name = ResultCodeName(code)) {
        return std::string(name) + " (" + Hex(code, 8) + ")";
    }
    std::string text = "system error " + std::to_string(code);
    if (platform_.errorText) text += ": " + platform_.errorText(code);
    if (options_.verbose && !nativeDetail.empty()) text += " [" + nativeDetail + "]";
    return text;
}

std::optional<int> CommandRun::loadImage() {
    report_.extra["image"] = options_.imagePath;
    std::variant<FirmwareImage, ImageError> loaded;
    const bool isPackage = ReadsAsPackage(options_);
    std::optional<PackageRefusal> refusal;
    if (isPackage) {
        auto package = LoadPackageImage(options_);
        if (auto* image = std::get_if<FirmwareImage>(&package))
            loaded = std::move(*image);
        else
            refusal = std::get<PackageRefusal>(package);
    } else if (options_.package.requireSigned) {
        refusal = UnsignedImageRefusal(options_);
    } else {
        loaded = LoadImageFile(options_.imagePath, options_.imageFormat);
    }
    if (refusal) {
        AddRefusalFields(report_.extra, *refusal);
        if (refusal->exitCode == kExitUsage) return usageError(refusal->fault.message);
        return refuse(refusal->exitCode, refusal->result, refusal->code, refusal->fault.message);
    }
    if (auto* error = std::get_if<ImageError>(&loaded)) {
        if (error->problem == ImageProblem::Unreadable) {
            return refuse(kExitUnreadable, "IMAGE_UNREADABLE", error->code, error->message);
        }
        return refuse(kExitBadImage, "BAD_IMAGE", error->code, error->message);
    }
    image_ = std::move(std::get<FirmwareImage>(loaded));
    for (const std::string& warning : image_->warnings) {
        io_.err << "tolvane: warning: " << warning << '\n';
        report_.warnings.push_back(warning);
    }
    const std::uint64_t size = image_->bytes.size();
    if (!options_.address && image_->loadAddress && *image_->loadAddress > kMaxLoadAddress) {
        return refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                      options_.imagePath + ": the lowest address " + Hex(*image_->loadAddress, 8) +
                          " does not fit in the boot loader's 24 bits; give --address");
    }
    job_.image = &*image_;
    job_.address = options_.address.value_or(image_->loadAddress.value_or(0));
    // The boot loader counts addresses in 24 bits: an image that ends past them would be
    // written over its own start.
    if (job_.address + size > kAddressSpaceEnd) {
        const std::string where = Hex(job_.address, 6) + " to " + Hex(job_.address + size - 1, 6) +
                                  ", past the boot loader's last address 0xFFFFFF";
        if (options_.address) {
            return usageError("--address " + Hex(job_.address, 6) + ": the image's " +
                              std::to_string(size) + " bytes would take " + where);
        }
        return refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                      options_.imagePath + ": the image takes " + where);
    }
    job_.checksum =
        options_.checksum.value_or(ImageChecksum(image_->bytes.data(), image_->bytes.size()));
    report_.bytesTotal = size;
    SetImageIdentity(job_, report_.extra);
    report_.expectedChecksum = static_cast<std::uint16_t>(job_.checksum & 0xFFFF);
    return std::nullopt;
}

void CommandRun::tellInterruptPutOff() {
    const bool update =
        options_.command == Command::Update || options_.command == Command::Download;
    io_.err << "tolvane: "
            << (update ? "the update is writing the firmware"
                       : "the device is switching between its firmware and its boot loader")
            << ": stopping now would leave the device unusable until it is power-cycled. "
               "The tool stops when the "
            << (update ? "update" : "switch") << " ends (interrupt "
            << InterruptGuard::kInterruptsToForce - 1 << " more times to stop at once).\n";
    io_.err.flush();
}

int CommandRun::abandonBeforeStart() {
    CommandOutcome none;
    abandon(none);
    return kExitInterrupted;
}

void CommandRun::abandon(const CommandOutcome& sofar) {
    const InterruptedStep at =
        DescribeInterruptedStep(guard_.abortStep(), guard_.abortAfterWrite());
    report_.result = "INTERRUPTED";
    report_.code = kErrorOperationAborted;
    report_.message = "interrupted while " + at.stepName + ": " + at.state;
    report_.bytesSent = sofar.bytesSent;
    report_.seconds = sofar.seconds;
    report_.extra["step"] = at.stepName;
    report_.extra["device_written"] = guard_.abortAfterWrite();
    // Several devices at work: each is told apart, by its port.
    const std::vector<DeviceStep> devices = deviceSteps_.snapshot();
    if (!devices.empty()) {
        report_.message =
            "interrupted with " + std::to_string(devices.size()) + " device(s) at work";
        report_.bytesSent = 0;
        for (const DeviceStep& device : devices) report_.bytesSent += device.bytesSent;
        report_.extra["devices"] = InterruptedDevicesJson(devices);
    }
    io_.err << "tolvane: " << report_.message << '\n';
    for (const std::string& line : InterruptedDevicesText(devices)) {
        io_.err << "tolvane:   " << line << '\n';
    }
    const int exitCode = finish(kExitInterrupted);
    if (platform_.exitNow) platform_.exitNow(exitCode);
}

std::optional<int> CommandRun::refuseToGuess(HidBus& bus) {
    const DeviceChoice choice = ChooseDevice(options_, bus);
    if (choice.onlyPort) options_.port = choice.onlyPort;
    if (!choice.several) return std::nullopt;
    io_.err << "tolvane: " << kSeveralDevicesText << '\n';
    for (const DeviceCandidate& candidate : choice.candidates) {
        io_.err << FormatCandidate(candidate) << '\n';
    }
    report_.result = "SEVERAL_DEVICES";
    report_.code = kErrorInvalidParameter;
    report_.message = kSeveralDevicesText;
    report_.extra["candidates"] = CandidatesJson(choice.candidates);
    return finish(kExitSeveralDevices);
}

void CommandRun::say(const std::string& text) {
    if (!options_.quiet) human_ << text << '\n';
}

int CommandRun::finish(int exitCode) {
    exitCode = recordingWritten(exitCode);
    report_.exitCode = exitCode;
    if (simulation_) {
        report_.extra["simulated_devices"] = SimulatedDevicesJson(
            simulation_->checkAll(image_ ? &image_->bytes : nullptr, job_.address));
    } else if (options_.simulation.enabled) {
        // Refused before the devices were made: none of them received anything.
        std::vector<SimulatedDeviceCheck> none;
        for (std::uint32_t k = 1; k <= options_.simulation.devices; ++k) {
            none.push_back({"1-" + std::to_string(k), false});
        }
        report_.extra["simulated_devices"] = SimulatedDevicesJson(none);
    }
    if (options_.json) io_.out << JsonText(ToJson(report_)) << '\n';
    io_.out.flush();
    io_.err.flush();
    // A reader that went away (a closed pipe) ended its interest; any other failure lost
    // the outcome, which a script must learn.
    const int error = WriteErrorOf(io_.out);
    if (error != 0 && error != EPIPE) {
        io_.err << "tolvane: the outcome could not be written to standard output: "
                << std::strerror(error) << '\n';
        io_.err.flush();
        if (exitCode == kExitSuccess) return kExitOutputFailed;
    }
    return exitCode;
}

RunReport& CommandRun::report() {
    return report_;
}
}  // namespace tolvane::cli
