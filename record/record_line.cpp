#include "record_line.h"

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
            out += Utf8Of(std::u16string(1, static_cast<char16_t>(code)));
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
    return text(key, Utf8Of(value));
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
    return Utf16Of(textOf(key).value_or(""));
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
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int hi = digit(text[i]);
        const int lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return bytes;
}

std::string Utf8Of(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00U);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16Of(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        std::uint32_t c = extra == 0 ? b : b & (0x3FU >> extra);
        for (std::size_t k = 1; k <= extra && i + k < text.size(); ++k) {
            c = c << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += extra + 1;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

}  // namespace tolvane::record
