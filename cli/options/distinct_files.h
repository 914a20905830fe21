// A file the run writes may not be one it reads, nor one it writes otherwise: `--record fw.bin
// update fw.bin` would replace the firmware with the recording, `report st.log --html st.log` the
// log with the page. Told apart by the files themselves (links and other spellings included),
// before anything is read or written.
#pragma once

#include "options/options.h"

#include <optional>
#include <string>

namespace tolvane::cli {

// The refusal for the first output that is an input or another output; none when all differ.
std::optional<std::string> OutputOverlap(const Options& options);

}  // namespace tolvane::cli
