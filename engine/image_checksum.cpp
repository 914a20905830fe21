#include "dfu_engine.h"

#include <algorithm>
#include <cstring>

namespace tolvane {

namespace {

// Adds the eight bytes of `word` into four 16-bit lanes.
constexpr std::uint64_t kLowBytes = 0x00FF00FF00FF00FFULL;

std::uint32_t FoldLanes(std::uint64_t lanes) {
    return static_cast<std::uint32_t>((lanes & 0xFFFF) + ((lanes >> 16) & 0xFFFF) +
                                      ((lanes >> 32) & 0xFFFF) + (lanes >> 48));
}

}  // namespace

// Eight bytes at a time into 16-bit lanes (each lane takes at most 2 x 255 per word, so 128 words
// fit before a fold), then byte by byte for the rest. The result is the plain byte sum mod 2^32.
std::uint32_t ImageChecksum(const std::uint8_t* image, std::size_t size) noexcept {
    constexpr std::size_t kWordsPerBlock = 128;
    std::uint32_t sum = 0;
    std::size_t offset = 0;
    while (size - offset >= 8) {
        const std::size_t words = std::min(kWordsPerBlock, (size - offset) / 8);
        std::uint64_t lanes = 0;
        for (std::size_t i = 0; i < words; ++i) {
            std::uint64_t word = 0;
            std::memcpy(&word, image + offset + i * 8, 8);
            lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
        }
        sum += FoldLanes(lanes);
        offset += words * 8;
    }
    for (; offset < size; ++offset) {
        sum += image[offset];
    }
    return sum;
}

}  // namespace tolvane
