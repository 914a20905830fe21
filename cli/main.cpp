// tolvane: the command-line firmware updater.
#include "output/exit_codes.h"
#include "output/output_buffer.h"
#include "output/terminal.h"
#include "platform.h"
#include "system/interrupt_source.h"
#include "system/run_program.h"
#include "tool/tool.h"

#include <cstdlib>
#include <exception>
#include <ostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include "wide_text.h"
#else
#include <unistd.h>
#endif

namespace {

tolvane::cli::UdevSystem RealUdevSystem() {
    tolvane::cli::UdevSystem udev;
#ifndef _WIN32
    udev.runningAsRoot = geteuid() == 0;
#endif
    // Both can be pointed elsewhere, for a staged root or a test without root rights.
    if (const char* dir = std::getenv("TOLVANE_UDEV_RULES_DIR"); dir && *dir) {
        udev.rulesDir = dir;
        udev.rulesDirChosen = true;
    }
    if (const char* udevadm = std::getenv("TOLVANE_UDEVADM"); udevadm && *udevadm) {
        udev.udevadm = udevadm;
    }
    udev.run = tolvane::cli::RunProgram;
    return udev;
}

// `args`: the command line without the program's name, in UTF-8.
int RunMain(const std::vector<std::string>& args) {
    using namespace tolvane;
    // Before any other thread exists, so that every thread leaves interrupts to this one.
    const auto interrupts = cli::CatchInterrupts();
    cli::OutputBuffer outBuffer(cli::OutputBuffer::ToDescriptor(1));
    cli::OutputBuffer errBuffer(cli::OutputBuffer::ToDescriptor(2));
    std::ostream out(&outBuffer);
    std::ostream err(&errBuffer);
    try {
        // A console that cannot show escape sequences gets plain lines, as a file does.
        const cli::ToolIo io{out, err, cli::StdoutIsTerminal() && cli::EnableTerminalEscapes(1),
                             cli::StderrIsTerminal() && cli::EnableTerminalEscapes(2)};
        const cli::ToolPlatform platform{
            platform::DefaultHidBus(), platform::DefaultServices(), platform::SystemErrorText,
            platform::LastNativeErrorDetail, interrupts.get(),
            // The engine may be inside a wait of 30 s on another thread: the process ends
            // without waiting for it. Everything it holds belongs to the process.
            [&](int exitCode) {
                out.flush();
                err.flush();
                std::_Exit(exitCode);
            },
            RealUdevSystem(), &cli::DeviceLock::takePort};
        return cli::RunTool(args, io, platform);
    } catch (const std::exception& e) {
        err << "tolvane: " << e.what() << '\n';
        return cli::kExitSystemError;
    }
}

}  // namespace

#ifdef _WIN32
// The command line in UTF-16, so that arguments outside the ANSI code page (a file under
// "Prüfung\固件.hex") arrive whole; the tool works in UTF-8 from here on.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    try {
        for (int i = 1; i < argc; ++i) {
            args.push_back(tolvane::win32::ToUtf8(argv[i]));
        }
    } catch (const std::exception&) {
        return tolvane::cli::kExitSystemError;
    }
    return RunMain(args);
}
#else
int main(int argc, char** argv) {
    return RunMain(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
