// libFuzzer target for the Intel HEX reader: any input either yields an image that keeps the
// reader's promises or a refusal with a line inside the input; nothing else may happen.
#include "image/image_limits.h"
#include "image/intel_hex_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto result = tolvane::cli::ReadIntelHex(text);
    if (const auto* image = std::get_if<tolvane::cli::HexImage>(&result)) {
        const std::size_t length = image->bytes.size();
        if (length == 0 || length > tolvane::cli::kMaxImageSize) __builtin_trap();
        if (std::uint64_t{image->lowestAddress} + length > 0x100000000) __builtin_trap();
        // Every byte came from the text: an image can hold no more data than the digits in it,
        // apart from the 0xFF filling its gaps.
        const auto filled = static_cast<std::size_t>(
            std::count(image->bytes.begin(), image->bytes.end(), std::uint8_t{0xFF}));
        if (length - filled > size / 2) __builtin_trap();
    } else {
        const auto& error = std::get<tolvane::cli::HexError>(result);
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        if (error.line == 0 || error.line > lines + 1 || error.what.empty()) __builtin_trap();
    }
    return 0;
}
