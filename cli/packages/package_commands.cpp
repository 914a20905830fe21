#include "packages/package_commands.h"

#include "output/exit_codes.h"
#include "packages/package_command_line.h"
#include "packages/package_tasks.h"
#include "sys_error.h"

#include <sstream>

namespace tolvane::cli {
namespace {

constexpr const char* kPackageCommands[] = {"pack", "sign", "verify"};

// The named command's word, skipping the tool's flags before it.
std::string CommandWord(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") break;
        if (!arg.starts_with("-")) return arg;
    }
    return {};
}

}  // namespace

bool IsPackageCommand(const std::vector<std::string>& args) {
    const std::string word = CommandWord(args);
    for (const char* name : kPackageCommands) {
        if (word == name) return true;
    }
    return false;
}

void AddPackageCommandsForHelp(CLI::App& app) {
    // The options are read by RunPackageCommand's own parse; these only describe them.
    static PackageCommandOptions described;
    const PackageCommands commands = AddPackageCommands(app, described);
    for (CLI::App* command : {commands.pack, commands.sign, commands.verify}) {
        command->footer(ExitCodeHelp());
    }
}

int RunPackageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    PackageCommandOptions options;
    CLI::App app{"Makes and checks firmware packages.", "tolvane"};
    app.require_subcommand(1);
    app.fallthrough();
    app.allow_windows_style_options(false);
    app.add_flag("--json", options.json, "print one JSON object with the outcome at the end");
    app.add_flag("-q,--quiet", options.quiet, "print nothing but errors");
    const PackageCommands commands = AddPackageCommands(app, options);
    for (CLI::App* command : {commands.pack, commands.sign, commands.verify}) {
        command->footer(ExitCodeHelp());
    }
    RunReport report;
    report.command = CommandWord(args);
    PackageTaskIo io{out, err, report, false, false};
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& e) {
        io.json = options.json;
        std::ostringstream help, problem;
        const int code = app.exit(e, help, problem);
        (options.json ? err : out) << help.str();
        err << problem.str();
        if (code == 0) {
            report.result = "HELP";
            return FinishPackageTask(io, kExitSuccess);
        }
        report.result = "USAGE";
        report.code = kErrorInvalidParameter;
        report.message = e.what();
        return FinishPackageTask(io, kExitUsage);
    }
    io.json = options.json;
    io.quiet = options.quiet;
    if (commands.pack->parsed()) return PackFirmware(options, io);
    if (commands.sign->parsed()) return AttachSignature(options, io);
    return VerifyPackage(options, io);
}

}  // namespace tolvane::cli
