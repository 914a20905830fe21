#include "options/slot_names.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

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

namespace {

// A slot file is a few lines; anything far larger is not one.
constexpr std::uintmax_t kMaxSlotsFileBytes = 1024 * 1024;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

bool LooksLikePort(std::string_view text) {
    const auto dash = text.find('-');
    if (dash == std::string_view::npos || !AllDigits(text.substr(0, dash))) return false;
    std::string_view chain = text.substr(dash + 1);
    for (;;) {
        const auto dot = chain.find('.');
        if (!AllDigits(chain.substr(0, dot))) return false;
        if (dot == std::string_view::npos) return true;
        chain.remove_prefix(dot + 1);
    }
}

SlotsRead ParseSlots(std::string_view text, const std::string& fileName) {
    SlotsRead read;
    // An editor's byte-order mark is no part of the first port.
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
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
        // --port takes a port or a slot's name: a name written like a port would make it
        // ambiguous, even when no line of this file names that port.
        if (LooksLikePort(name)) {
            return fail("the name " + name + " is written like a port; give the slot a name " +
                        "that is not one");
        }
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
    SlotsRead read;
    // A directory, a device or a pipe is no slot file, and /dev/zero would never end.
    std::error_code error;
    const auto status = std::filesystem::status(PathOf(path), error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        read.error = path + ": is not a regular file";
        return read;
    }
    std::ifstream file(PathOf(path), std::ios::binary);
    if (!file) {
        read.error = path + ": cannot be read: " + std::strerror(errno);
        return read;
    }
    std::string text(kMaxSlotsFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (file.bad()) {
        read.error = path + ": cannot be read";
        return read;
    }
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxSlotsFileBytes) {
        read.error = path + ": is longer than " + std::to_string(kMaxSlotsFileBytes) +
                     " bytes; a slot file names one port a line";
        return read;
    }
    return ParseSlots(text, path);
}

std::string TaughtSlotsText(const std::vector<std::string>& ports) {
    std::string text = "# PORT NAME, one slot a line, in the order the devices were plugged in\n";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += ports[i] + " slot-" + std::to_string(i + 1) + "\n";
    }
    return text;
}

}  // namespace tolvane::cli
