#include "package/trust_store.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tolvane::package {
namespace {

namespace fs = std::filesystem;

fs::path PathOf(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::string TextOf(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

constexpr std::size_t kMaxKeyFileSize = 4096;

}  // namespace

std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit) {
    std::error_code error;
    if (!fs::is_regular_file(PathOf(path), error)) return std::nullopt;
    std::ifstream in(PathOf(path), std::ios::binary);
    if (!in) return std::nullopt;
    std::string text;
    text.resize(limit + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit) return std::nullopt;
    return text;
}

std::optional<std::string> TrustStore::addFile(const std::string& path, bool fromFolder) {
    const auto text = ReadSmallFile(path, kMaxKeyFileSize);
    std::string problem;
    if (!text) {
        problem = path + ": cannot be read as a public key file";
    } else {
        auto key = ReadPublicKey(*text);
        if (auto* read = std::get_if<PublicKey>(&key)) {
            const bool development = path.ends_with(kDevelopmentKeySuffix);
            keys_.push_back({*read, path, development});
            return std::nullopt;
        }
        problem = path + ": " + std::get<std::string>(key);
    }
    if (!fromFolder) return problem;
    warnings_.push_back(problem + " (skipped)");
    return std::nullopt;
}

std::optional<std::string> TrustStore::add(const std::string& path) {
    std::error_code error;
    const fs::path where = PathOf(path);
    if (!fs::is_directory(where, error)) return addFile(path, false);
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(where, error)) {
        const std::string name = TextOf(entry.path());
        if (name.ends_with(".pub")) files.push_back(name);
    }
    if (error) return path + ": the folder cannot be read";
    std::ranges::sort(files);
    for (const std::string& file : files) addFile(file, true);
    return std::nullopt;
}

std::optional<std::string> TrustStore::addFolderIfPresent(const std::string& path) {
    std::error_code error;
    if (!fs::exists(PathOf(path), error)) return std::nullopt;
    return add(path);
}

const TrustedKey* TrustStore::find(const KeyId& id) const {
    const auto found =
        std::ranges::find_if(keys_, [&id](const TrustedKey& key) { return key.key.id == id; });
    return found == keys_.end() ? nullptr : &*found;
}

}  // namespace tolvane::package
