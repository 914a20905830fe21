#include "packages/package_command_line.h"

#include "options/non_empty_option.h"

namespace tolvane::cli {
namespace {

void AddTrust(CLI::App& command, PackageCommandOptions& options) {
    Valued(command.add_option("--trust", options.trust,
                              "a public key file, or a folder of *.pub files, to trust (besides "
                              "the system's folder)"))
        ->type_name("FILE|DIR");
}

}  // namespace

PackageCommands AddPackageCommands(CLI::App& app, PackageCommandOptions& options) {
    PackageCommands commands;
    auto* pack = commands.pack = app.add_subcommand(
        "pack", "make a firmware package: the image, its manifest and a signature");
    Valued(pack->add_option("IMAGE", options.input, "firmware image: raw binary or Intel HEX"))
        ->required();
    Valued(pack->add_option("--vid", options.vid, "vendor identifier of the device's application"))
        ->required()
        ->type_name("HEX");
    Valued(pack->add_option("--pid", options.pid, "product identifier of the device's application"))
        ->required()
        ->type_name("HEX");
    Valued(pack->add_option("--bl-vid", options.blVid,
                            "vendor identifier of the device's boot loader (default 5C3B)"))
        ->type_name("HEX");
    Valued(pack->add_option("--bl-pid", options.blPid,
                            "product identifier of the device's boot loader (default 030B)"))
        ->type_name("HEX");
    Valued(pack->add_option("--image-version", options.version, "the image's release number"))
        ->required()
        ->type_name("X.YY");
    Valued(pack->add_option("--address", options.address,
                            "load address (24 bits); default: a HEX file's lowest address, else 0"))
        ->type_name("HEX");
    Valued(pack->add_option("--format", options.format,
                            "image format: auto (Intel HEX for .hex, .ihex, .ihx), raw or hex"))
        ->check(CLI::IsMember({"auto", "raw", "hex"}, CLI::ignore_case))
        ->type_name("FORMAT");
    Valued(pack->add_option("--product", options.product, "the product's name, free text"))
        ->type_name("TEXT");
    Valued(pack->add_option("--notes", options.notes, "release notes, free text"))
        ->type_name("TEXT");
    Valued(pack->add_option("--hardware-revision", options.hardwareRevisions,
                            "a hardware revision the image is for (repeat for several)"))
        ->type_name("TEXT");
    auto* key =
        Valued(pack->add_option("--key", options.key,
                                "minisign secret key to sign with (made by minisign -G -W)"))
            ->type_name("SECRET_KEY");
    auto* none = pack->add_flag("--unsigned", options.unsignedPackage,
                                "leave the package unsigned, to be signed elsewhere");
    key->excludes(none);
    Valued(pack->add_option("-o,--output", options.output, "the package to write"))
        ->required()
        ->type_name("PKG");

    auto* sign = commands.sign = app.add_subcommand(
        "sign", "attach a minisign signature of a package's manifest.json made elsewhere");
    Valued(sign->add_option("PKG", options.input, "the package"))->required();
    Valued(sign->add_option("--sig", options.signature, "the signature (minisign -S output)"))
        ->required()
        ->type_name("FILE.minisig");
    Valued(sign->add_option("-o,--output", options.output,
                            "the signed package to write (default: the package itself)"))
        ->type_name("PKG");
    AddTrust(*sign, options);

    auto* verify = commands.verify = app.add_subcommand(
        "verify", "check a package offline: its signature, key and firmware; print what it is");
    Valued(verify->add_option("PKG", options.input, "the package"))->required();
    AddTrust(*verify, options);
    return commands;
}

}  // namespace tolvane::cli
