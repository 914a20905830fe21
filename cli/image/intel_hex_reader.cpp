#include "image/intel_hex_reader.h"

#include "image/image_limits.h"
#include "output/text_format.h"
#include "text.h"

#include <algorithm>
#include <optional>

namespace tolvane::cli {
namespace {

constexpr std::uint8_t kData = 0x00;
constexpr std::uint8_t kEndOfFile = 0x01;
constexpr std::uint8_t kExtendedSegmentAddress = 0x02;
constexpr std::uint8_t kStartSegmentAddress = 0x03;
constexpr std::uint8_t kExtendedLinearAddress = 0x04;
constexpr std::uint8_t kStartLinearAddress = 0x05;

// Byte count, two address bytes, record type and checksum.
constexpr std::size_t kRecordOverhead = 5;
constexpr std::uint64_t kAddressSpace = 0x100000000;
constexpr std::uint32_t kSegmentSize = 0x10000;

// One data record's bytes, kept as a slice of the decoded-data pool.
struct Chunk {
    std::uint64_t address = 0;
    std::size_t offset = 0;  // into the pool
    std::size_t length = 0;
    std::size_t line = 0;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string DescribeChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 0x21 && u < 0x7F) return std::string("'") + c + "'";
    return "byte " + Hex(u, 2);
}

class Reader {
public:
    std::variant<HexImage, HexError> read(std::string_view text) {
        std::size_t line = 0;
        do {
            const std::size_t end = text.find('\n');
            const std::string_view record = Trim(text.substr(0, end));
            text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
            ++line;
            if (!record.empty()) {
                if (auto error = readRecord(record, line)) return *error;
            }
        } while (!text.empty());
        if (!endLine_) return HexError{line, "missing end-of-file record (type 01)"};
        return assemble();
    }

private:
    std::optional<HexError> readRecord(std::string_view record, std::size_t line) {
        if (endLine_) {
            return HexError{
                line, "record after the end-of-file record of line " + std::to_string(endLine_)};
        }
        if (record.front() != ':') {
            return HexError{line, "expected ':' at the start of the record, found " +
                                      DescribeChar(record.front())};
        }
        const std::string_view digits = record.substr(1);
        for (std::size_t i = 0; i < digits.size(); ++i) {
            if (HexDigitValue(digits[i]) < 0) {
                return HexError{line, "bad hexadecimal digit " + DescribeChar(digits[i]) +
                                          " in column " + std::to_string(i + 2)};
            }
        }
        if (digits.size() % 2 != 0) return HexError{line, "odd number of hexadecimal digits"};
        if (digits.size() < 2 * kRecordOverhead) {
            return HexError{line, "record too short: " + std::to_string(digits.size() / 2) +
                                      " bytes, at least 5 needed"};
        }
        bytes_.clear();
        std::uint8_t sum = 0;
        for (std::size_t i = 0; i < digits.size(); i += 2) {
            const auto value = static_cast<std::uint8_t>((HexDigitValue(digits[i]) << 4) |
                                                         HexDigitValue(digits[i + 1]));
            bytes_.push_back(value);
            sum = static_cast<std::uint8_t>(sum + value);
        }
        const std::size_t count = bytes_[0];
        if (bytes_.size() != count + kRecordOverhead) {
            return HexError{line, "byte count says " + std::to_string(count) +
                                      " data bytes, the record holds " +
                                      std::to_string(bytes_.size() - kRecordOverhead)};
        }
        if (sum != 0) {
            const std::uint8_t given = bytes_.back();
            const auto wanted = static_cast<std::uint8_t>(given - sum);
            return HexError{
                line, "bad record checksum " + Hex(given, 2) + ", expected " + Hex(wanted, 2)};
        }
        const auto offset = static_cast<std::uint32_t>((bytes_[1] << 8) | bytes_[2]);
        const std::uint8_t type = bytes_[3];
        const std::uint8_t* data = bytes_.data() + 4;
        switch (type) {
            case kData:
                if (segmented_ && offset + count > kSegmentSize) {
                    // Segment addressing wraps within the 64 KiB segment: the bytes past its
                    // end belong at the segment's start.
                    const std::size_t first = kSegmentSize - offset;
                    if (auto error = addData(base_ + offset, data, first, line)) return error;
                    return addData(base_, data + first, count - first, line);
                }
                return addData(base_ + offset, data, count, line);
            case kEndOfFile:
                if (count != 0) return HexError{line, "end-of-file record carries data"};
                endLine_ = line;
                return std::nullopt;
            case kExtendedSegmentAddress:
            case kExtendedLinearAddress: {
                if (count != 2) {
                    return HexError{line, "address record of type " + Hex(type, 2) + " needs 2 " +
                                              "data bytes, has " + std::to_string(count)};
                }
                const auto value = static_cast<std::uint64_t>((data[0] << 8) | data[1]);
                segmented_ = type == kExtendedSegmentAddress;
                base_ = segmented_ ? value << 4 : value << 16;
                return std::nullopt;
            }
            case kStartSegmentAddress:
            case kStartLinearAddress:
                if (count != 4) {
                    return HexError{line, "start address record of type " + Hex(type, 2) +
                                              " needs 4 data bytes, has " + std::to_string(count)};
                }
                return std::nullopt;
            default:
                return HexError{line, "unknown record type " + Hex(type, 2)};
        }
    }

