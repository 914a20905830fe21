// One line of a recording: a flat JSON object whose values are numbers, strings or booleans, kept
// in the order they were added. Values are held as their JSON text, so two lines compare exactly.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvane::record {

class RecordLine {
public:
    RecordLine() = default;
    explicit RecordLine(std::string_view op) { text("op", op); }

    RecordLine& number(std::string_view key, std::uint64_t value);
    RecordLine& text(std::string_view key, std::string_view value);
    RecordLine& text(std::string_view key, std::u16string_view value);
    RecordLine& flag(std::string_view key, bool value);
    // Bytes in lower-case hexadecimal.
    RecordLine& bytes(std::string_view key, std::span<const std::uint8_t> value);

    bool has(std::string_view key) const;
    // The raw JSON text of a value, or nothing.
    std::optional<std::string> raw(std::string_view key) const;
    std::optional<std::uint64_t> numberOf(std::string_view key) const;
    std::optional<std::string> textOf(std::string_view key) const;
    std::u16string wideTextOf(std::string_view key) const;
    std::optional<std::vector<std::uint8_t>> bytesOf(std::string_view key) const;
    std::string op() const { return textOf("op").value_or(""); }

    const std::vector<std::pair<std::string, std::string>>& fields() const { return fields_; }
    // The line without the fields named.
    RecordLine without(std::initializer_list<std::string_view> keys) const;
    std::string json() const;
    // Nothing when `line` is not a flat JSON object.
    static std::optional<RecordLine> parse(std::string_view line);

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// Hexadecimal of bytes, and back (nothing for text that is not hexadecimal).
std::string HexOf(std::span<const std::uint8_t> bytes);
std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view text);

}  // namespace tolvane::record
