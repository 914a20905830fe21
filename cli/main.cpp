// tolvane: the command-line firmware updater.
#include "exit_codes.h"
#include "platform.h"
#include "terminal.h"
#include "tool.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv + 1, argv + argc);
        const tolvane::cli::ToolIo io{std::cout, std::cerr, tolvane::cli::StdoutIsTerminal(),
                                      tolvane::cli::StderrIsTerminal()};
        return tolvane::cli::RunTool(args, io, tolvane::platform::DefaultHidBus(),
                                     tolvane::platform::DefaultServices());
    } catch (const std::exception& e) {
        std::cerr << "tolvane: " << e.what() << '\n';
        return tolvane::cli::kExitSystemError;
    }
}
