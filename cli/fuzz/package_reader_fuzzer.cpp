// libFuzzer target for what a package reader takes from a file: the zip's entries, the manifest
// and the signature text. The signature itself is not checked here (no key), only read.
#include "package/manifest.h"
#include "package/minisign_files.h"
#include "package/zip_archive.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tolvane::package;
    auto entries = ReadStoredZip({data, size});
    if (auto* read = std::get_if<std::vector<ZipEntry>>(&entries)) {
        for (const ZipEntry& entry : *read) {
            const std::string_view text(reinterpret_cast<const char*>(entry.data.data()),
                                        entry.data.size());
            (void)ReadManifest(text);
            (void)ReadSignature(text);
        }
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)ReadManifest(text);
    (void)ReadSignature(text);
    (void)ReadPublicKey(text);
    (void)ReadSecretKey(text);
    return 0;
}
