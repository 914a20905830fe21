#include "image_file.h"

#include "image_limits.h"
#include "intel_hex_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace tolvane::cli {
namespace {

// A HEX file holds a little more than twice its image in text; anything much larger than the
// largest image cannot describe an acceptable one.
constexpr std::size_t kMaxHexFileSize = 64 * 1024 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

ImageError Unreadable(const std::string& path, int error) {
    return {ImageProblem::Unreadable, path + ": cannot read the image: " + std::strerror(error)};
}

ImageError Invalid(const std::string& path, const std::string& what) {
    return {ImageProblem::Invalid, path + ": " + what};
}

// Reads at most `limit` + 1 bytes, enough to tell that a file is too large without reading it
// all.
std::variant<std::vector<std::uint8_t>, ImageError> ReadFile(const std::string& path,
                                                             std::size_t limit) {
    errno = 0;
    File file{std::fopen(path.c_str(), "rb")};
    if (!file) return Unreadable(path, errno != 0 ? errno : ENOENT);
    std::vector<std::uint8_t> content;
    std::uint8_t chunk[65536];
    while (content.size() <= limit) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        content.insert(content.end(), chunk, chunk + got);
        if (got < sizeof chunk) {
            if (std::ferror(file.get())) return Unreadable(path, errno != 0 ? errno : EIO);
            break;
        }
    }
    return content;
}

}  // namespace

ImageFormat FormatForPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return ImageFormat::Raw;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "hex" || extension == "ihex" || extension == "ihx") {
        return ImageFormat::IntelHex;
    }
    return ImageFormat::Raw;
}

std::variant<FirmwareImage, ImageError> LoadImageFile(const std::string& path, ImageFormat format) {
    if (format == ImageFormat::Auto) format = FormatForPath(path);
    const std::size_t limit = format == ImageFormat::IntelHex ? kMaxHexFileSize : kMaxImageSize;
    auto content = ReadFile(path, limit);
    if (auto* error = std::get_if<ImageError>(&content)) return *error;
    auto& bytes = std::get<std::vector<std::uint8_t>>(content);

    FirmwareImage image;
    image.format = format;
    if (format == ImageFormat::IntelHex) {
        if (bytes.size() > limit) return Invalid(path, "file too large for an Intel HEX image");
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        auto hex = ReadIntelHex(text);
        if (auto* error = std::get_if<HexError>(&hex)) {
            return Invalid(path, "line " + std::to_string(error->line) + ": " + error->what);
        }
        auto& read = std::get<HexImage>(hex);
        image.bytes = std::move(read.bytes);
        image.loadAddress = read.lowestAddress;
        return image;
    }
    if (bytes.empty()) return Invalid(path, "the image is empty");
    if (bytes.size() > kMaxImageSize) {
        return Invalid(path, "the image has 16777216 bytes or more; at most " +
                                 std::to_string(kMaxImageSize) + " fit");
    }
    image.bytes = std::move(bytes);
    return image;
}

}  // namespace tolvane::cli
