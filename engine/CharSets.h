#pragma once
// The engine's fixed sets of Windows-1250 bytes. Membership is a table look-up by byte value,
// never a locale-dependent call: a byte >= 0x80 is a negative char and the C library's
// classification functions are undefined for it.
#include <array>
#include <cstdint>
#include <string_view>

namespace lepotex {

namespace charsets {

constexpr std::array<bool, 256> MakeSet(std::string_view members)
{
    std::array<bool, 256> set{};
    for (char c : members)
        set[static_cast<uint8_t>(c)] = true;
    return set;
}

// Digits, A-Z and the 15 Czech capitals.
inline constexpr auto kCapitals = MakeSet(
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
    "\xC1\xC8\xCF\xC9\xCC\xCD\xD2\xD3\xD8\x8A\x8D\xDA\xD9\xDD\x8E");
// a-z and the 15 Czech lowercase letters; no digits.
inline constexpr auto kLowercase = MakeSet(
    "abcdefghijklmnopqrstuvwxyz"
    "\xE1\xE8\xEF\xE9\xEC\xED\xF2\xF3\xF8\x9A\x9D\xFA\xF9\xFD\x9E");
// ! " - . : ; ? and the Czech quotation marks 0x84 and 0x93.
inline constexpr auto kSentenceEnd = MakeSet("!\"-.:;?\x84\x93");

}  // namespace charsets

inline constexpr bool IsCapital(char c) noexcept { return charsets::kCapitals[static_cast<uint8_t>(c)]; }
inline constexpr bool IsLowercase(char c) noexcept { return charsets::kLowercase[static_cast<uint8_t>(c)]; }
inline constexpr bool IsSentenceEnd(char c) noexcept { return charsets::kSentenceEnd[static_cast<uint8_t>(c)]; }
inline constexpr bool IsDecimalDigit(char c) noexcept { return c >= '0' && c <= '9'; }

}  // namespace lepotex
