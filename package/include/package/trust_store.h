// The public keys a run trusts: files and folders named with --trust, and the system's folder.
// A key file whose name ends in ".dev.pub" is a development key: trusted, but said on every use.
#pragma once

#include "package/minisign_files.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::package {

inline constexpr std::string_view kDevelopmentKeySuffix = ".dev.pub";

struct TrustedKey {
    PublicKey key;
    std::string source;  // the file it was read from
    bool development = false;
};

class TrustStore {
public:
    // Reads a key file, or every "*.pub" of a folder (in name order). Answers a message when the
    // path cannot be read or a file named is not a public key; a folder's unreadable files are
    // skipped with a warning, so that one bad file does not disable the others.
    std::optional<std::string> add(const std::string& path);
    // As add(), but a missing folder is no fault (the system folder need not exist).
    std::optional<std::string> addFolderIfPresent(const std::string& path);

    const TrustedKey* find(const KeyId& id) const;
    const std::vector<TrustedKey>& keys() const { return keys_; }
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    std::optional<std::string> addFile(const std::string& path, bool fromFolder);

    std::vector<TrustedKey> keys_;
    std::vector<std::string> warnings_;
};

// Reads a whole file; none when it cannot be read. Refuses files over `limit` bytes.
std::optional<std::string> ReadSmallFile(const std::string& path, std::size_t limit);

}  // namespace tolvane::package
