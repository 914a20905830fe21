#include "package/zip_archive.h"

#include "zip_layout.h"

#include <optional>

namespace tolvane::package {
namespace {

std::uint32_t U16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return U16(bytes, at) | (U16(bytes, at + 2) << 16);
}

PackageFault ZipFault(std::string message) {
    return {"zip", "a zip of stored entries", {}, "not a package: " + std::move(message)};
}

PackageFault EntryFault(const std::string& name, std::string expected, std::string found,
                        const std::string& message) {
    return {"entry", std::move(expected), std::move(found), "entry '" + name + "': " + message};
}

// A name is one file name: no folder, no drive, nothing a reader could take for a path.
bool IsPlainName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20) return false;
    }
    return true;
}

struct Central {
    std::string name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressed = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

struct Directory {
    std::size_t start = 0;
    std::size_t count = 0;
};

std::variant<Directory, PackageFault> FindDirectory(std::span<const std::uint8_t> zip) {
    if (zip.size() < zip::kEndSize || U32(zip, 0) != zip::kLocalSignature) {
        return ZipFault("it does not start with a zip entry");
    }
    // The end record closes the file: a package has no archive comment.
    const std::size_t end = zip.size() - zip::kEndSize;
    if (U32(zip, end) != zip::kEndSignature || U16(zip, end + 20) != 0) {
        return ZipFault("it does not end with a zip directory (cut short, or a comment follows)");
    }
    const std::uint32_t count = U16(zip, end + 10);
    if (U16(zip, end + 4) != 0 || U16(zip, end + 6) != 0 || U16(zip, end + 8) != count) {
        return ZipFault("a zip split over several disks");
    }
    const std::uint64_t size = U32(zip, end + 12), start = U32(zip, end + 16);
    if (start + size != end) {
        return ZipFault("its directory does not end where the end record begins");
    }
    if (count == 0 || count > zip::kMaxEntries) {
        return ZipFault("it holds " + std::to_string(count) + " entries");
    }
    return Directory{static_cast<std::size_t>(start), count};
}

// The directory's entries, from `at` to the end record.
std::variant<std::vector<Central>, PackageFault> ReadDirectory(std::span<const std::uint8_t> zip,
                                                               const Directory& directory) {
    const std::size_t end = zip.size() - zip::kEndSize;
    std::vector<Central> entries;
    std::size_t at = directory.start;
    for (std::size_t i = 0; i < directory.count; ++i) {
        if (at + zip::kCentralSize > end || U32(zip, at) != zip::kCentralSignature) {
            return ZipFault("directory entry " + std::to_string(i + 1) + " is damaged");
        }
        const std::size_t nameLength = U16(zip, at + 28);
        const std::size_t extra = U16(zip, at + 30) + std::size_t{U16(zip, at + 32)};
        if (at + zip::kCentralSize + nameLength + extra > end) {
            return ZipFault("directory entry " + std::to_string(i + 1) + " runs past its end");
        }
        Central entry;
        const auto* name = zip.data() + at + zip::kCentralSize;
        entry.name.assign(name, name + nameLength);
        entry.flags = static_cast<std::uint16_t>(U16(zip, at + 8));
        entry.method = static_cast<std::uint16_t>(U16(zip, at + 10));
        entry.crc = U32(zip, at + 16);
        entry.compressed = U32(zip, at + 20);
        entry.size = U32(zip, at + 24);
        entry.offset = U32(zip, at + 42);
        entries.push_back(std::move(entry));
        at += zip::kCentralSize + nameLength + extra;
    }
    if (at != end) return ZipFault("its directory holds more than its entries");
    return entries;
}

std::optional<PackageFault> CheckCentral(const Central& entry) {
    if (!IsPlainName(entry.name)) {
        return EntryFault(entry.name, "a file name", "a name with a path",
                          "the name holds a path; a package's entries are plain names");
    }
    if (entry.flags & (zip::kFlagEncrypted | zip::kFlagDataDescriptor)) {
        return EntryFault(entry.name, "plain stored data", "an encrypted or streamed entry",
                          "encrypted or streamed (sizes after the data)");
    }
    if (entry.method != 0) {
        return EntryFault(entry.name, "stored (method 0)",
                          "compressed (method " + std::to_string(entry.method) + ")",
                          "a compressed entry; a package's entries are stored");
    }
    if (entry.compressed != entry.size) {
        return EntryFault(entry.name, std::to_string(entry.size) + " bytes",
                          std::to_string(entry.compressed) + " bytes",
                          "its stored size differs from its size");
    }
    return std::nullopt;
}

// Checks the entry's local header against the directory and returns where its data ends.
std::variant<std::size_t, PackageFault> CheckLocal(std::span<const std::uint8_t> zip,
                                                   const Central& entry, std::size_t at,
                                                   std::size_t limit) {
    if (entry.offset != at || at + zip::kLocalSize > limit ||
        U32(zip, at) != zip::kLocalSignature) {
        return EntryFault(entry.name, "its header at " + std::to_string(at),
                          "the directory says " + std::to_string(entry.offset),
                          "the entry before it is larger or smaller than its header says");
    }
    const std::size_t nameLength = U16(zip, at + 26), extra = U16(zip, at + 28);
    const std::size_t data = at + zip::kLocalSize + nameLength + extra;
    if (data > limit ||
        std::string(zip.begin() + static_cast<std::ptrdiff_t>(at + zip::kLocalSize),
                    zip.begin() + static_cast<std::ptrdiff_t>(at + zip::kLocalSize + nameLength)) !=
            entry.name) {
        return EntryFault(entry.name, entry.name, "another name in its header",
                          "its header and the directory name it differently");
    }
    if (U16(zip, at + 6) != entry.flags || U16(zip, at + 8) != entry.method ||
        U32(zip, at + 14) != entry.crc || U32(zip, at + 18) != entry.compressed ||
        U32(zip, at + 22) != entry.size) {
        return EntryFault(entry.name, "the directory's sizes and CRC", "others in its header",
                          "its header and the directory disagree");
    }
    if (data + entry.size > limit) {
        return EntryFault(entry.name, std::to_string(entry.size) + " bytes",
                          "more than the file holds", "its data runs past the end of the zip");
    }
    return data + entry.size;
}

}  // namespace

