// Whether the standard streams go to a terminal, where progress is redrawn in place.
#pragma once

namespace tolvane::cli {

bool StdoutIsTerminal() noexcept;
bool StderrIsTerminal() noexcept;

}  // namespace tolvane::cli
