#include "output/terminal.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#define TOLVANE_ISATTY _isatty
#else
#include <unistd.h>
#define TOLVANE_ISATTY isatty
#endif

namespace tolvane::cli {

bool StdoutIsTerminal() noexcept {
    return TOLVANE_ISATTY(1) != 0;
}
bool StderrIsTerminal() noexcept {
    return TOLVANE_ISATTY(2) != 0;
}

bool EnableTerminalEscapes(int stream) noexcept {
#ifdef _WIN32
    HANDLE console = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode)) {
        return false;
    }
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0) {
        return true;
    }
    return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != FALSE;
#else
    (void)stream;
    return true;
#endif
}

}  // namespace tolvane::cli
