#include "tool.h"

#include "all_devices_run.h"
#include "command_line.h"
#include "device_choice.h"
#include "device_list.h"
#include "dfu_engine.h"
#include "engine_command.h"
#include "exit_codes.h"
#include "image_limits.h"
#include "json_fields.h"
#include "logging_hid_bus.h"
#include "progress_display.h"
#include "result_message.h"
#include "run_report.h"
#include "simulation.h"
#include "station_run.h"
#include "text_format.h"

#include <algorithm>
#include <fstream>
#include <optional>

namespace tolvane::cli {
namespace {

bool NeedsImage(Command command) {
    return command == Command::Update || command == Command::Download ||
           command == Command::Station;
}

// The final text for a command's result: the update run's texts, and for the single steps their
// own success texts.
std::string MessageFor(Command command, ResultCode code, const Options& options,
                       const DownloadJob& job) {
    if (code == DFU_SUCCESS || code == DFU_ALREADY_IN_DFU) {
        switch (command) {
            case Command::ResetToIsp:
                return code == DFU_ALREADY_IN_DFU ? "The device is already in its boot loader."
                                                  : "The device is in its boot loader.";
            case Command::Download:
                return "Image downloaded and verified: " + std::to_string(job.image->bytes.size()) +
                       " bytes at " + Hex(job.address, 6) + ", checksum " +
                       Hex(job.checksum & 0xFFFF, 4) + ".";
            case Command::ResetToAp:
                return "The device is back in its application.";
            default:
                break;
        }
    }
    // A step that only ever looks for the boot loader names the boot loader when it is missing.
    const bool bootLoaderOnly = command == Command::Download || command == Command::ResetToAp;
    const std::uint32_t vid = bootLoaderOnly ? DFU_VENDOR_ID : options.vid.value_or(0);
    const std::uint32_t pid = bootLoaderOnly ? DFU_PRODUCT_ID_1 : options.pid.value_or(0);
    return ToUtf8(ResultMessageFor(code, vid, pid).text);
}

std::string Detail(ResultCode code) {
    if (const char* name = ResultCodeName(code))
        return std::string(name) + " (" + Hex(code, 8) + ")";
    return "system error " + std::to_string(code);
}

class Run {
public:
    Run(const Options& options, const ToolIo& io)
        : options_(options),
          io_(io),
          human_(options.json ? io.err : io.out),
          humanIsTerminal_(options.json ? io.errIsTerminal : io.outIsTerminal) {
        report_.command = CommandName(options.command);
        report_.simulated = options.simulation.enabled;
    }

    int execute(HidBus& realBus, SystemServices& realServices) {
        if (NeedsImage(options_.command)) {
            if (auto refused = loadImage()) return *refused;
        }
        HidBus* bus = &realBus;
        SystemServices* services = &realServices;
        if (options_.simulation.enabled) {
            simulation_.emplace(options_.simulation, realServices);
            bus = &simulation_->bus();
            services = &simulation_->services();
        }
        // Before the report log: the search is the tool's own, not the engine's.
        if (auto refused = refuseToGuess(*bus)) return *refused;
        std::optional<ReportLog> log;
        std::optional<LoggingHidBus> logged;
        if (options_.verbose) {
            log.emplace(io_.err, [services] { return services->nowMs(); });
            logged.emplace(*bus, *log);
            bus = &*logged;
        }
        if (options_.command == Command::List) return list(*bus);
        if (options_.command == Command::Station) return station(*bus, *services);
        if (options_.command == Command::Update && options_.all) {
            return updateAll(*bus, *services);
        }

        ProgressDisplay display(human_, humanIsTerminal_, !options_.quiet);
        const CommandOutcome outcome =
            RunEngineCommand(options_.command, options_, job_, *bus, *services, display);
        report_.code = outcome.code;
        report_.result = ResultName(outcome.code);
        report_.bytesSent = outcome.bytesSent;
        report_.seconds = outcome.seconds;
        report_.message = MessageFor(options_.command, outcome.code, options_, job_);
        const int exitCode = ExitCodeFor(outcome.code);
        if (exitCode == kExitSuccess) {
            say(report_.message);
        } else {
            io_.err << report_.message << '\n' << "tolvane: " << Detail(outcome.code) << '\n';
        }
        report_.reportedChecksum = outcome.reportedChecksum;
        if (simulation_ && image_) {
            const MemoryCheck check =
                simulation_->check(image_->bytes, job_.address, options_.port);
            report_.memoryMatches = check.written && check.equal;
            if (check.written) report_.deviceChecksum = check.checksum;
            say(!check.written ? "Virtual device: received no image."
                : check.equal  ? "Virtual device: its memory equals the image."
                               : "Virtual device: its memory differs from the image.");
        }
        return finish(exitCode);
    }

