#pragma once
// The working list of the linear glue pipeline. Its lines are views: of the editor's
// paragraphs, which stay untouched until the write-back, or of bytes the list keeps itself
// (lines whose tabs were expanded, copies handed in by a caller). Copying a book line by line
// into strings of its own costs more than all the stages together.
//
// Stages 3 and 4 record their joins instead of building each joined line, and stage 5
// records which lines take the indent; WriteOut (GluedText.h) writes the list out as one
// text, joins and indents applied.
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/LineShape.h"
#include "engine/LineTests.h"

namespace lepotex {

// Bytes that keep their address until the arena is gone; handed out in chunks, so that a
// million short lines cost a few allocations. The chunks are text blocks, on huge pages
// where there are any: a page fault per 4 KiB is what filling memory costs most.
class Arena {
public:
    char* Allocate(std::size_t size);
    std::string_view Store(std::string_view bytes);

private:
    std::vector<TextBlock> chunks;
    char* next = nullptr;
    std::size_t left = 0;
};

// Views of the lines of a book, one per line, in storage that may grow to a book's size.
using LineViews = std::vector<std::string_view, LargeAllocator<std::string_view>>;

class LineList {
public:
    // Flags of a piece, set by stages 3 to 5.
    static constexpr uint8_t kJoinsNext = 1;   // the next piece continues this line after a space
    static constexpr uint8_t kIndented = 2;    // the line that starts here begins with the indent
    static constexpr uint8_t kHyphenNext = 4;  // this piece's last byte (a hyphen) goes, and the
                                               // next piece continues the word
    static constexpr uint8_t kAdjoinsNext = 8;  // the next piece follows directly (a hyphen
                                                // that stays), set by the smart glue only
    static constexpr uint8_t kContinues = kJoinsNext | kHyphenNext | kAdjoinsNext;

    LineList() = default;
    // A list that owns copies of the lines.
    LineList(std::initializer_list<std::string_view> lines);
    explicit LineList(const WorkingList& lines);
    LineList(LineList&&) noexcept = default;
    LineList& operator=(LineList&&) noexcept = default;

    // Lines of the list (a joined line counts once).
    std::size_t size() const { return pieces.size() - joins; }
    uint8_t Flags(std::size_t piece) const { return flags.empty() ? 0 : flags[piece]; }
    // The text of the line that starts at piece `first`, joins applied, indent not; `last`
    // becomes its last piece.
    std::string LineText(std::size_t first, std::size_t& last) const;
    bool empty() const { return pieces.empty(); }

    // Adds a line that someone else keeps alive as long as the list; the caller says whether
    // it may hold a CR or LF.
    void AddView(std::string_view line, bool mayHoldBreak)
    {
        pieces.push_back(line);
        lineBreaks = lineBreaks || mayHoldBreak;
    }
    void AddCopy(std::string_view line);

    // The lines as strings, joins and indent applied.
    WorkingList ToStrings() const;
    bool operator==(const WorkingList& other) const { return ToStrings() == other; }

    // Before stage 3 every piece is a whole line; afterwards flags holds one byte per piece.
    LineViews pieces;
    std::vector<uint8_t, LargeAllocator<uint8_t>> flags;
    std::size_t joins = 0;  // pieces with kJoinsNext, kHyphenNext or kAdjoinsNext
    std::string indent;        // what kIndented lines begin with
    bool lineBreaks = false;   // some line may hold a CR or LF
    // Lines full whatever their length, in order: justified lines a text tool cut into their
    // words, which the smart glue put together again with single spaces.
    std::vector<uint32_t> fullLines;
    // No piece begins with a space: the smart glue's pieces are the lines less their leading
    // blanks, and re-indenting need not look at them for more.
    bool noLeadingSpaces = false;
    // The smart glue found that the book's wrapper leaves two letters after a break, as word
    // processors do ("kte-|ré").
    bool twoLetterBreaks = false;
    // The smart glue found each line a paragraph already: no line end joined a word.
    bool linesAreParagraphs = false;
    // Each piece's shape and whether it is blank, read as the pieces were taken while the book
    // loaded, when the smart glue is to read its layout; empty otherwise, and emptied once a
    // piece has changed since.
    LineShapes shapes;
    LineRoles roles;
    // With the shapes, the pieces that begin with a form feed, in order: a book's pages, which
    // the first pass over it wants without a look at every shape.
    std::vector<uint32_t> feedLines;
    Arena arena;
};

}  // namespace lepotex
