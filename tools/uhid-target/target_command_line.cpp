#include "target_command_line.h"

#include "dfu_constants.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string_view>

namespace tolvane::target {

const char* const kSharedUsage =
    R"(  --serial TEXT           the serial number
  --report-length N       every report's length, report ID byte included (default 65)
  --application-pid HEX   the application's product (default 0326)
  --boot-loader-pid HEX   030B (default) or 0332
  --starts-in-boot-loader
  --reenumeration-ms N    pause between leaving and coming back (default 1500)
  --numbered-reports      the application numbers its reports (feature 0x40, output 0x0C,
                          input 0x02) and acknowledges any other report without acting
  --composite             the application has a keyboard collection beside its own (numbered)
  --never-enters          the application leaves on a reset and never comes back
  --unplug-at K           the device vanishes at the K-th data report
  --wrong-checksum        the boot loader answers a wrong checksum
  --memory-file FILE      on exit, write the image bytes the boot loader received
)";

bool ParseNumber(const char* text, int base, std::uint32_t& value) {
    if (text == nullptr || *text == '\0' || *text == '-' || *text == '+') return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long parsed = std::strtoul(text, &end, base);
    if (errno != 0 || *end != '\0' || parsed > DOWNLOAD_MAX_IMAGE_SIZE) return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

OptionTaken TakeSharedOption(int argc, char** argv, int& i, SharedTargetOptions& out) {
    const std::string_view arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const bool hasText = value != nullptr && *value != '\0';
    std::uint32_t n = 0;
    // The option's number, checked by `fits`; i moves onto the value only when it is good.
    auto number = [&](int base, auto fits) {
        if (!ParseNumber(value, base, n) || !fits(n)) return OptionTaken::Bad;
        ++i;
        return OptionTaken::Yes;
    };
    auto flag = [](bool& field) {
        field = true;
        return OptionTaken::Yes;
    };
    auto text = [&](std::string& field) {
        if (!hasText) return OptionTaken::Bad;
        field = argv[++i];
        return OptionTaken::Yes;
    };
    OptionTaken taken = OptionTaken::No;
    if (arg == "--serial") return text(out.serial);
    if (arg == "--memory-file") return text(out.memoryFile);
    if (arg == "--report-length") {
        taken = number(10, [](std::uint32_t v) { return v >= 2 && v <= 4096; });
        if (taken == OptionTaken::Yes) out.model.reportLength = static_cast<std::uint16_t>(n);
    } else if (arg == "--application-pid") {
        taken = number(16, [](std::uint32_t v) { return v > 0 && v <= 0xFFFF; });
        if (taken == OptionTaken::Yes) out.applicationPid = static_cast<std::uint16_t>(n);
    } else if (arg == "--boot-loader-pid") {
        taken = number(16, [](std::uint32_t v) { return v == 0x030B || v == 0x0332; });
        if (taken == OptionTaken::Yes) {
            out.model.bootLoaderProductId = static_cast<std::uint16_t>(n);
        }
    } else if (arg == "--reenumeration-ms") {
        taken = number(10, [](std::uint32_t) { return true; });
        if (taken == OptionTaken::Yes) out.model.reenumerationMs = n;
    } else if (arg == "--unplug-at") {
        taken = number(10, [](std::uint32_t v) { return v > 0; });
        if (taken == OptionTaken::Yes) out.model.unplugAtDataReport = n;
    } else if (arg == "--starts-in-boot-loader") {
        taken = flag(out.model.startsInBootLoader);
    } else if (arg == "--never-enters") {
        taken = flag(out.model.neverEntersBootLoader);
    } else if (arg == "--wrong-checksum") {
        taken = flag(out.model.wrongChecksum);
    } else if (arg == "--numbered-reports") {
        taken = flag(out.application.numbered);
    } else if (arg == "--composite") {
        taken = flag(out.application.composite);
    }
    return taken;
}

bool WantsHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) return true;
    }
    return false;
}

int ReportMemory(const char* program, const sim::DeviceMemory& memory,
                 const std::string& memoryFile) {
    std::fprintf(stderr,
                 "%s: %zu bytes received at 0x%06X, checksum 0x%04X, %u entries to the boot "
                 "loader, %u to the application\n",
                 program, memory.image.size(), static_cast<unsigned>(memory.loadAddress),
                 static_cast<unsigned>(memory.checksum),
                 static_cast<unsigned>(memory.entriesToBootLoader),
                 static_cast<unsigned>(memory.entriesToApplication));
    if (memoryFile.empty()) return 0;
    std::ofstream file(memoryFile, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(memory.image.data()),
               static_cast<std::streamsize>(memory.image.size()));
    if (!file) {
        std::fprintf(stderr, "%s: cannot write %s\n", program, memoryFile.c_str());
        return 74;
    }
    return 0;
}

}  // namespace tolvane::target
