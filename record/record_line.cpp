#include "record_line.h"

#include "text.h"

#include <algorithm>

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

// Reads a JSON string starting at its opening quote; moves `at` past its closing quote.
std::optional<std::string> ReadString(std::string_view s, std::size_t& at) {
    if (at >= s.size() || s[at] != '"') return std::nullopt;
    std::string out;
    for (++at; at < s.size(); ++at) {
        const char c = s[at];
        if (c == '"') {
            ++at;
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++at >= s.size()) return std::nullopt;
        const char e = s[at];
        if (e == 'u') {
            if (at + 4 >= s.size()) return std::nullopt;
            const auto code = std::stoul(std::string(s.substr(at + 1, 4)), nullptr, 16);
            at += 4;
            out += ToUtf8(std::u16string(1, static_cast<char16_t>(code)));
        } else {
            const std::string_view from = "\"\\/bfnrt";
            const std::string_view to = "\"\\/\b\f\n\r\t";
            const auto i = from.find(e);
            if (i == std::string_view::npos) return std::nullopt;
            out += to[i];
        }
    }
    return std::nullopt;
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
    if (!value || value->empty() ||
        !std::ranges::all_of(*value, [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::stoull(*value);
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
            while (at < s.size() && s[at] != ',' && s[at] != '}' && s[at] != ' ') ++at;
            const std::string_view token = s.substr(start, at - start);
            const bool isNumber = !token.empty() && std::ranges::all_of(token, [](char c) {
                return (c >= '0' && c <= '9') || c == '-' || c == '.';
            });
            if (!isNumber && token != "true" && token != "false") return std::nullopt;
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
