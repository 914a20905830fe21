#include "packages/package_tasks.h"

#include "dfu_constants.h"
#include "image/image_file.h"
#include "image/image_limits.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "package/crypto.h"
#include "package/file_bytes.h"
#include "package/package_file.h"
#include "package/signature_check.h"
#include "packages/package_refusal.h"
#include "packages/trust_folder.h"

namespace tolvane::cli {
namespace {

namespace pkg = tolvane::package;

constexpr std::size_t kMaxKeyFileSize = 4096;

int Refuse(PackageTaskIo& io, int exitCode, const std::string& result, const std::string& message,
           SysError code = kErrorInvalidData) {
    io.err << "tolvane: " << message << '\n';
    io.report.result = result;
    io.report.code = code;
    io.report.message = message;
    return FinishPackageTask(io, exitCode);
}

int Refuse(PackageTaskIo& io, const PackageRefusal& refusal) {
    AddRefusalFields(io.report.extra, refusal);
    return Refuse(io, refusal.exitCode, refusal.result, refusal.fault.message, refusal.code);
}

std::uint32_t HexOption(const std::optional<std::string>& text, const char* option,
                        std::uint32_t max, std::uint32_t fallback, std::string& problem) {
    if (!text) return fallback;
    if (auto value = ParseHex(*text, max)) return *value;
    problem = std::string(option) + ": '" + *text + "' is not a hexadecimal number from 0 to " +
              Hex(max, 1);
    return 0;
}

// The package file, read and checked as a zip with a manifest; a refusal otherwise.
std::variant<pkg::Package, PackageRefusal> ReadPackageFile(const std::string& path) {
    PackageRefusal refusal;
    auto bytes = pkg::ReadFileBytes(path, pkg::kMaxPackageSize);
    if (auto* problem = std::get_if<std::string>(&bytes)) {
        refusal.exitCode = kExitUnreadable;
        refusal.result = "IMAGE_UNREADABLE";
        refusal.code = kErrorFileNotFound;
        refusal.fault = {"file", "a readable package", "an unreadable file", *problem};
        return refusal;
    }
    auto read = pkg::ReadPackage(std::get<std::vector<std::uint8_t>>(bytes));
    if (auto* fault = std::get_if<pkg::PackageFault>(&read)) {
        refusal.exitCode = kExitBadImage;
        refusal.result = kBadPackageResult;
        refusal.fault = std::move(*fault);
        refusal.fault.message = path + ": " + refusal.fault.message;
        return refusal;
    }
    return std::get<pkg::Package>(std::move(read));
}

void Say(PackageTaskIo& io, const std::string& text) {
    if (!io.quiet) (io.json ? io.err : io.out) << text << '\n';
}

Json IdsJson(const pkg::DeviceIds& ids) {
    return {{"vid", Hex(ids.vid, 4).substr(2)}, {"pid", Hex(ids.pid, 4).substr(2)}};
}

void DescribeManifest(PackageTaskIo& io, const pkg::Manifest& manifest) {
    Json& extra = io.report.extra;
    extra["product"] = manifest.product;
    extra["application"] = IdsJson(manifest.application);
    extra["boot_loader"] = IdsJson(manifest.bootLoader);
    extra["version"] = pkg::VersionText(manifest.version);
    extra["load_address"] = Hex(manifest.loadAddress, 6);
    extra["size"] = manifest.size;
    extra["checksum16"] = Hex(manifest.checksum16, 4);
    extra["sha256"] = manifest.sha256;
    Say(io, "Product:      " + Printable(manifest.product));
    Say(io, "Application:  " + pkg::IdsText(manifest.application));
    Say(io, "Boot loader:  " + pkg::IdsText(manifest.bootLoader));
    Say(io, "Version:      " + pkg::VersionText(manifest.version));
    Say(io, "Load address: " + Hex(manifest.loadAddress, 6));
    Say(io, "Size:         " + std::to_string(manifest.size) + " bytes");
    Say(io, "Checksum16:   " + Hex(manifest.checksum16, 4));
    Say(io, "SHA-256:      " + manifest.sha256);
}

// The secret key of --key, or a refusal.
std::variant<pkg::SecretKey, PackageRefusal> ReadKey(const std::string& path) {
    PackageRefusal refusal;
    const auto text = pkg::ReadSmallFile(path, kMaxKeyFileSize);
    if (!text) {
        refusal.exitCode = kExitUnreadable;
        refusal.result = "KEY_UNREADABLE";
        refusal.code = kErrorFileNotFound;
        refusal.fault = {"key", "a readable secret key", "an unreadable file",
                         "--key " + path + ": cannot be read"};
        return refusal;
    }
    auto key = pkg::ReadSecretKey(*text);
    if (auto* problem = std::get_if<std::string>(&key)) {
        refusal.exitCode = kExitUsage;
        refusal.result = "USAGE";
        refusal.code = kErrorInvalidParameter;
        refusal.fault = {"key", "an unencrypted minisign secret key", "another file",
                         "--key " + path + ": " + *problem};
        return refusal;
    }
    return std::get<pkg::SecretKey>(key);
}

// The manifest of the image, or a usage message.
std::variant<pkg::Manifest, std::string> ManifestOf(const PackageCommandOptions& options,
                                                    const FirmwareImage& image) {
    std::string problem;
    pkg::Manifest manifest;
    manifest.product = options.product;
    manifest.application.vid =
        static_cast<std::uint16_t>(HexOption(options.vid, "--vid", 0xFFFF, 0, problem));
    manifest.application.pid =
        static_cast<std::uint16_t>(HexOption(options.pid, "--pid", 0xFFFF, 0, problem));
    manifest.bootLoader.vid = static_cast<std::uint16_t>(
        HexOption(options.blVid, "--bl-vid", 0xFFFF, DFU_VENDOR_ID, problem));
    manifest.bootLoader.pid = static_cast<std::uint16_t>(
        HexOption(options.blPid, "--bl-pid", 0xFFFF, DFU_PRODUCT_ID_1, problem));
    manifest.loadAddress = HexOption(options.address, "--address", kMaxLoadAddress,
                                     image.loadAddress.value_or(0), problem);
    if (!problem.empty()) return problem;
    const auto version = pkg::ParseVersion(*options.version);
    if (!version)
        return "--image-version: '" + *options.version +
               "' is not a release number X.YY (such as 1.02)";
    manifest.version = *version;
    if (std::uint64_t{manifest.loadAddress} + image.bytes.size() >
        std::uint64_t{kMaxLoadAddress} + 1) {
        return "the image's " + std::to_string(image.bytes.size()) + " bytes at " +
               Hex(manifest.loadAddress, 6) +
               " would end past the boot loader's last address 0xFFFFFF";
    }
    manifest.hardwareRevisions = options.hardwareRevisions;
    manifest.notes = options.notes;
    return pkg::DescribeFirmware(manifest, image.bytes);
}

int WritePackageFile(PackageTaskIo& io, const std::string& path,
                     const std::vector<std::uint8_t>& bytes) {
    if (auto problem = pkg::ReplaceFile(path, bytes)) {
        return Refuse(io, kExitOutputFailed, "OUTPUT_FAILED", *problem, kErrorWriteFault);
    }
    io.report.extra["package"] = path;
    return kExitSuccess;
}

}  // namespace

int PackFirmware(const PackageCommandOptions& options, PackageTaskIo& io) {
    if (!options.key && !options.unsignedPackage) {
        return Refuse(io, kExitUsage, "USAGE", "pack: give --key SECRET_KEY or --unsigned",
                      kErrorInvalidParameter);
    }
    ImageFormat format = ImageFormat::Auto;
    if (options.format == "raw") format = ImageFormat::Raw;
    if (options.format == "hex") format = ImageFormat::IntelHex;
    auto loaded = LoadImageFile(options.input, format);
    if (auto* error = std::get_if<ImageError>(&loaded)) {
        return error->problem == ImageProblem::Unreadable
                   ? Refuse(io, kExitUnreadable, "IMAGE_UNREADABLE", error->message, error->code)
                   : Refuse(io, kExitBadImage, "BAD_IMAGE", error->message, error->code);
    }
    const FirmwareImage& image = std::get<FirmwareImage>(loaded);
    for (const std::string& warning : image.warnings)
        io.err << "tolvane: warning: " << warning << '\n';
    auto manifest = ManifestOf(options, image);
    if (auto* problem = std::get_if<std::string>(&manifest)) {
        return Refuse(io, kExitUsage, "USAGE", *problem, kErrorInvalidParameter);
    }
    const pkg::Manifest& made = std::get<pkg::Manifest>(manifest);
    const std::string text = pkg::WriteManifest(made);
    std::optional<std::string> signature;
    if (options.key) {
        auto key = ReadKey(*options.key);
        if (auto* refusal = std::get_if<PackageRefusal>(&key)) return Refuse(io, *refusal);
        auto signed_ =
            pkg::SignMessage(std::get<pkg::SecretKey>(key),
                             {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()},
                             pkg::PackageTrustedComment(made));
        if (auto* problem = std::get_if<std::string>(&signed_)) {
            return Refuse(io, kExitUsage, "USAGE", "--key " + *options.key + ": " + *problem,
                          kErrorInvalidParameter);
        }
        signature = pkg::WriteSignature(std::get<pkg::Signature>(signed_));
        io.report.extra["key_id"] = pkg::KeyIdText(std::get<pkg::Signature>(signed_).id);
    }
    if (const int code =
            WritePackageFile(io, options.output, pkg::WritePackage(text, signature, image.bytes)))
        return code;
    DescribeManifest(io, made);
    io.report.result = "PACKED";
    io.report.message =
        "Packed " + options.output +
        (signature ? ", signed by key " + io.report.extra["key_id"].get<std::string>()
                   : ", unsigned") +
        ".";
    Say(io, io.report.message);
    return FinishPackageTask(io, kExitSuccess);
}

int AttachSignature(const PackageCommandOptions& options, PackageTaskIo& io) {
    auto read = ReadPackageFile(options.input);
    if (auto* refusal = std::get_if<PackageRefusal>(&read)) return Refuse(io, *refusal);
    pkg::Package& package = std::get<pkg::Package>(read);
    const auto text = pkg::ReadSmallFile(options.signature, kMaxKeyFileSize);
    if (!text) {
        return Refuse(io, kExitUnreadable, "IMAGE_UNREADABLE",
                      "--sig " + options.signature + ": cannot be read", kErrorFileNotFound);
    }
    auto signature = pkg::ReadSignature(*text);
    if (auto* problem = std::get_if<std::string>(&signature)) {
        return Refuse(io, kExitBadImage, kBadPackageResult,
                      "--sig " + options.signature + ": " + *problem);
    }
    package.signatureText = *text;
    pkg::TrustStore trusted;
    if (auto problem = LoadTrustedKeys(options.trust, trusted)) {
        return Refuse(io, kExitUnreadable, "IMAGE_UNREADABLE", *problem, kErrorFileNotFound);
    }
    const std::string id = pkg::KeyIdText(std::get<pkg::Signature>(signature).id);
    io.report.extra["key_id"] = id;
    // A known key checks the signature before it is attached; an unknown one is left to verify.
    if (trusted.find(std::get<pkg::Signature>(signature).id)) {
        const pkg::TrustOutcome outcome = pkg::CheckTrust(package, trusted);
        if (outcome.trust != pkg::Trust::Trusted) return Refuse(io, TrustRefusal(outcome));
    } else {
        const std::string warning =
            "key " + id + " is not among the trusted keys: the signature was attached unchecked";
        io.err << "tolvane: warning: " << warning << '\n';
        io.report.warnings.push_back(warning);
    }
    const std::string output = options.output.empty() ? options.input : options.output;
    if (const int code = WritePackageFile(
            io, output,
            pkg::WritePackage(package.manifestText, package.signatureText, package.firmware)))
        return code;
    io.report.result = "SIGNED";
    io.report.message = "Signed " + output + " with key " + id + ".";
    Say(io, io.report.message);
    return FinishPackageTask(io, kExitSuccess);
}

int VerifyPackage(const PackageCommandOptions& options, PackageTaskIo& io) {
    io.report.extra["package"] = options.input;
    auto read = ReadPackageFile(options.input);
    if (auto* refusal = std::get_if<PackageRefusal>(&read)) return Refuse(io, *refusal);
    const pkg::Package& package = std::get<pkg::Package>(read);
    pkg::TrustStore trusted;
    if (auto problem = LoadTrustedKeys(options.trust, trusted)) {
        return Refuse(io, kExitUnreadable, "IMAGE_UNREADABLE", *problem, kErrorFileNotFound);
    }
    for (const std::string& warning : trusted.warnings()) {
        io.err << "tolvane: warning: " << warning << '\n';
        io.report.warnings.push_back(warning);
    }
    DescribeManifest(io, package.manifest);
    const pkg::TrustOutcome outcome = pkg::CheckTrust(package, trusted);
    io.report.extra["key_id"] = outcome.keyId ? Json(pkg::KeyIdText(*outcome.keyId)) : Json();
    io.report.extra["development_key"] = outcome.key && outcome.key->development;
    if (outcome.trust == pkg::Trust::Unsigned) {
        PackageRefusal refusal;
        refusal.exitCode = kExitSignature;
        refusal.result = kSignatureInvalidResult;
        refusal.fault = {"signature", "a signature", "none", "the package is not signed"};
        return Refuse(io, refusal);
    }
    if (outcome.trust != pkg::Trust::Trusted) return Refuse(io, TrustRefusal(outcome));
    const std::string id = pkg::KeyIdText(outcome.key->key.id);
    Say(io, "Key:          " + id + (outcome.key->development ? " (a development key)" : "") +
                ", from " + outcome.key->source);
    io.report.extra["trusted_comment"] = outcome.trustedComment;
    if (outcome.key->development) {
        const std::string warning =
            "signed by development key " + id + ": not for units that leave the bench";
        io.err << "tolvane: warning: " << warning << '\n';
        io.report.warnings.push_back(warning);
    }
    io.report.result = "VERIFIED";
    io.report.message = "The package's signature holds, by trusted key " + id + ".";
    Say(io, io.report.message);
    return FinishPackageTask(io, kExitSuccess);
}

int FinishPackageTask(PackageTaskIo& io, int exitCode) {
    io.report.exitCode = exitCode;
    if (io.json) io.out << JsonText(ToJson(io.report)) << '\n';
    io.out.flush();
    io.err.flush();
    return exitCode;
}

}  // namespace tolvane::cli
