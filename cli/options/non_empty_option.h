// Options whose value may not be empty: a value given as "" is refused rather than read as "not
// given", so that `--checksum "$SUM"` or `--log "$LOG"` with an unset variable never quietly skips
// what it asks for.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace tolvane::cli {

inline CLI::Option* Valued(CLI::Option* option) {
    static const CLI::Validator notEmpty(
        [](std::string& value) {
            return value.empty() ? std::string("an empty value is not allowed") : std::string();
        },
        "", "not empty");
    return option->check(notEmpty);
}

}  // namespace tolvane::cli
