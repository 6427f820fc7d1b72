#pragma once
// What the layout of a broken book shows at a glance, worked out in a few linear passes over its
// lines: the width it was wrapped to, how its paragraphs are marked, and which lines are page
// furniture (page numbers and running headers or footers) with the blank lines that came with
// them. The smart glue decides its line breaks from this.
//
// A line is Windows-1250 bytes without its line end, with its leading spaces as the book has
// them.
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/Hyphenation.h"
#include "engine/LineShape.h"

namespace lepotex {

enum class ParagraphMark : uint8_t {
    Neither,  // no mark the layout shows: the width and the line tests decide
    Indent,   // a paragraph's first line is indented
    Blank,    // paragraphs are separated by blank lines
};

// Whether the lower line's first word and a space would still have fitted on the upper one, at
// this width: a greedy wrapper would have put it there.
[[nodiscard]] inline bool NextWordFits(const LineShape& upper, const LineShape& lower, int32_t width) noexcept
{
    return lower.firstWord > 0 && int64_t(upper.length) + 1 + lower.firstWord <= int64_t(width);
}

// The last text line before line `from` (SIZE_MAX where there is none), and whether a blank
// line stands between: where a pass over the lines in halves starts its second half.
struct TextLineAbove {
    std::size_t line = SIZE_MAX;
    bool blankBetween = false;
};
[[nodiscard]] TextLineAbove TextLineBefore(const LineRoles& roles, std::size_t from) noexcept;

// A line the glue reads otherwise than the book has it: a page number pdftotext set on it went.
struct LineCut {
    uint32_t line;
    std::string text;     // the whole line as it stays, its leading spaces included
    std::string removed;  // the page number cut off it, as the line had it
    bool atStart = false;  // the number stood before the text, not after it
};

struct Layout {
    // The length of a full line, first-line indent included; 0 when the lines were not
    // wrapped to one width.
    int32_t width = 0;
    // The lines are justified in a proportional font: width is the shortest usual full line,
    // and a line from this length on is full; one between the two may end a paragraph. 0 for
    // lines wrapped to one width.
    int32_t fullFrom = 0;
    ParagraphMark mark = ParagraphMark::Neither;
    int32_t indent = 0;  // the usual indent of a paragraph's first line, when mark is Indent
    // Every line is a paragraph: the text was glued before, or never broken. Nothing of it is
    // page furniture, and every break stays.
    bool linesAreParagraphs = false;
    LineRoles roles;    // one per line
    LineShapes shapes;  // one per line, of the line as cut where it is
    std::vector<LineCut> cuts;  // in the order of the lines
    // Lines full whatever their length (LineList::fullLines), in order: no measure is learnt
    // from them, and they leave the room of a full line.
    std::vector<uint32_t> fullLines;
};

// `takenShapes`, `takenRoles`: the lines' shapes and their roles (Text or Blank) where they
// were read already, one per line; or none.
Layout AnalyseLayout(std::span<const std::string_view> lines, LineShapes&& takenShapes = {},
                     LineRoles&& takenRoles = {});

// Pieces of the analysis, for the glue's decisions and for tests. They run on every line of
// a book, so they are inline.
inline std::size_t LeadingSpaceCount(std::string_view line) noexcept
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}
// The line without its trailing spaces.
inline std::string_view TrimTrailingSpaces(std::string_view line) noexcept
{
    while (!line.empty() && line.back() == ' ')
        line.remove_suffix(1);
    return line;
}
// The first space from `from` on, or `end`. Eight bytes at a time, where words are read by the
// million: the first space is the lowest byte that a space turns to zero.
inline const char* NextSpace(const char* from, const char* end) noexcept
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        for (; end - from >= 8; from += 8) {
            uint64_t bytes;
            std::memcpy(&bytes, from, 8);
            const uint64_t x = bytes ^ (kOnes * ' ');
            if (const uint64_t zero = (x - kOnes) & ~x & (kOnes * 0x80); zero != 0)
                return from + std::countr_zero(zero) / 8;
        }
    }
    while (from < end && *from != ' ')
        ++from;
    return from;
}
// The letters of Windows-1250, Czech or other.
inline constexpr std::array<bool, 256> kLetterBytes = [] {
    std::array<bool, 256> letters{};
    for (int b = 'a'; b <= 'z'; ++b)
        letters[std::size_t(b)] = letters[std::size_t(b - 'a' + 'A')] = true;
    for (int b = 0xC0; b <= 0xFF; ++b)
        letters[std::size_t(b)] = b != 0xD7 && b != 0xF7;
    for (const int b : {0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F, 0xA3, 0xA5, 0xAA, 0xAF, 0xB3, 0xB9,
                        0xBA, 0xBC, 0xBE, 0xBF})
        letters[std::size_t(b)] = true;
    return letters;
}();
inline bool IsLetterByte(uint8_t byte) noexcept { return kLetterBytes[byte]; }
inline bool IsLowercaseLetter(uint8_t byte) noexcept { return IsLetterByte(byte) && ToLowerByte(byte) == byte; }

}  // namespace lepotex
