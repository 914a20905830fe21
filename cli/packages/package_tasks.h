// The work of pack, sign and verify once their command line is read.
#pragma once

#include "output/run_report.h"
#include "packages/package_command_line.h"

#include <ostream>

namespace tolvane::cli {

struct PackageTaskIo {
    std::ostream& out;
    std::ostream& err;
    RunReport& report;
    bool json = false;
    bool quiet = false;
};

int PackFirmware(const PackageCommandOptions& options, PackageTaskIo& io);
int AttachSignature(const PackageCommandOptions& options, PackageTaskIo& io);
int VerifyPackage(const PackageCommandOptions& options, PackageTaskIo& io);

// Prints the JSON object when asked and returns the exit code.
int FinishPackageTask(PackageTaskIo& io, int exitCode);

}  // namespace tolvane::cli
