#include "tool/command_line.h"

#include "dfu_constants.h"
#include "options/command_table.h"
#include "options/distinct_files.h"
#include "options/non_empty_option.h"
#include "options/production_options.h"
#include "options/station_options.h"
#include "options/table_subcommand.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "packages/package_commands.h"
#include "packages/package_option_flags.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <sstream>

namespace tolvane::cli {
namespace {

// The virtual target's application identity, the default of --vid and --pid with --simulate.
constexpr std::uint32_t kSimulatedVid = DFU_VENDOR_ID;
constexpr std::uint32_t kSimulatedPid = 0x0326;

struct UsageError {
    std::string message;
};

// The raw texts of the hexadecimal options, checked after CLI11 has parsed the line.
struct HexTexts {
    std::optional<std::string> vid, pid, address, checksum, bootLoaderPid, holdReport;
    std::string format;
};

std::optional<std::uint32_t> CheckHex(const std::optional<std::string>& given, const char* option,
                                      std::uint32_t max) {
    if (!given) return std::nullopt;
    const std::string& text = *given;
    if (auto value = ParseHex(text, max)) return value;
    throw UsageError{std::string(option) + ": '" + text +
                     "' is not a hexadecimal number from 0 to " + Hex(max, 1)};
}

// "K:MS": the K-th data report (from 1), held MS milliseconds (up to an hour).
std::optional<SimulationOptions::ReportHold> CheckReportHold(
    const std::optional<std::string>& given) {
    if (!given) return std::nullopt;
    const std::string& text = *given;
    const auto number = [](std::string_view digits,
                           std::uint32_t max) -> std::optional<std::uint32_t> {
        std::uint32_t value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size() ||
            value > max) {
            return std::nullopt;
        }
        return value;
    };
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        const auto report = number(std::string_view(text).substr(0, colon), 0xFFFFFFFF);
        const auto ms = number(std::string_view(text).substr(colon + 1), 3600000);
        if (report && *report > 0 && ms) return SimulationOptions::ReportHold{*report, *ms};
    }
    throw UsageError{"--sim-hold-report: '" + text +
                     "' is not K:MS (the K-th data report from 1, MS milliseconds up to 3600000)"};
}

void AddIdentifiers(CLI::App& command, HexTexts& texts, const std::string& whose) {
    Valued(command.add_option("--vid", texts.vid, "vendor identifier of " + whose))
        ->type_name("HEX");
    Valued(command.add_option("--pid", texts.pid, "product identifier of " + whose))
        ->type_name("HEX");
}

void AddImage(CLI::App& command, Options& options, HexTexts& texts) {
    Valued(
        command.add_option("IMAGE", options.imagePath, "firmware image: raw binary or Intel HEX"))
        ->required();
    Valued(command.add_option("--address", texts.address,
                              "load address (24 bits); default: a HEX file's lowest address, "
                              "else 0"))
        ->type_name("HEX");
    Valued(command.add_option("--checksum", texts.checksum,
                              "expected checksum; default: the sum of the image's bytes"))
        ->type_name("HEX");
    Valued(command.add_option("--format", texts.format,
                              "image format: auto (Intel HEX for .hex, .ihex, .ihx), raw or hex"))
        ->check(CLI::IsMember({"auto", "raw", "hex"}, CLI::ignore_case))
        ->type_name("FORMAT");
}

void Check(const Options& options, const HexTexts& texts, CLI::App& app) {
    const auto& sim = options.simulation;
    if (!sim.enabled) {
        for (const CLI::Option* option : app.get_options()) {
            const std::string name = option->get_name();
            if (name.rfind("--sim-", 0) == 0 && option->count() > 0) {
                throw UsageError{name + " needs --simulate"};
            }
        }
    }
    if (sim.refuseReport && *sim.refuseReport == 0) {
        throw UsageError{"--sim-refuse-report: reports are counted from 1"};
    }
    if (sim.unplugAt && *sim.unplugAt == 0) {
        throw UsageError{"--sim-unplug-at: reports are counted from 1"};
    }
    CheckStationOptions(options);
    // A command that never talks to a device would leave --replay unused without a word.
    if (options.record.replayPath && !WorksOnOneDevice(options)) {
        throw UsageError{
            "--replay is for update (of one device), reset-to-isp, download and reset-to-ap"};
    }
    const bool needsIdentifiers = TraitsOf(options.command).findsApplication;
    // A package names its device itself.
    if (needsIdentifiers && !sim.enabled && !options.record.replayPath &&
        !IsPackageName(options.imagePath) && (!texts.vid || !texts.pid)) {
        throw UsageError{"--vid and --pid are required (or give --simulate)"};
    }
    if (options.command == Command::InstallUdevRules &&
        texts.vid.has_value() != texts.pid.has_value()) {
        throw UsageError{"install-udev-rules: give --vid and --pid together"};
    }
    if (auto overlap = OutputOverlap(options)) throw UsageError{*overlap};
}

