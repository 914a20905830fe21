// Whether the standard streams go to a terminal, where progress is redrawn in place.
#pragma once

namespace tolvane::cli {

bool StdoutIsTerminal() noexcept;
bool StderrIsTerminal() noexcept;
// Makes the console behind a terminal stream (1 or 2) interpret escape sequences: on Windows
// ENABLE_VIRTUAL_TERMINAL_PROCESSING, which a legacy console refuses (false: write plain lines
// there). Elsewhere terminals do so already: true.
bool EnableTerminalEscapes(int stream) noexcept;

}  // namespace tolvane::cli
