#include "record_line.h"

#include "text.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace tolvane::record {
namespace {

std::string Quoted(std::string_view value) {
    std::string out = "\"";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static constexpr char kDigits[] = "0123456789abcdef";
            out += "\\u00";
            out += kDigits[u >> 4];
            out += kDigits[u & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The value of four hexadecimal digits at the start of `s`; nothing when they are not.
std::optional<char16_t> HexUnit(std::string_view s) {
    if (s.size() < 4) return std::nullopt;
    unsigned value = 0;
    for (const char c : s.substr(0, 4)) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<unsigned>(digit);
    }
    return static_cast<char16_t>(value);
}

// Reads a JSON string starting at its opening quote; moves `at` past its closing quote. Nothing
// for a string that is cut off or holds an escape JSON does not have.
std::optional<std::string> ReadString(std::string_view s, std::size_t& at) {
    if (at >= s.size() || s[at] != '"') return std::nullopt;
    std::string out;
    // \u escapes in a row are one UTF-16 text, so that a surrogate pair is one character.
    std::u16string units;
    const auto flushUnits = [&] {
        out += ToUtf8(units);
        units.clear();
    };
    for (++at; at < s.size(); ++at) {
        const char c = s[at];
        if (c == '"') {
            flushUnits();
            ++at;
            return out;
        }
        if (c != '\\') {
            flushUnits();
            out += c;
            continue;
        }
        if (++at >= s.size()) return std::nullopt;
        const char e = s[at];
        if (e == 'u') {
            const auto unit = HexUnit(s.substr(at + 1));
            if (!unit) return std::nullopt;
            units += *unit;
            at += 4;
            continue;
        }
        flushUnits();
        const std::string_view from = "\"\\/bfnrt";
        const std::string_view to = "\"\\/\b\f\n\r\t";
        const auto i = from.find(e);
        if (i == std::string_view::npos) return std::nullopt;
        out += to[i];
    }
    return std::nullopt;
}

// A number as JSON writes it: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
bool IsJsonNumber(std::string_view t) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i > from;
    };
    if (i < t.size() && t[i] == '-') ++i;
    if (i < t.size() && t[i] == '0') {
        ++i;
    } else if (!digits()) {
        return false;
    }
    if (i < t.size() && t[i] == '.') {
        ++i;
        if (!digits()) return false;
    }
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == t.size();
}

void SkipSpace(std::string_view s, std::size_t& at) {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\t' || s[at] == '\r')) ++at;
}

}  // namespace

RecordLine& RecordLine::number(std::string_view key, std::uint64_t value) {
    fields_.emplace_back(std::string(key), std::to_string(value));
    return *this;
}

RecordLine& RecordLine::text(std::string_view key, std::string_view value) {
    fields_.emplace_back(std::string(key), Quoted(value));
    return *this;
}

RecordLine& RecordLine::text(std::string_view key, std::u16string_view value) {
    return text(key, ToUtf8(value));
}

RecordLine& RecordLine::flag(std::string_view key, bool value) {
    fields_.emplace_back(std::string(key), value ? "true" : "false");
    return *this;
}

RecordLine& RecordLine::bytes(std::string_view key, std::span<const std::uint8_t> value) {
    return text(key, HexOf(value));
}

bool RecordLine::has(std::string_view key) const {
    return raw(key).has_value();
}

std::optional<std::string> RecordLine::raw(std::string_view key) const {
    const auto it = std::ranges::find_if(fields_, [&](const auto& f) { return f.first == key; });
    if (it == fields_.end()) return std::nullopt;
    return it->second;
}

std::optional<std::uint64_t> RecordLine::numberOf(std::string_view key) const {
    const auto value = raw(key);
    if (!value || value->empty()) return std::nullopt;
    // Digits only; a value past 64 bits is no number of a recording.
    std::uint64_t number = 0;
    const char* end = value->data() + value->size();
    const auto [stop, error] = std::from_chars(value->data(), end, number);
    if (error != std::errc() || stop != end) return std::nullopt;
    return number;
}

std::optional<std::string> RecordLine::textOf(std::string_view key) const {
    const auto value = raw(key);
    if (!value) return std::nullopt;
    std::size_t at = 0;
    return ReadString(*value, at);
}

std::u16string RecordLine::wideTextOf(std::string_view key) const {
    return FromUtf8(textOf(key).value_or(""));
}

std::optional<std::vector<std::uint8_t>> RecordLine::bytesOf(std::string_view key) const {
    const auto value = textOf(key);
    if (!value) return std::nullopt;
    return BytesOfHex(*value);
}

RecordLine RecordLine::without(std::initializer_list<std::string_view> keys) const {
    RecordLine kept;
    for (const auto& field : fields_) {
        if (std::ranges::find(keys, std::string_view(field.first)) == keys.end()) {
            kept.fields_.push_back(field);
        }
    }
    return kept;
}

std::string RecordLine::json() const {
    std::string out = "{";
    for (const auto& [key, value] : fields_) {
        if (out.size() > 1) out += ',';
        out += Quoted(key);
        out += ':';
        out += value;
    }
    return out + '}';
}

std::optional<RecordLine> RecordLine::parse(std::string_view s) {
    RecordLine line;
    std::size_t at = 0;
    SkipSpace(s, at);
    if (at >= s.size() || s[at++] != '{') return std::nullopt;
    SkipSpace(s, at);
    if (at < s.size() && s[at] == '}') return line;
    while (true) {
        SkipSpace(s, at);
        auto key = ReadString(s, at);
        SkipSpace(s, at);
        if (!key || at >= s.size() || s[at++] != ':') return std::nullopt;
        SkipSpace(s, at);
        const std::size_t start = at;
        if (at < s.size() && s[at] == '"') {
            if (!ReadString(s, at)) return std::nullopt;
        } else {
            while (at < s.size() && s[at] != ',' && s[at] != '}' && s[at] != ' ' && s[at] != '\t' &&
                   s[at] != '\r') {
                ++at;
            }
            const std::string_view token = s.substr(start, at - start);
            if (!IsJsonNumber(token) && token != "true" && token != "false") return std::nullopt;
        }
        line.fields_.emplace_back(std::move(*key), std::string(s.substr(start, at - start)));
        SkipSpace(s, at);
        if (at >= s.size()) return std::nullopt;
        if (s[at] == '}') return line;
        if (s[at++] != ',') return std::nullopt;
    }
}

std::string HexOf(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> BytesOfHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

}  // namespace tolvane::record