// The command the line names, found without parsing, for the JSON object of a usage error.
std::string CommandNamed(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        for (const CommandTraits& command : CommandTable()) {
            // "slots teach" is named by its first word.
            const std::string_view name = command.name;
            if (arg == name.substr(0, name.find(' '))) return command.name;
        }
    }
    return {};
}

bool AsksForJson(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (arg == "--json") return true;
    }
    return false;
}

// The --sim-* options that shape the built-in virtual target, in their order in --help.
void AddSimulationOptions(CLI::App& app, SimulationOptions& sim, HexTexts& texts,
                          VersionTexts& versions) {
    const std::string simGroup = "Virtual target";
    const auto flag = [&](const char* name, bool& value, const char* help) {
        app.add_flag(name, value, help)->group(simGroup);
    };
    const auto valued = [&](const char* name, auto& value, const char* help, const char* type) {
        return Valued(app.add_option(name, value, help))->type_name(type)->group(simGroup);
    };
    flag("--simulate", sim.enabled, "run against the built-in virtual target");
    flag("--sim-fast", sim.fast, "virtual clock: no real waiting");
    valued("--sim-report-length", sim.reportLength, "the report lengths of the target (default 65)",
           "N")
        ->check(CLI::Range(0, 65535));
    valued("--sim-bootloader-pid", texts.bootLoaderPid,
           "the boot loader's product identifier (default 030B)", "HEX");
    flag("--sim-in-bootloader", sim.inBootLoader, "the target starts in its boot loader");
    flag("--sim-never-enters", sim.neverEnters,
         "the target takes the reset command but its boot loader never appears");
    flag("--sim-never-returns", sim.neverReturns,
         "the boot loader leaves on its reset but the application never comes back");
    valued("--sim-refuse-report", sim.refuseReport, "the K-th data report is always refused", "K");
    valued("--sim-unplug-at", sim.unplugAt, "the device is unplugged at the K-th data report", "K");
    valued("--sim-hold-report", texts.holdReport,
           "the boot loader takes the K-th data report, then holds it MS ms", "K:MS");
    flag("--sim-wrong-checksum", sim.wrongChecksum, "the boot loader reports a wrong checksum");
    flag("--sim-refuse-reset", sim.refuseReset,
         "the target refuses every form of the reset command");
    flag("--sim-bootloader-refuse-reset", sim.bootLoaderRefusesReset,
         "the boot loader refuses the reset command");
    valued("--sim-leave-delay", sim.leaveDelayMs,
           "milliseconds the device stays on the bus after a reset (default 0)", "MS");
    AddStationSimulationOptions(app, sim, simGroup);
    AddSimulatedVersionOptions(app, versions, simGroup);
}

// The checks across options, and the texts turned into numbers.
void CheckAndConvert(Options& options, const HexTexts& texts, const VersionTexts& versions,
                     CLI::App& app) {
    auto& sim = options.simulation;
    Check(options, texts, app);
    CheckProductionOptions(options, versions);
    if (texts.format == "raw") options.imageFormat = ImageFormat::Raw;
    if (texts.format == "hex") options.imageFormat = ImageFormat::IntelHex;
    options.package.idsGiven = texts.vid || texts.pid;
    options.vid = CheckHex(texts.vid, "--vid", 0xFFFF);
    options.pid = CheckHex(texts.pid, "--pid", 0xFFFF);
    options.address = CheckHex(texts.address, "--address", BOOT_LOADER_LAST_ADDRESS);
    options.checksum = CheckHex(texts.checksum, "--checksum", 0xFFFFFFFF);
    if (auto pid = CheckHex(texts.bootLoaderPid, "--sim-bootloader-pid", 0xFFFF)) {
        sim.bootLoaderPid = static_cast<std::uint16_t>(*pid);
    }
    sim.holdReport = CheckReportHold(texts.holdReport);
    if (sim.enabled) {
        if (!options.vid) options.vid = kSimulatedVid;
        if (!options.pid) options.pid = kSimulatedPid;
    }
}

// The tool's subcommands, each found by its command after the parse.
struct CommandApps {
    std::vector<std::pair<Command, CLI::App*>> commands;
    CLI::App* showRecording = nullptr;
};

