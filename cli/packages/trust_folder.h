// The system's folder of trusted package keys: /etc/tolvane/keys on Linux, the "keys" folder
// beside tolvane.exe on Windows. Read by every run besides --trust; it need not exist.
#pragma once

#include "package/trust_store.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

std::string SystemKeysFolder();

// The system folder, then each --trust path. A message when a --trust path cannot be read.
std::optional<std::string> LoadTrustedKeys(const std::vector<std::string>& trust,
                                           package::TrustStore& store);

}  // namespace tolvane::cli
