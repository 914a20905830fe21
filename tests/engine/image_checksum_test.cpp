// The checksum the program computes over its image copy at start-up.
#include "dfu_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

namespace {

using tolvane::ImageChecksum;

std::uint32_t PlainSum(const std::vector<std::uint8_t>& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), std::uint32_t{0});
}

TEST(ImageChecksum, ShippedOneByteImage) {
    const std::uint8_t image[] = {0x00};
    EXPECT_EQ(ImageChecksum(image, 1), 0u);
}

TEST(ImageChecksum, ThreeLetters) {
    const std::uint8_t abc[] = {0x61, 0x62, 0x63};
    EXPECT_EQ(ImageChecksum(abc, 3), 294u);
}

TEST(ImageChecksum, WrapsModulo2To32) {
    // 16,843,010 x 255 = 4,294,967,550 = 2^32 + 254.
    const std::vector<std::uint8_t> image(16'843'010, 0xFF);
    EXPECT_EQ(ImageChecksum(image.data(), image.size()), 254u);
    // One byte less is the largest sum that does not wrap.
    EXPECT_EQ(ImageChecksum(image.data(), image.size() - 1), 0xFFFFFFFFu);
}

TEST(ImageChecksum, LengthsAroundTheEightByteGroups) {
    // Distinct byte values, so a byte skipped or counted twice changes the sum.
    for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1023u, 1025u, 4097u}) {
        SCOPED_TRACE(length);
        std::vector<std::uint8_t> image(length);
        for (std::size_t i = 0; i < length; ++i) {
            image[i] = static_cast<std::uint8_t>(i * 37 + 11);
        }
        EXPECT_EQ(ImageChecksum(image.data(), length), PlainSum(image));
    }
}

TEST(ImageChecksum, UnalignedStart) {
    std::vector<std::uint8_t> storage(40);
    for (std::size_t i = 0; i < storage.size(); ++i) storage[i] = static_cast<std::uint8_t>(i + 1);
    const std::vector<std::uint8_t> tail(storage.begin() + 3, storage.end());
    EXPECT_EQ(ImageChecksum(storage.data() + 3, tail.size()), PlainSum(tail));
}

}  // namespace
