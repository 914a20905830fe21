// The command lines of pack, sign and verify, shared by their run and by the tool's --help.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct PackageCommandOptions {
    std::string input;   // pack: the image; sign, verify: the package
    std::string output;  // pack: -o; sign: -o (default: the package itself)
    std::string format;
    std::optional<std::string> vid, pid, blVid, blPid, address, version;
    std::string product;
    std::optional<std::string> notes;
    std::vector<std::string> hardwareRevisions;
    std::optional<std::string> key;
    bool unsignedPackage = false;
    std::string signature;           // sign: --sig
    std::vector<std::string> trust;  // sign, verify: --trust
    bool json = false;
    bool quiet = false;
};

struct PackageCommands {
    CLI::App* pack = nullptr;
    CLI::App* sign = nullptr;
    CLI::App* verify = nullptr;
};

PackageCommands AddPackageCommands(CLI::App& app, PackageCommandOptions& options);

}  // namespace tolvane::cli
