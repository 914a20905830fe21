#include "package/crypto.h"

#include <gcrypt.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace tolvane::package {
namespace {

// libgcrypt wants its version check before any other call, once per process.
void InitialiseLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        gcry_check_version(GCRYPT_VERSION);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    });
}

template <std::size_t N>
std::array<std::uint8_t, N> Digest(int algorithm, std::span<const std::uint8_t> data) {
    InitialiseLibrary();
    std::array<std::uint8_t, N> digest{};
    gcry_md_hash_buffer(algorithm, digest.data(), data.data(), data.size());
    return digest;
}

struct SexpRelease {
    void operator()(gcry_sexp_t sexp) const noexcept { gcry_sexp_release(sexp); }
};
using Sexp = std::unique_ptr<gcry_sexp, SexpRelease>;

Sexp Build(const char* format, auto... arguments) {
    gcry_sexp_t sexp = nullptr;
    if (gcry_sexp_build(&sexp, nullptr, format, arguments...) != 0) return nullptr;
    return Sexp(sexp);
}

Sexp Data(std::span<const std::uint8_t> message) {
    return Build("(data (flags eddsa) (hash-algo sha512) (value %b))",
                 static_cast<int>(message.size()), message.data());
}

// The 32 bytes of the token `name` (r or s) of an EdDSA signature.
bool CopyPart(gcry_sexp_t signature, const char* name, std::uint8_t* out) {
    const Sexp token(gcry_sexp_find_token(signature, name, 0));
    if (!token) return false;
    std::size_t length = 0;
    const void* data = gcry_sexp_nth_data(token.get(), 1, &length);
    if (!data || length != 32) return false;
    std::copy_n(static_cast<const std::uint8_t*>(data), 32, out);
    return true;
}

}  // namespace

std::array<std::uint8_t, 32> Sha256(std::span<const std::uint8_t> data) {
    return Digest<32>(GCRY_MD_SHA256, data);
}

std::array<std::uint8_t, 32> Blake2b256(std::span<const std::uint8_t> data) {
    return Digest<32>(GCRY_MD_BLAKE2B_256, data);
}

std::array<std::uint8_t, 64> Blake2b512(std::span<const std::uint8_t> data) {
    return Digest<64>(GCRY_MD_BLAKE2B_512, data);
}

bool Ed25519Verify(const std::array<std::uint8_t, 32>& publicKey,
                   std::span<const std::uint8_t> message,
                   const std::array<std::uint8_t, 64>& signature) {
    InitialiseLibrary();
    const Sexp key =
        Build("(public-key (ecc (curve Ed25519) (flags eddsa) (q %b)))", 32, publicKey.data());
    const Sexp value =
        Build("(sig-val (eddsa (r %b) (s %b)))", 32, signature.data(), 32, signature.data() + 32);
    const Sexp data = Data(message);
    if (!key || !value || !data) return false;
    return gcry_pk_verify(value.get(), data.get(), key.get()) == 0;
}

std::optional<std::array<std::uint8_t, 64>> Ed25519Sign(const std::array<std::uint8_t, 64>& secret,
                                                        std::span<const std::uint8_t> message) {
    InitialiseLibrary();
    const Sexp key = Build("(private-key (ecc (curve Ed25519) (flags eddsa) (q %b) (d %b)))", 32,
                           secret.data() + 32, 32, secret.data());
    const Sexp data = Data(message);
    if (!key || !data) return std::nullopt;
    gcry_sexp_t made = nullptr;
    if (gcry_pk_sign(&made, data.get(), key.get()) != 0) return std::nullopt;
    const Sexp signature(made);
    std::array<std::uint8_t, 64> out{};
    if (!CopyPart(signature.get(), "r", out.data()) ||
        !CopyPart(signature.get(), "s", out.data() + 32)) {
        return std::nullopt;
    }
    return out;
}

std::string HexText(std::span<const std::uint8_t> bytes) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

}  // namespace tolvane::package
