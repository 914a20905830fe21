// The hashes and Ed25519 of a package, all from libgcrypt.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tolvane::package {

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> data);
std::array<std::uint8_t, 32> Blake2b256(std::span<const std::uint8_t> data);
std::array<std::uint8_t, 64> Blake2b512(std::span<const std::uint8_t> data);

// Whether `signature` is `publicKey`'s Ed25519 signature of `message`.
bool Ed25519Verify(const std::array<std::uint8_t, 32>& publicKey,
                   std::span<const std::uint8_t> message,
                   const std::array<std::uint8_t, 64>& signature);

// The Ed25519 signature of `message` by the key whose 64 bytes are seed and public key; none
// when the library refuses the key.
std::optional<std::array<std::uint8_t, 64>> Ed25519Sign(const std::array<std::uint8_t, 64>& secret,
                                                        std::span<const std::uint8_t> message);

// Lower-case hexadecimal digits.
std::string HexText(std::span<const std::uint8_t> bytes);

}  // namespace tolvane::package
