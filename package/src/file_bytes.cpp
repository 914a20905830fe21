#include "package/file_bytes.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace tolvane::package {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

std::variant<std::vector<std::uint8_t>, std::string> ReadFileBytes(const std::string& path,
                                                                   std::size_t limit) {
    std::error_code error;
    const fs::path where = PathOf(path);
    if (!fs::exists(where, error)) return path + ": no such file";
    if (!fs::is_regular_file(where, error)) return path + ": not a regular file";
    const auto size = fs::file_size(where, error);
    if (error) return path + ": cannot be read (" + error.message() + ")";
    if (size > limit) return path + ": larger than " + std::to_string(limit) + " bytes";
    std::ifstream in(where, std::ios::binary);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()))) {
        return path + ": cannot be read";
    }
    return bytes;
}

std::optional<std::string> ReplaceFile(const std::string& path,
                                       std::span<const std::uint8_t> bytes) {
    const fs::path where = PathOf(path);
    fs::path partial = where;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            return path + ": cannot be written";
        }
    }
    std::error_code error;
    fs::rename(partial, where, error);
    if (error) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        return path + ": cannot be written (" + error.message() + ")";
    }
    return std::nullopt;
}

}  // namespace tolvane::package
