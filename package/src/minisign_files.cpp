#include "package/minisign_files.h"

#include "package/base64.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace tolvane::package {
namespace {

constexpr std::string_view kUntrusted = "untrusted comment: ";
constexpr std::string_view kTrusted = "trusted comment: ";
constexpr std::size_t kPublicKeySize = 2 + 8 + 32;
constexpr std::size_t kSecretKeySize = 2 + 2 + 2 + 32 + 8 + 8 + 8 + 64 + 32;
constexpr std::size_t kSignatureSize = 2 + 8 + 64;
// Comments are one line; minisign limits them to about 1 KiB.
constexpr std::size_t kMaxCommentSize = 1024;

// The text's lines without their ends ("\n" or "\r\n").
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

struct CommentedBytes {
    std::string comment;
    std::vector<std::uint8_t> bytes;
};

// The "untrusted comment:" line and the base64 line after it, first of the text.
std::optional<CommentedBytes> ReadCommented(const std::vector<std::string_view>& lines,
                                            std::size_t at, std::string_view prefix) {
    if (lines.size() < at + 2 || !lines[at].starts_with(prefix) ||
        lines[at].size() > kMaxCommentSize) {
        return std::nullopt;
    }
    auto bytes = Base64Decode(lines[at + 1]);
    if (!bytes) return std::nullopt;
    return CommentedBytes{std::string(lines[at].substr(prefix.size())), std::move(*bytes)};
}

template <std::size_t N>
void CopyTo(std::array<std::uint8_t, N>& out, const std::vector<std::uint8_t>& bytes,
            std::size_t at) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), N, out.begin());
}

bool OnlyEmptyAfter(const std::vector<std::string_view>& lines, std::size_t at) {
    return std::all_of(lines.begin() + static_cast<std::ptrdiff_t>(std::min(at, lines.size())),
                       lines.end(), [](std::string_view line) { return line.empty(); });
}

std::string Line(std::string_view prefix, const std::string& comment, std::string base64) {
    return std::string(prefix) + comment + "\n" + base64 + "\n";
}

}  // namespace

std::string KeyIdText(const KeyId& id) {
    std::string text;
    for (std::size_t i = id.size(); i-- > 0;) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", id[i]);
        text += digits;
    }
    return text;
}

std::variant<PublicKey, std::string> ReadPublicKey(std::string_view text) {
    const auto lines = Lines(text);
    auto read = ReadCommented(lines, 0, kUntrusted);
    if (!read || !OnlyEmptyAfter(lines, 2)) {
        return std::string("not a minisign public key (a comment line and a base64 line)");
    }
    if (read->bytes.size() != kPublicKeySize || read->bytes[0] != 'E' || read->bytes[1] != 'd') {
        return std::string("not an Ed25519 minisign public key");
    }
    PublicKey key;
    CopyTo(key.id, read->bytes, 2);
    CopyTo(key.key, read->bytes, 10);
    return key;
}

std::variant<SecretKey, std::string> ReadSecretKey(std::string_view text) {
    const auto lines = Lines(text);
    auto read = ReadCommented(lines, 0, kUntrusted);
    if (!read || !OnlyEmptyAfter(lines, 2) || read->bytes.size() != kSecretKeySize ||
        read->bytes[0] != 'E' || read->bytes[1] != 'd' || read->bytes[4] != 'B' ||
        read->bytes[5] != '2') {
        return std::string("not a minisign secret key");
    }
    if (read->bytes[2] != 0 || read->bytes[3] != 0) {
        return std::string(
            "the secret key is protected by a password, which tolvane does not read: sign the "
            "manifest with minisign itself and attach it with `tolvane sign`, or use a key made "
            "with `minisign -G -W`");
    }
    SecretKey key;
    CopyTo(key.id, read->bytes, 54);
    CopyTo(key.key, read->bytes, 62);
    CopyTo(key.check, read->bytes, 126);
    return key;
}

std::variant<Signature, std::string> ReadSignature(std::string_view text) {
    const auto lines = Lines(text);
    auto first = ReadCommented(lines, 0, kUntrusted);
    auto second = ReadCommented(lines, 2, kTrusted);
    if (!first || !second || !OnlyEmptyAfter(lines, 4)) {
        return std::string(
            "not a minisign signature (two comment lines, each followed by a base64 line)");
    }
    const auto& bytes = first->bytes;
    if (bytes.size() != kSignatureSize || bytes[0] != 'E' || (bytes[1] != 'D' && bytes[1] != 'd') ||
        second->bytes.size() != 64) {
        return std::string("not an Ed25519 minisign signature");
    }
    Signature signature;
    signature.kind = static_cast<SignatureKind>(bytes[1]);
    CopyTo(signature.id, bytes, 2);
    CopyTo(signature.signature, bytes, 10);
    signature.untrustedComment = std::move(first->comment);
    signature.trustedComment = std::move(second->comment);
    CopyTo(signature.globalSignature, second->bytes, 0);
    return signature;
}

std::string WritePublicKey(const PublicKey& key) {
    std::vector<std::uint8_t> bytes{'E', 'd'};
    bytes.insert(bytes.end(), key.id.begin(), key.id.end());
    bytes.insert(bytes.end(), key.key.begin(), key.key.end());
    return Line(kUntrusted, "minisign public key " + KeyIdText(key.id), Base64Encode(bytes));
}

std::string WriteSignature(const Signature& signature) {
    std::vector<std::uint8_t> bytes{'E', static_cast<std::uint8_t>(signature.kind)};
    bytes.insert(bytes.end(), signature.id.begin(), signature.id.end());
    bytes.insert(bytes.end(), signature.signature.begin(), signature.signature.end());
    return Line(kUntrusted, signature.untrustedComment, Base64Encode(bytes)) +
           Line(kTrusted, signature.trustedComment, Base64Encode(signature.globalSignature));
}

}  // namespace tolvane::package
