#include "packages/package_option_flags.h"

#include "options/non_empty_option.h"

namespace tolvane::cli {

void AddPackageOptions(CLI::App& command, Options& options) {
    PackageOptions& package = options.package;

    // Every --trust, in the order given.
    Valued(command.add_option_function<std::vector<std::string>>(
               "--trust",
               [&package](const std::vector<std::string>& paths) {
                   package.trust.insert(package.trust.end(), paths.begin(), paths.end());
               },
               "a public key file, or a folder of *.pub files, whose packages are trusted "
               "(besides the system's folder); may be repeated"))
        ->type_name("FILE|DIR")
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
