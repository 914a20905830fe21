// Reading and writing whole package and key files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tolvane::package {

// The file's bytes, or a message (missing, unreadable, not a regular file, over `limit` bytes).
std::variant<std::vector<std::uint8_t>, std::string> ReadFileBytes(const std::string& path,
                                                                   std::size_t limit);

// Writes `bytes` to a file beside `path` and renames it over `path`, so that a reader never sees
// half a package. A message when it fails (and nothing left behind).
std::optional<std::string> ReplaceFile(const std::string& path,
                                       std::span<const std::uint8_t> bytes);

}  // namespace tolvane::package
