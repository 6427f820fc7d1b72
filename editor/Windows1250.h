#pragma once
// The one Windows-1250 table of the program: bytes to Unicode and back, and the ANSI
// upper-case table that case-insensitive search uses. The view, the clipboard, the dialogs,
// the settings file and the CLI's output convert through here; the core and the engine
// keep the bytes.
//
// The five bytes Windows-1250 leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98) stand for the
// C1 control characters of the same number (U+0081 ...), so every byte value 0x00..0xFF
// survives a round trip through Unicode.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace lepotex {

// The byte that encoding writes for a character Windows-1250 has no byte for.
inline constexpr uint8_t kWindows1250Unmappable = '?';

[[nodiscard]] char16_t Windows1250ToUnicode(uint8_t byte) noexcept;

// The Windows-1250 byte of a Unicode code point, or '?' when there is none (this includes
// U+0080 and the surrogates). Cost: a binary search over 128 entries for code points >= 0x80.
[[nodiscard]] uint8_t UnicodeToWindows1250(char32_t codePoint) noexcept;
// True when the code point has a byte of its own, that is, encoding it does not give '?'
// unless it is '?' itself.
[[nodiscard]] bool HasWindows1250Byte(char32_t codePoint) noexcept;

// Whole texts. Every byte gives exactly one UTF-16 unit; decoding never fails.
[[nodiscard]] std::u16string DecodeWindows1250(std::string_view bytes);
// A surrogate pair is one character and so one '?'; a lone surrogate also gives '?'.
[[nodiscard]] std::string EncodeWindows1250(std::u16string_view text);

// UTF-8 conveniences for terminals, file names and messages.
[[nodiscard]] std::string Windows1250ToUtf8(std::string_view bytes);
// Each malformed UTF-8 sequence (bad lead byte, missing continuation, overlong form,
// surrogate, beyond U+10FFFF) and each character without a byte gives one '?'.
[[nodiscard]] std::string Utf8ToWindows1250(std::string_view utf8);

// Upper case byte for byte, from Unicode's simple case mapping: a byte maps to the byte of
// its upper case where that is exactly one Windows-1250 byte, else to itself (so 0xDF "ß",
// 0xB5 "µ" and 0xFF, the dot above, stay). Never depends on a locale.
[[nodiscard]] const std::array<uint8_t, 256>& UpperTable() noexcept;
[[nodiscard]] inline uint8_t ToUpperByte(uint8_t byte) noexcept { return UpperTable()[byte]; }

}  // namespace lepotex
