// The package's container: a zip whose entries are all stored (not compressed), written so that
// the same entries give the same bytes (fixed times, modes and order), and read strictly.
#pragma once

#include "package/package_fault.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tolvane::package {

struct ZipEntry {
    std::string name;
    std::vector<std::uint8_t> data;
};

// Entries in the order given, each stamped 1980-01-01 00:00 with mode 0644.
std::vector<std::uint8_t> WriteStoredZip(const std::vector<ZipEntry>& entries);

// Reads every entry. Refuses (check "zip" or "entry") what is not a zip, a compressed, encrypted
// or streamed entry, a name with a path, headers that disagree, an entry whose data is larger or
// smaller than its header says (the entries and the directory must follow each other with no
// gap). The CRCs are not checked: what reads a package checks its signature and hashes instead.
std::variant<std::vector<ZipEntry>, PackageFault> ReadStoredZip(std::span<const std::uint8_t> zip);

// The zip CRC-32 of `data`.
std::uint32_t Crc32(std::span<const std::uint8_t> data) noexcept;

}  // namespace tolvane::package
