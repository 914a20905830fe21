#include "options/distinct_files.h"

#include "output/text_format.h"
#include "system/same_file.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace tolvane::cli {
namespace {

struct NamedFile {
    std::string role;  // as the user gave it: "--record", "the image"
    std::string path;
};

void Add(std::vector<NamedFile>& files, std::string role, const std::string& path) {
    if (!path.empty()) files.push_back({std::move(role), path});
}

std::filesystem::path Utf8Path(const std::string& name) {
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

// Two outputs not made yet are one when their names resolve alike.
bool SameName(const std::string& a, const std::string& b) {
    std::error_code failedA, failedB;
    const auto first = std::filesystem::weakly_canonical(Utf8Path(a), failedA);
    const auto second = std::filesystem::weakly_canonical(Utf8Path(b), failedB);
    return !failedA && !failedB && first == second;
}

}  // namespace

std::optional<std::string> OutputOverlap(const Options& options) {
    std::vector<NamedFile> inputs;
    Add(inputs, "the image", options.imagePath);
    Add(inputs, "--replay", options.record.replayPath.value_or(""));
    Add(inputs, "--slots", options.slotsPath);
    for (const std::string& log : options.reportLogs) Add(inputs, "the log", log);
    std::vector<NamedFile> outputs;
    Add(outputs, "--record", options.record.recordPath.value_or(""));
    Add(outputs, "--log", options.logPath);
    Add(outputs, "--html", options.htmlPath);
    Add(outputs, "--out", options.slotsOut);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const NamedFile& output = outputs[i];
        std::vector<NamedFile> others = inputs;
        others.insert(others.end(), outputs.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      outputs.end());
        for (const NamedFile& other : others) {
            // Teaching slots may rewrite the slot file it started from: it is read whole first.
            if (output.role == "--out" && other.role == "--slots") continue;
            if (!SameFile(output.path, other.path) && !SameName(output.path, other.path)) continue;
            return output.role + " " + Printable(output.path) + " is the same file as " +
                   other.role + " " + Printable(other.path) + ": it would be overwritten";
        }
    }
    return std::nullopt;
}

}  // namespace tolvane::cli