    std::optional<HexError> addData(std::uint64_t address, const std::uint8_t* data,
                                    std::size_t count, std::size_t line) {
        if (count == 0) return std::nullopt;
        if (address + count > kAddressSpace) {
            return HexError{line,
                            "data at " + Hex(address, 8) + " runs past the 4 GiB address space"};
        }
        chunks_.push_back(Chunk{address, pool_.size(), count, line});
        pool_.insert(pool_.end(), data, data + count);
        return std::nullopt;
    }

    std::variant<HexImage, HexError> assemble() {
        if (chunks_.empty()) return HexError{endLine_, "the image holds no data"};
        std::stable_sort(chunks_.begin(), chunks_.end(),
                         [](const Chunk& a, const Chunk& b) { return a.address < b.address; });
        const Chunk* reach = &chunks_.front();  // the chunk that ends highest so far
        for (std::size_t i = 1; i < chunks_.size(); ++i) {
            const Chunk& chunk = chunks_[i];
            if (chunk.address < reach->address + reach->length) {
                const Chunk& later = chunk.line > reach->line ? chunk : *reach;
                const Chunk& earlier = chunk.line > reach->line ? *reach : chunk;
                return HexError{later.line, "data at " + Hex(later.address, 8) +
                                                " overlaps data from line " +
                                                std::to_string(earlier.line)};
            }
            if (chunk.address + chunk.length > reach->address + reach->length) reach = &chunk;
        }
        const std::uint64_t lowest = chunks_.front().address;
        const std::uint64_t span = reach->address + reach->length - lowest;
        if (span > kMaxImageSize) {
            return HexError{reach->line, "the image spans " + std::to_string(span) +
                                             " bytes from " + Hex(lowest, 8) + ", more than " +
                                             std::to_string(kMaxImageSize)};
        }
        HexImage image;
        image.lowestAddress = static_cast<std::uint32_t>(lowest);
        image.bytes.assign(static_cast<std::size_t>(span), 0xFF);
        for (const Chunk& chunk : chunks_) {
            const auto at = static_cast<std::ptrdiff_t>(chunk.address - lowest);
            const auto from = pool_.begin() + static_cast<std::ptrdiff_t>(chunk.offset);
            std::copy(from, from + static_cast<std::ptrdiff_t>(chunk.length),
                      image.bytes.begin() + at);
        }
        return image;
    }

    std::uint64_t base_ = 0;
    bool segmented_ = false;  // the base came from an extended segment address (02)
    std::size_t endLine_ = 0;
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint8_t> pool_;
    std::vector<Chunk> chunks_;
};

}  // namespace

std::variant<HexImage, HexError> ReadIntelHex(std::string_view text) {
    return Reader{}.read(text);
}

}  // namespace tolvane::cli
