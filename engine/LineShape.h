#pragma once
// A line of a book as the layout passes read it: its length, margins and the bytes at its
// ends, and what it is found to be. A line is Windows-1250 bytes without its line end.
#include <cstdint>
#include <string_view>
#include <vector>

#include "editor/TextBlock.h"

namespace lepotex {

// What the passes over a book need of each line, read once: the lines are spread over the
// whole text, and reading each of them again in every pass costs more than the passes.
struct LineShape {
    // In this order 12 bytes, where a book has one for every line.
    uint32_t length = 0;     // without trailing spaces, leading ones included
    uint16_t lead = 0;       // leading spaces, and the form feed before them
    uint16_t firstWord = 0;  // the length of the first word (at most 65535)
    uint8_t feed = 0;        // 1 when the line starts with a form feed: a new page of a PDF's text
    uint8_t first = 0;       // the first byte after the leading spaces
    uint8_t beforeLast = 0;  // the byte before the last one, when the line has two
    uint8_t last = 0;        // the last byte before the trailing spaces

    bool Blank() const { return lead == length; }
    uint16_t Indent() const { return uint16_t(lead - feed); }
    // The line without its leading and trailing spaces.
    std::string_view Trimmed(std::string_view line) const { return line.substr(lead, length - lead); }
};

[[nodiscard]] LineShape ShapeOfLine(std::string_view line) noexcept;

using LineShapes = std::vector<LineShape, LargeAllocator<LineShape>>;

// What a line is to the layout of its book.
enum class LineRole : uint8_t {
    Text,
    Blank,      // a blank line that stays: a real paragraph break
    PageLine,   // page furniture: goes
    PageBlank,  // a blank line that goes: it came with page furniture, or OCR put it inside a sentence
    // A footnote at a page's foot, between the text and the furniture: its number ("1", or
    // "1 Text" where the extract keeps the two on one line), its lines and the blank lines in
    // and after it. It goes behind the paragraph the page ended in, which then reads on across
    // the page as the book has it.
    NoteStart,
    Note,
};

// One per line of a book, so on huge pages where there are any.
using LineRoles = std::vector<LineRole, LargeAllocator<LineRole>>;

}  // namespace lepotex
