// RunTool: the command line parsed, interrupts hooked up, and the one run the line asks for.
#include "tool/tool.h"

#include "output/exit_codes.h"
#include "output/run_report.h"
#include "packages/package_commands.h"
#include "recording/record_session.h"
#include "system/interrupt_guard.h"
#include "tool/command_line.h"
#include "tool/command_run.h"
#include "tool/tool_report.h"

#include <algorithm>

namespace tolvane::cli {

namespace {

// Calls the guard for every interrupt while it lives.
class InterruptHookup {
public:
    InterruptHookup(InterruptSource* source, InterruptGuard& guard) : source_(source) {
        if (source_) source_->setHandler([&guard] { guard.interrupt(); });
    }
    ~InterruptHookup() {
        if (source_) source_->setHandler(nullptr);
    }
    InterruptHookup(const InterruptHookup&) = delete;
    InterruptHookup& operator=(const InterruptHookup&) = delete;

private:
    InterruptSource* source_;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, const ToolIo& io, const ToolPlatform& platform) {
    InterruptGuard guard;
    const InterruptHookup hookup(platform.interrupts, guard);
    if (IsShowRecording(args)) return ShowRecording(args, io.out, io.err);
    if (IsPackageCommand(args)) return RunPackageCommand(args, io.out, io.err);
    ParsedCommandLine parsed = ParseCommandLine(args);
    if (parsed.options) {
        // An unreadable recording is refused when the run starts it.
        std::string unread;
        TakeRecordedIdentity(*parsed.options, unread);
        CommandRun run(*parsed.options, io, platform, guard);
        return run.execute();
    }
    // Help, version and usage errors: with --json the text goes to standard error and the one
    // JSON object to standard output.
    Options options;
    options.json = parsed.json;
    // A refused line that asks for the virtual target still says so, with no device made.
    options.simulation.enabled = std::ranges::find(args, std::string("--simulate")) != args.end();
    options.simulation.devices = 0;
    ToolReport tool(options, io, platform);
    RunReport& report = tool.report();
    report.command = parsed.command;
    if (parsed.exitCode != kExitSuccess) {
        io.err << parsed.err;
        return tool.usageError(parsed.message, true);
    }
    (parsed.json ? io.err : io.out) << parsed.out;
    report.result = parsed.version ? "VERSION" : "HELP";
    if (parsed.version) report.extra["version"] = TOLVANE_VERSION;
    return tool.finish(kExitSuccess);
}

}  // namespace tolvane::cli