// Every subcommand with its own options, and show-recording for --help.
CommandApps AddCommands(CLI::App& app, Options& options, HexTexts& texts, VersionTexts& versions) {
    auto* update = AddTableSubcommand(app, Command::Update);
    AddImage(*update, options, texts);
    const std::string application = "the device's application";
    AddIdentifiers(*update, texts, application);
    auto* resetToIsp = AddTableSubcommand(app, Command::ResetToIsp);
    AddIdentifiers(*resetToIsp, texts, application);
    auto* download = AddTableSubcommand(app, Command::Download);
    AddImage(*download, options, texts);
    auto* resetToAp = AddTableSubcommand(app, Command::ResetToAp);
    auto* list = AddTableSubcommand(app, Command::List);
    auto* installRules = AddTableSubcommand(app, Command::InstallUdevRules);
    AddIdentifiers(*installRules, texts, "one more application identity to cover");
    Valued(installRules->add_option(
               "--rules-dir", options.rulesDir,
               "where to install the rules (default: $TOLVANE_UDEV_RULES_DIR, else " +
                   std::string(kDefaultUdevRulesDir) + ")"))
        ->type_name("DIR");
    for (CLI::App* command : {update, resetToIsp, download, resetToAp}) {
        AddPortOption(*command, options);
    }
    AddAllOption(*update, options);
    auto* station = AddTableSubcommand(app, Command::Station);
    AddImage(*station, options, texts);
    AddIdentifiers(*station, texts, application);
    AddStationOptions(*station, options);
    for (CLI::App* command : {update, station}) {
        AddVersionOptions(*command, options, versions);
        AddPackageOptions(*command, options);
    }
    AddDevKeyOption(*station, options);
    AddPackageCommandsForHelp(app);
    const ProductionCommands production = AddProductionCommands(app, options);
    // Run before this parse (see ShowRecording); here for --help, and refused after other options.
    auto* showRecording = app.add_subcommand(
        "show-recording", "print a recording made with --record as a timeline (--json: as data)");
    showRecording->allow_extras();
    AddIdentifiers(*production.teach, texts, application);
    CommandApps apps;
    apps.showRecording = showRecording;
    apps.commands = {{Command::Update, update},
                     {Command::ResetToIsp, resetToIsp},
                     {Command::Download, download},
                     {Command::ResetToAp, resetToAp},
                     {Command::List, list},
                     {Command::InstallUdevRules, installRules},
                     {Command::Station, station},
                     {Command::Report, production.report},
                     {Command::SlotsTeach, production.teach}};
    for (const auto& [command, subcommand] : apps.commands) subcommand->footer(ExitCodeHelp());
    return apps;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    Options options;
    HexTexts texts;
    VersionTexts versions;
    auto& sim = options.simulation;

    CLI::App app{"Updates the firmware of USB HID devices through their boot loader.", "tolvane"};
    app.require_subcommand(1);
    app.fallthrough();
    // Options are --long and -s only, so that a path that starts with "/" stays a path on Windows.
    app.allow_windows_style_options(false);
    app.footer(ExitCodeHelp());

    app.set_version_flag("--version", "tolvane " TOLVANE_VERSION, "print the version and exit");
    app.add_flag("--json", options.json, "print one JSON object with the outcome at the end");
    auto* verbose =
        app.add_flag("-v,--verbose", options.verbose, "print every report sent and received");
    app.add_flag("-q,--quiet", options.quiet, "print nothing but errors")->excludes(verbose);

    AddSimulationOptions(app, sim, texts, versions);
    AddSlotsOption(app, options);
    AddRecordOptions(app, options.record);
    options.record.commandLine = JoinedCommandLine(args);

    const CommandApps apps = AddCommands(app, options, texts, versions);

    ParsedCommandLine parsed;
    parsed.json = AsksForJson(args);
    parsed.command = CommandNamed(args);
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        for (const auto& [command, subcommand] : apps.commands) {
            if (subcommand->parsed()) options.command = command;
        }
        if (apps.showRecording->parsed()) {
            throw UsageError{"show-recording takes only --json, -q and FILE"};
        }
        CheckAndConvert(options, texts, versions, app);
        parsed.options = options;
    } catch (const CLI::CallForVersion&) {
        parsed.version = true;
        parsed.out = std::string("tolvane ") + TOLVANE_VERSION + "\n";
        parsed.exitCode = kExitSuccess;
    } catch (const CLI::ParseError& e) {
        std::ostringstream out, err;
        const int code = app.exit(e, out, err);
        parsed.out = out.str();
        parsed.err = err.str();
        parsed.exitCode = code == 0 ? kExitSuccess : kExitUsage;
        if (code != 0) parsed.message = e.what();
    } catch (const UsageError& e) {
        parsed.err = "tolvane: " + e.message + "\nRun with --help for more information.\n";
        parsed.message = e.message;
        parsed.exitCode = kExitUsage;
    } catch (const StationUsageError& e) {
        parsed.err = "tolvane: " + e.message + "\nRun with --help for more information.\n";
        parsed.message = e.message;
        parsed.exitCode = kExitUsage;
    }
    return parsed;
}

}  // namespace tolvane::cli