    // Refusals found before anything else happens.
    int refuse(int exitCode, const std::string& result, const std::string& message) {
        io_.err << "tolvane: " << message << '\n';
        report_.result = result;
        report_.message = message;
        return finish(exitCode);
    }

private:
    std::optional<int> loadImage() {
        auto loaded = LoadImageFile(options_.imagePath, options_.imageFormat);
        if (auto* error = std::get_if<ImageError>(&loaded)) {
            if (error->problem == ImageProblem::Unreadable) {
                return refuse(kExitUnreadable, "IMAGE_UNREADABLE", error->message);
            }
            return refuse(kExitBadImage, "BAD_IMAGE", error->message);
        }
        image_ = std::move(std::get<FirmwareImage>(loaded));
        if (!options_.address && image_->loadAddress && *image_->loadAddress > kMaxLoadAddress) {
            return refuse(kExitBadImage, "BAD_IMAGE",
                          options_.imagePath + ": the lowest address " +
                              Hex(*image_->loadAddress, 8) +
                              " does not fit in the boot loader's 24 bits; give --address");
        }
        job_.image = &*image_;
        job_.address = options_.address.value_or(image_->loadAddress.value_or(0));
        job_.checksum =
            options_.checksum.value_or(ImageChecksum(image_->bytes.data(), image_->bytes.size()));
        report_.bytesTotal = image_->bytes.size();
        report_.expectedChecksum = static_cast<std::uint16_t>(job_.checksum & 0xFFFF);
        return std::nullopt;
    }

    int list(HidBus& bus) {
        const InterfaceListing listing = ListInterfaces(bus);
        if (listing.error != 0) {
            report_.code = listing.error;
            report_.result = ResultName(listing.error);
            report_.message = "The system gives no list of HID interfaces.";
            io_.err << "tolvane: " << report_.message << " (" << Detail(listing.error) << ")\n";
            return finish(kExitSystemError);
        }
        if (options_.json) {
            std::string json =
                "{\"command\":\"list\",\"result\":\"DFU_SUCCESS\",\"code\":0,"
                "\"exit_code\":0,\"interfaces\":[";
            for (std::size_t i = 0; i < listing.interfaces.size(); ++i) {
                if (i != 0) json += ',';
                json += InterfaceToJson(listing.interfaces[i]);
            }
            io_.out << WithJsonMembers(json + "]}", simulatedDevicesMember()) << "\n";
            return kExitSuccess;
        }
        for (const ListedInterface& entry : listing.interfaces) say(FormatInterface(entry));
        say(std::to_string(listing.interfaces.size()) + " HID interface(s)");
        return kExitSuccess;
    }

    // Several devices match and the command was not told which: nothing is sent.
    std::optional<int> refuseToGuess(HidBus& bus) {
        const DeviceChoice choice = ChooseDevice(options_, bus);
        if (!choice.several) return std::nullopt;
        io_.err << "tolvane: " << kSeveralDevicesText << '\n';
        for (const DeviceCandidate& candidate : choice.candidates) {
            io_.err << FormatCandidate(candidate) << '\n';
        }
        report_.result = "SEVERAL_DEVICES";
        report_.message = kSeveralDevicesText;
        jsonMembers_ = CandidatesMember(choice.candidates);
        return finish(kExitSeveralDevices);
    }

