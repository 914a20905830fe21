#include "slot_names.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tolvane::cli {

std::string SlotNames::nameOf(const std::string& port) const {
    const auto found = byPort.find(port);
    return found == byPort.end() ? std::string() : found->second;
}

std::optional<std::string> SlotNames::portNamed(const std::string& name) const {
    for (const auto& [port, slot] : byPort) {
        if (slot == name) return port;
    }
    return std::nullopt;
}

SlotsRead ParseSlots(std::string_view text, const std::string& fileName) {
    SlotsRead read;
    SlotNames names;
    std::map<std::string, std::size_t> portLines, nameLines;
    std::istringstream lines{std::string(text)};
    std::size_t number = 0;
    const auto fail = [&](const std::string& what) {
        read.error = fileName + ":" + std::to_string(number) + ": " + what;
        return read;
    };
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string port, name, more;
        if (!(words >> port)) continue;
        if (!(words >> name)) return fail("'" + port + "' has no name: give PORT NAME");
        if (words >> more) return fail("'" + more + "' after the name: give PORT NAME");
        if (const auto seen = portLines.find(port); seen != portLines.end()) {
            return fail("port " + port + " is named on line " + std::to_string(seen->second) +
                        " already");
        }
        if (const auto seen = nameLines.find(name); seen != nameLines.end()) {
            return fail("the name " + name + " is given on line " + std::to_string(seen->second) +
                        " already");
        }
        portLines[port] = number;
        nameLines[name] = number;
        names.byPort[port] = name;
    }
    // A name that is another slot's port would make --port ambiguous.
    for (const auto& [port, name] : names.byPort) {
        if (name != port && names.byPort.contains(name)) {
            number = nameLines[name];
            return fail("the name " + name + " is the port of line " +
                        std::to_string(portLines[name]));
        }
    }
    read.names = std::move(names);
    return read;
}

SlotsRead ReadSlotsFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        SlotsRead read;
        read.error = path + ": cannot be read: " + std::strerror(errno);
        return read;
    }
    std::ostringstream text;
    text << file.rdbuf();
    return ParseSlots(text.str(), path);
}

std::string TaughtSlotsText(const std::vector<std::string>& ports) {
    std::string text = "# PORT NAME, one slot a line, in the order the devices were plugged in\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += ports[i] + " slot-" + std::to_string(i + 1) + "\n";
    }
    return text;
}

}  // namespace tolvane::cli
