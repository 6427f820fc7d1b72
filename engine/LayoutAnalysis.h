#pragma once
// What the layout of a broken book shows at a glance, worked out in one linear pass over its
// lines: the width it was wrapped to, how its paragraphs are marked, and which lines are page
// furniture (page numbers and running headers or footers) with the blank lines that came with
// them. The smart glue decides its line breaks from this.
//
// A line is Windows-1250 bytes without its line end, with its leading spaces as the book has
// them.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lepotex {

enum class ParagraphMark : uint8_t {
    Neither,  // no mark the layout shows: the width and the line tests decide
    Indent,   // a paragraph's first line is indented
    Blank,    // paragraphs are separated by blank lines
};

enum class LineRole : uint8_t {
    Text,
    Blank,      // a blank line that stays: a real paragraph break
    PageLine,   // page furniture: goes
    PageBlank,  // a blank line that came with page furniture: goes
};

struct Layout {
    // The length of a full line, first-line indent included; 0 when the lines were not
    // wrapped to one width.
    int32_t width = 0;
    ParagraphMark mark = ParagraphMark::Neither;
    int32_t indent = 0;  // the usual indent of a paragraph's first line, when mark is Indent
    std::vector<LineRole> roles;  // one per line

    bool Removed(std::size_t line) const
    {
        return roles[line] == LineRole::PageLine || roles[line] == LineRole::PageBlank;
    }
};

Layout AnalyseLayout(std::span<const std::string_view> lines);

// Pieces of the analysis, for the glue's decisions and for tests.
std::size_t LeadingSpaceCount(std::string_view line) noexcept;
// The line without its trailing spaces.
std::string_view TrimTrailingSpaces(std::string_view line) noexcept;
// The line's first word: everything from its first non-space byte up to the next space.
std::string_view FirstWord(std::string_view line) noexcept;
// Whether the first word of `lower` and a space would still have fitted behind `upper`.
bool NextWordFits(std::string_view upper, std::string_view lower, int32_t width) noexcept;
// A letter of Windows-1250, Czech or other.
bool IsLetterByte(uint8_t byte) noexcept;

}  // namespace lepotex
