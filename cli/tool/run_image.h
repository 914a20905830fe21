// The image of a run that sends one: read (or taken from a package), checked against the boot
// loader's 24-bit addresses, and turned into the job every device is given.
#pragma once

#include "image/image_file.h"
#include "options/options.h"
#include "tool/tool_report.h"
#include "update/engine_command.h"

#include <optional>

namespace tolvane::cli {

class RunImage {
public:
    RunImage() = default;
    // The job points into the image it holds.
    RunImage(const RunImage&) = delete;
    RunImage& operator=(const RunImage&) = delete;

    // Reads and checks the image the options name; the refusal's exit code when it is refused. A
    // package also settles the options it names (its device, its version).
    std::optional<int> load(Options& options, ToolReport& tool);

    // None until an image was loaded.
    const FirmwareImage* image() const { return image_ ? &*image_ : nullptr; }
    const DownloadJob& job() const { return job_; }

private:
    std::optional<FirmwareImage> image_;
    DownloadJob job_;
};

}  // namespace tolvane::cli
