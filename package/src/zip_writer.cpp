#include "package/zip_archive.h"

#include "zip_layout.h"

namespace tolvane::package {
namespace {

class LittleEndian {
public:
    explicit LittleEndian(std::vector<std::uint8_t>& out) : out_(out) {}
    void u16(std::uint32_t value) {
        for (int i = 0; i < 2; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void u32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void bytes(const std::string& text) { out_.insert(out_.end(), text.begin(), text.end()); }

private:
    std::vector<std::uint8_t>& out_;
};

// The fields the local header and the central directory share, from "version needed" to the
// name's length.
void CommonFields(LittleEndian& out, const ZipEntry& entry, std::uint32_t crc) {
    const auto size = static_cast<std::uint32_t>(entry.data.size());
    out.u16(zip::kVersionNeeded);
    out.u16(0);  // flags
    out.u16(0);  // stored
    out.u16(zip::kDosTime);
    out.u16(zip::kDosDate);
    out.u32(crc);
    out.u32(size);
    out.u32(size);
    out.u16(static_cast<std::uint32_t>(entry.name.size()));
    out.u16(0);  // no extra field
}

}  // namespace

std::vector<std::uint8_t> WriteStoredZip(const std::vector<ZipEntry>& entries) {
    std::vector<std::uint8_t> zip;
    LittleEndian out(zip);
    std::vector<std::uint32_t> offsets, crcs;
    for (const ZipEntry& entry : entries) {
        offsets.push_back(static_cast<std::uint32_t>(zip.size()));
        crcs.push_back(Crc32(entry.data));
        out.u32(zip::kLocalSignature);
        CommonFields(out, entry, crcs.back());
        out.bytes(entry.name);
        zip.insert(zip.end(), entry.data.begin(), entry.data.end());
    }
    const auto directory = static_cast<std::uint32_t>(zip.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.u32(zip::kCentralSignature);
        out.u16(zip::kVersionMadeBy);
        CommonFields(out, entries[i], crcs[i]);
        out.u16(0);  // comment length
        out.u16(0);  // disk
        out.u16(0);  // internal attributes
        out.u32(zip::kModeAttributes);
        out.u32(offsets[i]);
        out.bytes(entries[i].name);
    }
    const auto directorySize = static_cast<std::uint32_t>(zip.size()) - directory;
    out.u32(zip::kEndSignature);
    out.u16(0);
    out.u16(0);
    out.u16(static_cast<std::uint32_t>(entries.size()));
    out.u16(static_cast<std::uint32_t>(entries.size()));
    out.u32(directorySize);
    out.u32(directory);
    out.u16(0);  // comment length
    return zip;
}

}  // namespace tolvane::package
