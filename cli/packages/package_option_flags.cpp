#include "package_option_flags.h"

#include "non_empty_option.h"

namespace tolvane::cli {

void AddPackageOptions(CLI::App& command, Options& options) {
    PackageOptions& package = options.package;

    // One value per --trust, repeated; taken one by one rather than as a list option.
    Valued(command.add_option_function<std::string>(
               "--trust", [&package](const std::string& path) { package.trust.push_back(path); },
               "a public key file, or a folder of *.pub files, whose packages "
               "are trusted (besides the system's folder); may be repeated"))
        ->type_name("FILE|DIR")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->group("Packages");
    command
        .add_flag("--allow-older", package.allowOlder,
                  "write a package older than the device's application")
        ->group("Packages");
    command
        .add_flag("--allow-reinstall", package.allowReinstall,
                  "write a package of the version the device runs already")
        ->group("Packages");
    command
        .add_flag("--require-signed", package.requireSigned,
                  "refuse raw images and unsigned packages")
        ->group("Packages");
}

void AddDevKeyOption(CLI::App& command, Options& options) {
    command
        .add_flag("--allow-dev-key", options.package.allowDevKey,
                  "accept a package signed by a development key")
        ->group("Packages");
}

}  // namespace tolvane::cli