std::variant<std::vector<ZipEntry>, PackageFault> ReadStoredZip(std::span<const std::uint8_t> zip) {
    auto directory = FindDirectory(zip);
    if (auto* fault = std::get_if<PackageFault>(&directory)) return std::move(*fault);
    const Directory found = std::get<Directory>(directory);
    auto central = ReadDirectory(zip, found);
    if (auto* fault = std::get_if<PackageFault>(&central)) return std::move(*fault);

    std::vector<ZipEntry> entries;
    std::size_t at = 0;
    for (const Central& entry : std::get<std::vector<Central>>(central)) {
        if (auto fault = CheckCentral(entry)) return std::move(*fault);
        auto end = CheckLocal(zip, entry, at, found.start);
        if (auto* fault = std::get_if<PackageFault>(&end)) return std::move(*fault);
        const std::size_t dataEnd = std::get<std::size_t>(end);
        // The CRC is not checked: the signature and the manifest's SHA-256 judge the bytes, so
        // that an altered entry is told as such rather than as a damaged zip.
        const auto data = zip.subspan(dataEnd - entry.size, entry.size);
        entries.push_back({entry.name, {data.begin(), data.end()}});
        at = dataEnd;
    }
    if (at != found.start) {
        return EntryFault(entries.back().name, "the directory at " + std::to_string(at),
                          "the directory at " + std::to_string(found.start),
                          "the entry is larger or smaller than its header says");
    }
    return entries;
}

}  // namespace tolvane::package
