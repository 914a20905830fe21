// A directory of its own for each test, removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace tolvane::test {

class TempDir {
public:
    TempDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tolvane-test-" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string write(const std::string& name, const std::string& content) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary) << content;
        return file.string();
    }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& content) const {
        return write(name, std::string(content.begin(), content.end()));
    }
    std::string path(const std::string& name) const { return (path_ / name).string(); }
    std::string root() const { return path_.string(); }

private:
    std::filesystem::path path_;
};

}  // namespace tolvane::test
