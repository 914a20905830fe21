// What the two virtual-target programs (tolvane-uhid-target, tolvane-usb-target) share on their
// command lines: the options of the device model and of its identity, their number parsing, and
// the end of a run (the summary line and the memory file).
#pragma once

#include "device_memory.h"
#include "report_descriptor_builder.h"
#include "virtual_target.h"

#include <cstdint>
#include <string>

namespace tolvane::target {

// The options both targets take.
struct SharedTargetOptions {
    sim::VirtualTargetOptions model;
    uhid::DescriptorShape application;  // the application's reports: numbered, composite
    std::uint16_t applicationPid = sim::kVirtualTargetProductId;
    std::string serial;      // empty: each target's own default
    std::string memoryFile;  // empty: the received image is not written
};

// Their lines of the usage text, in the order both print them.
extern const char* const kSharedUsage;

// A whole unsigned number in BASE, at most the boot loader's 24 bits (DOWNLOAD_MAX_IMAGE_SIZE):
// no count, size or identifier a target takes is larger.
bool ParseNumber(const char* text, int base, std::uint32_t& value);

enum class OptionTaken { No, Yes, Bad };

// Takes argv[i] when it is a shared option, with its value (i then points at the value). No
// leaves `out` and i alone; Bad means the option's value is missing or out of range.
OptionTaken TakeSharedOption(int argc, char** argv, int& i, SharedTargetOptions& out);

// Whether --help is among the arguments.
bool WantsHelp(int argc, char** argv);

// Prints what the device received (PROGRAM: ... line) and writes the image to MEMORYFILE when
// one is given; 0, or 74 when the file cannot be written.
int ReportMemory(const char* program, const sim::DeviceMemory& memory,
                 const std::string& memoryFile);

}  // namespace tolvane::target