    int updateAll(HidBus& bus, SystemServices& services) {
        const AllDevicesResult all = UpdateAllDevices(options_, job_, bus, services, human_,
                                                      humanIsTerminal_, !options_.quiet);
        const int exitCode = AllDevicesExitCode(all);
        if (all.listError != 0) {
            report_.code = all.listError;
            report_.result = ResultName(all.listError);
            report_.message = "The system gives no list of HID interfaces.";
        } else if (all.devices.empty()) {
            report_.code = DFU_ERR_NOT_FOUND;
            report_.result = ResultName(DFU_ERR_NOT_FOUND);
            report_.message = MessageFor(Command::Update, DFU_ERR_NOT_FOUND, options_, job_);
        } else {
            report_.result = "DFU_SUCCESS";
            for (const DeviceResult& device : all.devices) {
                report_.bytesSent += device.outcome.bytesSent;
                report_.seconds = std::max(report_.seconds, device.outcome.seconds);
                if (exitCode != kExitSuccess && device.exitCode == exitCode && report_.code == 0) {
                    report_.code = device.outcome.code;
                    report_.result = device.result;
                }
            }
            report_.message =
                std::to_string(all.devices.size()) + " device(s), " +
                std::to_string(std::ranges::count_if(
                    all.devices, [](const auto& d) { return d.exitCode == kExitSuccess; })) +
                " updated.";
            if (!options_.quiet) human_ << FormatResultTable(all.devices);
        }
        if (exitCode == kExitSuccess) {
            say(report_.message);
        } else {
            io_.err << "tolvane: " << report_.message << '\n';
        }
        jsonMembers_ = DevicesMember(all.devices, job_);
        return finish(exitCode);
    }

    int station(HidBus& bus, SystemServices& services) {
        std::ofstream logFile;
        if (!options_.logPath.empty()) {
            logFile.open(options_.logPath, std::ios::out | std::ios::app);
            if (!logFile) {
                return refuse(kExitSystemError, "SYSTEM_ERROR",
                              options_.logPath + ": cannot open the log for appending");
            }
        }
        StationOutput output;
        if (!options_.quiet) output.lines = &human_;
        if (options_.json) output.jsonLines = &io_.out;
        if (logFile.is_open()) output.log = &logFile;
        say("Waiting for devices " + Hex(options_.vid.value_or(0), 4) + ":" +
            Hex(options_.pid.value_or(0), 4) + " (and boot loaders)...");
        Station station(options_, job_, bus, services);
        const StationSummary summary = station.run(output);
        if (summary.error != 0) {
            report_.code = summary.error;
            report_.result = ResultName(summary.error);
            report_.message = "The station cannot listen for devices.";
            io_.err << "tolvane: " << report_.message << " (" << Detail(summary.error) << ")\n";
            return finish(kExitSystemError);
        }
        int exitCode = kExitSuccess;
        for (const DeviceResult& device : summary.finished) {
            if (exitCode == kExitSuccess && device.exitCode != kExitSuccess) {
                exitCode = device.exitCode;
                report_.code = device.outcome.code;
                report_.result = device.result;
            }
        }
        if (exitCode == kExitSuccess) report_.result = "DFU_SUCCESS";
        report_.message = std::to_string(summary.finished.size()) + " device(s) done.";
        say(report_.message);
        return finish(exitCode);
    }

    std::string simulatedDevicesMember() const {
        if (!simulation_) return {};
        return SimulatedDevicesMember(
            simulation_->checkAll(image_ ? &image_->bytes : nullptr, job_.address));
    }

    void say(const std::string& text) {
        if (!options_.quiet) human_ << text << '\n';
    }

    int finish(int exitCode) {
        report_.exitCode = exitCode;
        if (options_.json) {
            io_.out << WithJsonMembers(ToJson(report_), jsonMembers_ + simulatedDevicesMember())
                    << '\n';
        }
        human_.flush();
        io_.err.flush();
        return exitCode;
    }

    const Options& options_;
    const ToolIo& io_;
    std::ostream& human_;
    bool humanIsTerminal_;
    RunReport report_;
    std::optional<FirmwareImage> image_;
    DownloadJob job_;
    std::string jsonMembers_;  // the arrays of the multi-device commands
    // Last: the devices' clock goes before anything that might still refer to it.
    std::optional<Simulation> simulation_;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, const ToolIo& io, HidBus& realBus,
            SystemServices& realServices) {
    ParsedCommandLine parsed = ParseCommandLine(args);
    if (!parsed.options) {
        io.out << parsed.out;
        io.err << parsed.err;
        return parsed.exitCode;
    }
    Run run(*parsed.options, io);
    return run.execute(realBus, realServices);
}

}  // namespace tolvane::cli
