#pragma once
// Czech hyphenation points, from Debian's hyphen-cs patterns, built into the program and read
// through libhyphen. The smart glue asks it whether a hyphen at a line end
// stands at a legal hyphenation point of the joined word, that is, whether a wrapper could
// have put it there.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace lepotex {

// Czech typesetting leaves at least two letters before a break and three after it; word
// processors leave two after it as well.
inline constexpr std::size_t kLettersBeforeBreak = 2;
inline constexpr std::size_t kLettersAfterBreak = 3;
inline constexpr std::size_t kLettersAfterAnyBreak = 2;

class Hyphenator {
public:
    // Loaded() tells whether the patterns could be read. Sharing one Hyphenator between
    // threads is not allowed (it keeps a cache), sharing the patterns is: every Hyphenator
    // uses one loaded copy.
    Hyphenator();
    ~Hyphenator();
    Hyphenator(const Hyphenator&) = delete;
    Hyphenator& operator=(const Hyphenator&) = delete;

    bool Loaded() const { return dictionary != nullptr; }
    // Whether the word (Windows-1250 letters, any case) may be hyphenated after its first
    // `at` letters, by the patterns and the rule of at least two letters before a break and
    // `after` after it (Czech typesetting's three, or kLettersAfterAnyBreak). False when the
    // patterns did not load.
    bool IsBreakPoint(std::string_view word, std::size_t at, std::size_t after = kLettersAfterBreak);

    struct Dictionary;

private:
    std::shared_ptr<Dictionary> dictionary;
    void* converter = reinterpret_cast<void*>(-1);  // iconv from UTF-8 to the patterns' charset
    std::unordered_map<std::string, std::string> cache;  // word -> its break points as '0'/'1'
};

// The byte in lower case, for the letters of Windows-1250: the table, for loops over a book,
// and one byte.
const std::array<uint8_t, 256>& LowerCaseTable() noexcept;
inline uint8_t ToLowerByte(uint8_t byte) noexcept { return LowerCaseTable()[byte]; }
// The word in lower case.
std::string Lowered(std::string_view word);

// For maps of words counted in a book: a word is looked up by its view, not copied to ask.
struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
};

}  // namespace lepotex
