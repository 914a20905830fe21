// What update, station and --all are told about firmware packages: the trusted keys, the version
// rules and how strict a station is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct PackageOptions {
    std::vector<std::string> trust;  // --trust FILE|DIR, in the order given
    bool allowOlder = false;         // write a package older than the device's application
    bool allowReinstall = false;     // write a package of the version the device runs
    bool allowDevKey = false;        // station: accept a package signed by a development key
    bool requireSigned = false;      // refuse raw images and unsigned packages
    bool idsGiven = false;           // --vid or --pid was on the command line
    // Filled when a package is read: its version, which the device's application is held to.
    std::optional<std::uint16_t> version;
    std::optional<std::string> keyId;  // of the trusted key that signed it
};

// Whether the file is taken for a package by its name (".tvpkg"); read as one also when its
// content starts as a zip does (unless --format raw says otherwise).
bool IsPackageName(const std::string& path);

}  // namespace tolvane::cli
