// update, station and --all given a package: reads it and checks, before anything is sent to any
// device, its signature against the trusted keys and the ids and values the command line gives
// against its manifest; then stands in for the image and the values the manifest fixes.
#pragma once

#include "image/image_file.h"
#include "options/options.h"
#include "packages/package_refusal.h"

#include <variant>

namespace tolvane::cli {

// A file named *.tvpkg, or one whose content starts as a zip's, unless --format raw was given.
bool ReadsAsPackage(const Options& options);

// The firmware of the package, its warnings (a development key, an unsigned package) among the
// image's. Fills in options' ids, address, image version and package version from the manifest.
std::variant<FirmwareImage, PackageRefusal> LoadPackageImage(Options& options);

// --require-signed given a raw image.
PackageRefusal UnsignedImageRefusal(const Options& options);

}  // namespace tolvane::cli
