#include "package/signature_check.h"

#include "package/crypto.h"

#include <algorithm>
#include <vector>

namespace tolvane::package {
namespace {

std::vector<std::uint8_t> SignedMessage(SignatureKind kind, std::span<const std::uint8_t> message) {
    if (kind == SignatureKind::Legacy) return {message.begin(), message.end()};
    const auto hash = Blake2b512(message);
    return {hash.begin(), hash.end()};
}

// What the global signature covers: the signature, then the trusted comment.
std::vector<std::uint8_t> GlobalMessage(const Signature& signature) {
    std::vector<std::uint8_t> bytes(signature.signature.begin(), signature.signature.end());
    bytes.insert(bytes.end(), signature.trustedComment.begin(), signature.trustedComment.end());
    return bytes;
}

}  // namespace

std::optional<std::string> CheckSignature(const Signature& signature, const PublicKey& key,
                                          std::span<const std::uint8_t> message) {
    if (signature.id != key.id) {
        return "the signature is by key " + KeyIdText(signature.id) + ", not by key " +
               KeyIdText(key.id);
    }
    if (!Ed25519Verify(key.key, SignedMessage(signature.kind, message), signature.signature)) {
        return "the signature does not match the signed file";
    }
    if (!Ed25519Verify(key.key, GlobalMessage(signature), signature.globalSignature)) {
        return "the signature of the trusted comment does not hold";
    }
    return std::nullopt;
}

PublicKey PublicKeyOf(const SecretKey& key) {
    PublicKey out;
    out.id = key.id;
    std::copy_n(key.key.begin() + 32, 32, out.key.begin());
    return out;
}

std::variant<Signature, std::string> SignMessage(const SecretKey& key,
                                                 std::span<const std::uint8_t> message,
                                                 const std::string& trustedComment) {
    std::vector<std::uint8_t> checked{'E', 'd'};
    checked.insert(checked.end(), key.id.begin(), key.id.end());
    checked.insert(checked.end(), key.key.begin(), key.key.end());
    // minisign leaves the check bytes zero in a key it does not encrypt.
    const bool hasCheck = std::ranges::any_of(key.check, [](std::uint8_t b) { return b != 0; });
    if (hasCheck && Blake2b256(checked) != key.check) {
        return std::string("the secret key is damaged (its check bytes do not match)");
    }
    Signature signature;
    signature.kind = SignatureKind::Prehashed;
    signature.id = key.id;
    signature.untrustedComment = "signature from tolvane secret key";
    signature.trustedComment = trustedComment;
    auto made = Ed25519Sign(key.key, SignedMessage(signature.kind, message));
    if (!made) return std::string("the secret key was refused by the signature library");
    signature.signature = *made;
    auto global = Ed25519Sign(key.key, GlobalMessage(signature));
    if (!global) return std::string("the secret key was refused by the signature library");
    signature.globalSignature = *global;
    if (auto failure = CheckSignature(signature, PublicKeyOf(key), message)) {
        return "the secret key does not make valid signatures: " + *failure;
    }
    return signature;
}

}  // namespace tolvane::package
