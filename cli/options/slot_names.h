// The names a production line gives its ports (--slots FILE): one "PORT NAME" per line, "#"
// starting a comment, so that every output can say "slot-3" where the bus says "1-1.4.2".
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::cli {

struct SlotNames {
    std::map<std::string, std::string> byPort;

    // The name of the slot at `port`; empty when it has none.
    std::string nameOf(const std::string& port) const;
    // The port of the slot named `name`.
    std::optional<std::string> portNamed(const std::string& name) const;
    bool empty() const { return byPort.empty(); }
};

struct SlotsRead {
    std::optional<SlotNames> names;
    std::string error;  // "FILE:LINE: what is wrong", when names is none
};

// A port as Linux names it: the bus number, a dash, the port chain ("1-1.4.2"). Ports of other
// systems hold a '#', which a slot file cannot carry in a name.
bool LooksLikePort(std::string_view text);

// Checks every line: two words each, no port and no name twice, no name written like a port. A
// leading UTF-8 byte-order mark is skipped.
SlotsRead ParseSlots(std::string_view text, const std::string& fileName);
// Only a regular file of at most 1 MiB is read.
SlotsRead ReadSlotsFile(const std::string& path);

// The file that `slots teach` writes: "PORT slot-1" ... in the order given.
std::string TaughtSlotsText(const std::vector<std::string>& ports);

}  // namespace tolvane::cli
