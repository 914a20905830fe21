// minisign's public key, secret key and signature files: reading and writing their text.
// Layouts (binary parts in base64 on the line after an "untrusted comment:" line):
//   public key:  "Ed" | key id (8) | Ed25519 public key (32)
//   secret key:  "Ed" | kdf "Sc" or 0 0 | "B2" | salt (32) | ops (8) | mem (8) |
//                key id (8) | Ed25519 secret key (64) | BLAKE2b-256 check (32)
//   signature:   "ED" (BLAKE2b-512 prehashed) or "Ed" (legacy) | key id (8) | signature (64),
//                then "trusted comment: …" and the signature (64) of signature | comment.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace tolvane::package {

using KeyId = std::array<std::uint8_t, 8>;

// As minisign prints it: the eight bytes read as a little-endian number, 16 upper-case digits.
std::string KeyIdText(const KeyId& id);

struct PublicKey {
    KeyId id{};
    std::array<std::uint8_t, 32> key{};
};

// An unencrypted secret key, with the check bytes it carries.
struct SecretKey {
    KeyId id{};
    std::array<std::uint8_t, 64> key{};  // Ed25519 seed (32) and public key (32)
    std::array<std::uint8_t, 32> check{};
};

enum class SignatureKind : char {
    Prehashed = 'D',  // "ED": the message's BLAKE2b-512 is signed
    Legacy = 'd',     // "Ed": the message itself is signed
};

struct Signature {
    SignatureKind kind = SignatureKind::Prehashed;
    KeyId id{};
    std::array<std::uint8_t, 64> signature{};
    std::string untrustedComment;
    std::string trustedComment;
    std::array<std::uint8_t, 64> globalSignature{};
};

// Each answers the value or a message that says what is wrong with the text.
std::variant<PublicKey, std::string> ReadPublicKey(std::string_view text);
std::variant<SecretKey, std::string> ReadSecretKey(std::string_view text);
std::variant<Signature, std::string> ReadSignature(std::string_view text);

std::string WritePublicKey(const PublicKey& key);
std::string WriteSignature(const Signature& signature);

}  // namespace tolvane::package
