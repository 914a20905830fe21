#include "options/production_options.h"

#include "options/non_empty_option.h"
#include "options/station_options.h"
#include "options/table_subcommand.h"
#include "versions/release_number.h"

namespace tolvane::cli {
namespace {

std::optional<std::uint16_t> CheckRelease(const std::optional<std::string>& text,
                                          const char* option) {
    if (!text) return std::nullopt;
    if (auto bcd = ParseRelease(*text)) return bcd;
    throw StationUsageError{std::string(option) + ": '" + *text +
                            "' is not a release number X.YY (such as 1.02)"};
}

}  // namespace

void AddVersionOptions(CLI::App& command, Options& options, VersionTexts& texts) {
    Valued(command.add_option("--image-version", texts.image,
                              "the image's release number; the application that comes back "
                              "must report it"))
        ->type_name("X.YY");
    command.add_flag("--skip-current", options.skipCurrent,
                     "leave a device that runs --image-version already as it is");
}

void AddSlotsOption(CLI::App& app, Options& options) {
    Valued(app.add_option("--slots", options.slotsPath,
                          "name the ports: one 'PORT NAME' a line, '#' starts a comment"))
        ->type_name("FILE");
}

void AddSimulatedVersionOptions(CLI::App& app, VersionTexts& texts, const std::string& group) {
    Valued(app.add_option("--sim-version", texts.sim,
                          "the application's release number (default 1.00)"))
        ->type_name("X.YY")
        ->group(group);
    Valued(app.add_option("--sim-version-after", texts.simAfter,
                          "the release number of the application that comes back after a "
                          "download (default: --image-version, else unchanged)"))
        ->type_name("X.YY")
        ->group(group);
}

ProductionCommands AddProductionCommands(CLI::App& app, Options& options) {
    ProductionCommands commands;
    commands.report = AddTableSubcommand(app, Command::Report);
    Valued(commands.report->add_option("LOG", options.reportLogs, "a station's --log file"))
        ->required();
    Valued(commands.report->add_option("--html", options.htmlPath,
                                       "also write the report as one self-contained page"))
        ->type_name("FILE");
    commands.slots = app.add_subcommand("slots", "name the ports of a station");
    commands.slots->require_subcommand(1);
    commands.teach = AddTableSubcommand(*commands.slots, Command::SlotsTeach);
    Valued(commands.teach->add_option("--count", options.count, "how many slots to name"))
        ->required()
        ->type_name("N");
    Valued(commands.teach->add_option("--out", options.slotsOut, "the --slots file to write"))
        ->required()
        ->type_name("FILE");
    return commands;
}

void CheckProductionOptions(Options& options, const VersionTexts& texts) {
    options.imageVersion = CheckRelease(texts.image, "--image-version");
    if (auto version = CheckRelease(texts.sim, "--sim-version")) {
        options.simulation.version = *version;
    }
    options.simulation.versionAfter = CheckRelease(texts.simAfter, "--sim-version-after");
    options.simulation.imageVersion = options.imageVersion;
    // A package's manifest gives the version.
    if (options.skipCurrent && !options.imageVersion && !IsPackageName(options.imagePath)) {
        throw StationUsageError{"--skip-current needs --image-version"};
    }
}

}  // namespace tolvane::cli
