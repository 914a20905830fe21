// The station's --log file: opened for appending, and each finished device's line written with a
// single write and then forced to the disk, so that a line once reported as written survives a
// power loss, and a line that could not be written is known at once.
#pragma once

#include <memory>
#include <string>

namespace tolvane::cli {

class StationLogFile {
public:
    // Opens (creating it when missing) `path` for appending; null with what the system said.
    static std::unique_ptr<StationLogFile> open(const std::string& path, int& error,
                                                std::string& reason);
    // Owns `fd`, open for appending to `path`.
    StationLogFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~StationLogFile();
    StationLogFile(const StationLogFile&) = delete;
    StationLogFile& operator=(const StationLogFile&) = delete;

    // Appends `line` and a line end in one write, then syncs the file's data. Empty when the
    // line is on the disk, else what went wrong.
    std::string append(const std::string& line);

    const std::string& path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

}  // namespace tolvane::cli
