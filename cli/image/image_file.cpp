#include "image/image_file.h"

#include "image/image_limits.h"
#include "image/intel_hex_reader.h"
#include "image/stable_file_read.h"
#include "output/text_format.h"
#include "sys_error.h"
#include "text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string_view>

namespace tolvane::cli {
namespace {

// A HEX file holds a little more than twice its image in text; anything much larger than the
// largest image cannot describe an acceptable one.
constexpr std::size_t kMaxHexFileSize = 64 * 1024 * 1024;

ImageError Invalid(const std::string& path, const std::string& what) {
    return {ImageProblem::Invalid, Printable(path) + ": " + what, kErrorInvalidData};
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool StartsWithByteOrderMark(std::string_view text) {
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

// Whether the text is mostly Intel HEX records (':' and hexadecimal digits), whatever else is
// wrong with it: such a file is firmware described as text, never firmware as it stands.
bool MostlyIntelHexRecords(std::string_view text) {
    if (StartsWithByteOrderMark(text)) text.remove_prefix(kByteOrderMark.size());
    std::size_t records = 0;
    std::size_t others = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())) != 0) {
            line.remove_suffix(1);
        }
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())) != 0) {
            line.remove_prefix(1);
        }
        if (line.empty()) continue;
        const bool record =
            line.size() > 1 && line.front() == ':' &&
            std::all_of(line.begin() + 1, line.end(), [](char c) { return HexDigitValue(c) >= 0; });
        ++(record ? records : others);
    }
    return records > others;
}

std::variant<FirmwareImage, ImageError> ReadHexImage(const std::string& path, std::string_view text,
                                                     FirmwareImage image) {
    if (StartsWithByteOrderMark(text)) {
        return Invalid(path, "line 1: a byte-order mark (EF BB BF) precedes the first record");
    }
    auto hex = ReadIntelHex(text);
    if (auto* error = std::get_if<HexError>(&hex)) {
        return Invalid(path, "line " + std::to_string(error->line) + ": " + error->what);
    }
    auto& read = std::get<HexImage>(hex);
    image.bytes = std::move(read.bytes);
    image.loadAddress = read.lowestAddress;
    return image;
}

}  // namespace

ImageFormat FormatForPath(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return ImageFormat::Raw;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(), AsciiLower<char>);
    if (extension == "hex" || extension == "ihex" || extension == "ihx") {
        return ImageFormat::IntelHex;
    }
    return ImageFormat::Raw;
}

std::variant<FirmwareImage, ImageError> LoadImageFile(const std::string& path, ImageFormat format) {
    const bool chosen = format != ImageFormat::Auto;
    if (!chosen) format = FormatForPath(path);
    const std::size_t limit = format == ImageFormat::IntelHex ? kMaxHexFileSize : kMaxImageSize;
    auto content = ReadStableFile(path, limit);
    if (auto* error = std::get_if<ImageError>(&content)) return *error;
    auto& bytes = std::get<std::vector<std::uint8_t>>(content);

    FirmwareImage image;
    bool detected = false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (format == ImageFormat::Raw && MostlyIntelHexRecords(text)) {
        if (chosen) {
            image.warnings.push_back(Printable(path) +
                                     " holds Intel HEX records: --format raw sends this text "
                                     "to the device as it is");
        } else {
            // Refused or read as Intel HEX, never sent as text: a damaged HEX file under another
            // name is still a damaged HEX file.
            format = ImageFormat::IntelHex;
            detected = true;
            image.warnings.push_back(Printable(path) +
                                     " has no .hex name but holds Intel HEX text: it is read as "
                                     "Intel HEX (give --format raw to send the text as it is)");
        }
    }
    image.format = format;
    if (format == ImageFormat::IntelHex) {
        if (bytes.size() > limit) return Invalid(path, "file too large for an Intel HEX image");
        auto read = ReadHexImage(path, text, std::move(image));
        if (auto* error = std::get_if<ImageError>(&read); error && detected) {
            error->message +=
                " (the file holds Intel HEX records; --format raw sends them as text)";
        }
        return read;
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
