// Making and checking minisign signatures.
#pragma once

#include "package/minisign_files.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace tolvane::package {

// Checks what `minisign -V` checks: the key ids agree, the message's signature holds (of its
// BLAKE2b-512 for "ED", of itself for the legacy "Ed"), and so does the trusted comment's.
// None when all hold, else what did not.
std::optional<std::string> CheckSignature(const Signature& signature, const PublicKey& key,
                                          std::span<const std::uint8_t> message);

// A prehashed ("ED") signature of `message` with `trustedComment`, checked before it is returned;
// a message when the key's own check bytes or the signature do not hold.
std::variant<Signature, std::string> SignMessage(const SecretKey& key,
                                                 std::span<const std::uint8_t> message,
                                                 const std::string& trustedComment);

PublicKey PublicKeyOf(const SecretKey& key);

}  // namespace tolvane::package
