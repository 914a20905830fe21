#include "tool/run_image.h"

#include "dfu_engine.h"
#include "image/image_limits.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "packages/package_image.h"
#include "packages/package_refusal.h"
#include "update/update_verdict.h"

#include <variant>

namespace tolvane::cli {
namespace {

constexpr std::uint64_t kAddressSpaceEnd = std::uint64_t{kMaxLoadAddress} + 1;

}  // namespace

std::optional<int> RunImage::load(Options& options, ToolReport& tool) {
    RunReport& report = tool.report();
    report.extra["image"] = options.imagePath;
    std::variant<FirmwareImage, ImageError> loaded;
    std::optional<PackageRefusal> refusal;
    if (ReadsAsPackage(options)) {
        auto package = LoadPackageImage(options);
        if (auto* image = std::get_if<FirmwareImage>(&package))
            loaded = std::move(*image);
        else
            refusal = std::get<PackageRefusal>(package);
    } else if (options.package.requireSigned) {
        refusal = UnsignedImageRefusal(options);
    } else {
        loaded = LoadImageFile(options.imagePath, options.imageFormat);
    }
    if (refusal) {
        AddRefusalFields(report.extra, *refusal);
        if (refusal->exitCode == kExitUsage) return tool.usageError(refusal->fault.message);
        return tool.refuse(refusal->exitCode, refusal->result, refusal->code,
                           refusal->fault.message);
    }
    if (auto* error = std::get_if<ImageError>(&loaded)) {
        if (error->problem == ImageProblem::Unreadable) {
            return tool.refuse(kExitUnreadable, "IMAGE_UNREADABLE", error->code, error->message);
        }
        return tool.refuse(kExitBadImage, "BAD_IMAGE", error->code, error->message);
    }
    image_ = std::move(std::get<FirmwareImage>(loaded));
    for (const std::string& warning : image_->warnings) {
        tool.err() << "tolvane: warning: " << warning << '\n';
        report.warnings.push_back(warning);
    }
    const std::uint64_t size = image_->bytes.size();
    if (!options.address && image_->loadAddress && *image_->loadAddress > kMaxLoadAddress) {
        return tool.refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                           options.imagePath + ": the lowest address " +
                               Hex(*image_->loadAddress, 8) +
                               " does not fit in the boot loader's 24 bits; give --address");
    }
    job_.image = &*image_;
    job_.address = options.address.value_or(image_->loadAddress.value_or(0));
    // The boot loader counts addresses in 24 bits: an image that ends past them would be
    // written over its own start.
    if (job_.address + size > kAddressSpaceEnd) {
        const std::string where = Hex(job_.address, 6) + " to " + Hex(job_.address + size - 1, 6) +
                                  ", past the boot loader's last address 0xFFFFFF";
        if (options.address) {
            return tool.usageError("--address " + Hex(job_.address, 6) + ": the image's " +
                                   std::to_string(size) + " bytes would take " + where);
        }
        return tool.refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                           options.imagePath + ": the image takes " + where);
    }
    job_.checksum =
        options.checksum.value_or(ImageChecksum(image_->bytes.data(), image_->bytes.size()));
    report.bytesTotal = size;
    SetImageIdentity(job_, report.extra);
    report.expectedChecksum = static_cast<std::uint16_t>(job_.checksum & 0xFFFF);
    return std::nullopt;
}

}  // namespace tolvane::cli
