#pragma once
// What a glue command decided, place by place, so that a reader can check the few doubtful
// places of a glued book instead of reading it against the old one. A command fills a record
// only when it is handed one; without it the glue runs as it always did.
//
// Places are in the new text as the editor holds it after the command: paragraph and column
// from 1, in bytes. Texts are Windows-1250 bytes with a line break written as LF.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/TextEditor.h"
#include "engine/LayoutAnalysis.h"

namespace lepotex {

enum class ChangeKind : uint8_t {
    PageLine,       // a page line (number, running head or foot) went
    HyphenRemoved,  // a word broken at a line end joined without its hyphen
    HyphenKept,     // a word broken at a line end joined with its hyphen
    LineGlued,      // a line break became a space
    ParagraphKept,  // a line break between two text lines stayed
    Rule,           // an automatic replacement
    Speech,         // direct speech joined over paragraphs
    LetterMended,   // a letter a PDF's face built of two glyphs read as one ("at’" became "ať"), or
                    // a hyphen the extraction took out of a word put back (doubtful)
};
inline constexpr std::size_t kChangeKindCount = 8;

// Why a line break went as it went. The plain glue decides every break by its line tests;
// the smart glue by what the layout shows, and by the line tests where it shows nothing.
enum class BreakReason : uint8_t {
    None,
    LineTests,
    ShortLine,  // the next line's first word would have fitted on this one
    FullLine,   // the line is full, so the paragraph goes on
    Indent,     // the next line is indented (or is not, in a book that indents paragraphs)
    BlankLine,  // a blank line stands between (or none, in a book that separates by blank lines)
    Footnote,   // a footnote's lines joined, or the break before a note put behind its paragraph
    WholeParagraph,  // every line of the text is a paragraph already
};

struct Change {
    ChangeKind kind = ChangeKind::LineGlued;
    BreakReason reason = BreakReason::None;
    bool doubtful = false;  // worth a reader's look: see GlueRecord
    int32_t paraNo = 0;     // of the new text
    int32_t column = 0;
    int32_t length = 0;     // of the new text at the place, within its paragraph
    int32_t oldLine = 0;    // the old text's paragraph it came from; 0 where none is known
    int32_t rule = -1;      // Rule: its index in the AutoReplace list
    // The two texts the change is told by, in the record's bytes: for a break the words on
    // either side of it, for a page line the line, for a rule its search text and
    // replacement, for speech the old span and the new one.
    uint64_t bytes = 0;
    uint32_t firstLength = 0;
    uint32_t secondLength = 0;
};

// What the smart glue found of the book's layout.
struct LayoutFound {
    bool known = false;
    int32_t width = 0;  // 0: the lines were not wrapped to one width
    bool linesAreParagraphs = false;  // every line a paragraph: nothing was glued
    ParagraphMark mark = ParagraphMark::Neither;
    int32_t indent = 0;
    bool measured = false;  // justified in a proportional face: the lines' widths were measured
    bool ragged = false;    // measured, and set ragged right
    struct Form {
        std::string shape;  // a page line with every run of digits as "#"
        int64_t lines = 0;
    };
    std::vector<Form> furniture;  // the commonest first
    int64_t pageLines = 0;        // lines removed as furniture
    int64_t pageBlanks = 0;       // blank lines that went with them
    int64_t numbersCut = 0;       // page numbers cut off a line of text they stood on
    int64_t caronsMended = 0;     // "t’" read as the "ť" a PDF's face built of the two
    int64_t accentsMended = 0;    // "ˇr" read as the "ř" a PDF's face built of the two
    int64_t hyphensRestored = 0;  // hyphens of words the extraction had joined at a line end
    int32_t marginLeast = 0;      // the left margins taken off the lines (0: none)
    int32_t marginMost = 0;
    int64_t columnPages = 0;      // pages set in two columns, read one column after the other
    int64_t spacingBlanks = 0;    // blank lines of double spacing taken out
    int64_t wordLines = 0;        // breaks of lines cut into their words taken out
    int64_t notes = 0;            // footnotes moved behind the paragraph their page ended in
    bool twoLetterBreaks = false; // words broken before their last two letters, as word processors do
};

class GlueRecord {
public:
    // In the order of the new text. Doubtful are: every rule replacement; in the smart glue
    // a break decided by the line tests alone, and a hyphen kept where the patterns allow a
    // break (so a wrapper could have put it there).
    std::vector<Change, LargeAllocator<Change>> changes;  // one per line of a book, nearly
    LayoutFound layout;
    bool smart = false;
    // The text as it was before the command, undo history and all, for undoing it whole.
    TextEditor::KeptText before;

    void Clear();
    bool Empty() const { return changes.empty() && !layout.known; }
    // Adds a change told by its two texts.
    Change& Add(Change change, std::string_view first, std::string_view second);
    // Room for so many more changes told by so many bytes.
    void Reserve(std::size_t moreChanges, std::size_t moreBytes);
    std::string_view First(const Change& change) const { return {bytes.data() + change.bytes, change.firstLength}; }
    std::string_view Second(const Change& change) const
    {
        return {bytes.data() + change.bytes + change.firstLength, change.secondLength};
    }
    std::string OldText(const Change& change) const;
    std::string NewText(const Change& change) const;
    std::array<int64_t, kChangeKindCount> Counts() const;

private:
    std::vector<char, LargeAllocator<char>> bytes;
};

// For the batch tool's file: ASCII names ("page-line", "short-line").
std::string_view ChangeKindId(ChangeKind kind);
std::string_view BreakReasonId(BreakReason reason);
// For people, in Czech, UTF-8.
std::string_view ChangeKindCaption(ChangeKind kind);
std::string_view BreakReasonCaption(BreakReason reason);
// One sentence on the layout found, UTF-8; empty when nothing is known.
std::string DescribeLayout(const LayoutFound& layout);

}  // namespace lepotex
