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
    // Things the user should know about how the file was read.
    std::vector<std::string> warnings;
};

enum class ImageProblem {
    Unreadable,  // the file cannot be opened or read
    Invalid,     // its content is not an image the tool can send
};

struct ImageError {
    ImageProblem problem = ImageProblem::Invalid;
    std::string message;  // names the file, and the line for a HEX file
    // The system error number of the failure: the failed call's for an unreadable file,
    // ERROR_INVALID_DATA (13) for content that is refused.
    std::uint32_t code = 0;
};

// Reads and checks the whole image before anything else happens, so that a bad file never gets as
// far as a device. Refuses an empty image and one of more than kMaxImageSize bytes, and anything
// that is not a regular file or a block device (a FIFO would block the tool for ever). A file
// that Auto takes for raw but that is mostly Intel HEX records is read as Intel HEX, with a
// warning, and refused like a .hex file when it is damaged; a raw format chosen by name sends such
// text as it is, with a warning.
std::variant<FirmwareImage, ImageError> LoadImageFile(const std::string& path, ImageFormat format);

// The format that Auto picks for `path`.
ImageFormat FormatForPath(const std::string& path);

}  // namespace tolvane::cli
