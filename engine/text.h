// Small pieces of text handling that every layer needs: UTF-16 and UTF-8 conversion, ASCII case
// folding for interface paths and file names, and hexadecimal digits. None depends on a locale.
// The folding and the digits live in this header alone, so that code built without the engine
// library (the image reader's fuzz target) can use them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace tolvane {

// UTF-16 to UTF-8. A surrogate without its partner becomes U+FFFD, so the result is always valid
// UTF-8 whatever the system handed over.
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16. Each byte that does not belong to a valid sequence (a truncated or overlong
// form, an encoded surrogate, a value past U+10FFFF) becomes U+FFFD.
std::u16string FromUtf8(std::string_view text);

// The value of a hexadecimal digit of any case, or -1 for any other character.
template <typename Char>
constexpr int HexDigitValue(Char c) noexcept {
    if (c >= Char('0') && c <= Char('9')) return static_cast<int>(c - Char('0'));
    if (c >= Char('a') && c <= Char('f')) return static_cast<int>(c - Char('a')) + 10;
    if (c >= Char('A') && c <= Char('F')) return static_cast<int>(c - Char('A')) + 10;
    return -1;
}

// Folds ASCII letters only, as the C locale does; every other unit stays as it is.
template <typename Char>
constexpr Char AsciiLower(Char c) noexcept {
    return (c >= Char('A') && c <= Char('Z')) ? static_cast<Char>(c - Char('A') + Char('a')) : c;
}
template <typename Char>
constexpr Char AsciiUpper(Char c) noexcept {
    return (c >= Char('a') && c <= Char('z')) ? static_cast<Char>(c - Char('a') + Char('A')) : c;
}

// Whether two texts are equal when ASCII case is ignored (interface paths, file extensions).
template <typename Char>
constexpr bool EqualIgnoringAsciiCase(
    std::basic_string_view<Char> a, std::type_identity_t<std::basic_string_view<Char>> b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

// Whether `text` begins with `prefix` when ASCII case is ignored. A NUL unit in `text` ends it, as
// it ends a path the system hands over, so a shorter text never matches.
template <typename Char>
constexpr bool StartsWithIgnoringAsciiCase(
    std::basic_string_view<Char> text,
    std::type_identity_t<std::basic_string_view<Char>> prefix) noexcept {
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const Char c = i < text.size() ? text[i] : Char(0);
        if (c == Char(0) || AsciiLower(c) != AsciiLower(prefix[i])) return false;
    }
    return true;
}

}  // namespace tolvane
