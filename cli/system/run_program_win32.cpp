#include "system/run_program.h"

namespace tolvane::cli {

// Only install-udev-rules runs other programs, and it is for Linux alone.
int RunProgram(const std::vector<std::string>&, std::string& error) {
    error = "running other programs is not supported on Windows";
    return -1;
}

}  // namespace tolvane::cli
