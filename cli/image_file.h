// Loading a firmware image file: raw binary or Intel HEX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tolvane::cli {

enum class ImageFormat {
    Auto,  // Intel HEX for .hex, .ihex, .ihx; raw binary otherwise
    Raw,
    IntelHex,
};

struct FirmwareImage {
    std::vector<std::uint8_t> bytes;
    // The load address the file itself names (the lowest address of a HEX file).
    std::optional<std::uint32_t> loadAddress;
    ImageFormat format = ImageFormat::Raw;
};

enum class ImageProblem {
    Unreadable,  // the file cannot be opened or read
    Invalid,     // its content is not an image the tool can send
};

struct ImageError {
    ImageProblem problem = ImageProblem::Invalid;
    std::string message;  // names the file, and the line for a HEX file
};

// Reads and checks the whole image before anything else happens, so that a bad file never gets as
// far as a device. Refuses an empty image and one of more than kMaxImageSize bytes.
std::variant<FirmwareImage, ImageError> LoadImageFile(const std::string& path, ImageFormat format);

// The format that Auto picks for `path`.
ImageFormat FormatForPath(const std::string& path);

}  // namespace tolvane::cli
