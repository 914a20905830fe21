// compare_recordings [--ignore FIELD]... EXPECTED ACTUAL: whether two recordings hold the same
// conversation, times and paths aside (FirstDifference), and the fields named aside. Prints the
// first difference and exits 1 when they differ, 2 on bad usage or when a file is no recording,
// 0 when they agree.
#include "recording_compare.h"
#include "replay_script.h"

#include <fstream>
#include <iostream>
#include <string_view>

namespace {

std::optional<tolvane::record::Recording> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string error = "cannot open it";
    auto recording = in ? tolvane::record::ReadRecording(in, error) : std::nullopt;
    if (!recording) std::cerr << path << ": " << error << "\n";
    return recording;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> ignored;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--ignore" && i + 1 < argc) {
            ignored.emplace_back(argv[++i]);
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (files.size() != 2) {
        std::cerr << "usage: compare_recordings [--ignore FIELD]... EXPECTED ACTUAL\n";
        return 2;
    }
    const auto expected = Read(files[0]);
    const auto actual = Read(files[1]);
    if (!expected || !actual) return 2;
    if (const auto difference = tolvane::record::FirstDifference(*expected, *actual, ignored)) {
        std::cout << files[0] << " and " << files[1] << " differ at " << *difference << "\n";
        return 1;
    }
    return 0;
}
