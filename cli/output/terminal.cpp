#include "terminal.h"

#ifdef _WIN32
#include <io.h>
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

}  // namespace tolvane::cli
