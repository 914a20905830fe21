// Reads firmware images in the Intel HEX format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tolvane::cli {

// The contiguous image that a HEX file describes: from its lowest to one past its highest data
// address, the gaps between records filled with 0xFF.
struct HexImage {
    std::vector<std::uint8_t> bytes;
    std::uint32_t lowestAddress = 0;
};

// Why a HEX file was refused: the 1-based line and what is wrong there.
struct HexError {
    std::size_t line = 0;
    std::string what;
};

// Accepts data (00), end-of-file (01), extended segment address (02) and extended linear address
// (04) records; under a segment address a record's offset wraps within its 64 KiB segment, as the
// format defines; start addresses (03, 05) are checked and ignored. Blank lines, surrounding blanks
// and CR-LF line ends are allowed. Refuses bad digits, bad record checksums and lengths, unknown
// record types, overlapping data, records after the end record, a missing end record, an image
// without data and one that spans more than kMaxImageSize bytes.
std::variant<HexImage, HexError> ReadIntelHex(std::string_view text);

}  // namespace tolvane::cli
