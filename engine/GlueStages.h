#pragma once
// The five stages of the glue pipeline over the working list. Each gives exactly the lines of
// the literal loop that walks the list from its end and removes or joins one line at a time,
// but in one pass: the literal loop is quadratic on a book (every removal moves the lines
// behind it, every join re-copies the growing paragraph).
//
// Stages 1 to 3 expect a list whose pieces are whole lines; stages 3 and 4 record their joins
// and stage 5 its indent in the list's flags (LineList.h), and later stages read a joined line
// through its pieces.
//
// Each returns the number of progress steps the literal loop takes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/CharSets.h"
#include "engine/LineList.h"
#include "engine/LineTests.h"
#include "settings/Settings.h"

namespace lepotex {

// Stage 1: leading spaces go; a line of spaces becomes empty. One step per line.
int64_t RemoveIndentation(LineList& list);
// Stage 2: page-number lines go. One step per line.
int64_t RemovePageNumbers(LineList& list);
// Stage 3: a line ending in a hyphen-broken word takes the next non-empty line that
// continues it, without the hyphen; the empty lines between go. Returns the progress steps
// the stage takes: one for every non-empty line that has any line after it, joined or not
// (not the number of joins, which list.joins counts).
int64_t JoinHyphenatedWords(LineList& list);
// What stage 4 asks of a piece's bytes, that the stages before it learn as they read them: a
// pass over a book's lines costs what reading them from memory costs. A byte a piece.
class PieceFacts {
public:
    PieceFacts() = default;
    static PieceFacts Of(std::string_view piece, std::string_view text, const NoGlueMatcher& noGlue) noexcept
    {
        PieceFacts facts;
        if (!piece.empty()) {
            facts.bits |= IsDecimalDigit(piece.front()) ? kStartDigit : 0;
            facts.bits |= IsLowercase(piece.front()) ? kStartLower : 0;
            facts.bits |= IsDecimalDigit(piece.back()) ? kEndDigit : 0;
            facts.bits |= IsSentenceEnd(piece.back()) ? kEndSentence : 0;
        }
        facts.SetAllCapitals(IsAllCapitals(text));
        facts.bits |= noGlue.StartsAnyOf(piece) ? kStartsNoGlue : 0;
        return facts;
    }
    // IsAllCapitals of its text (less a hyphen that joins).
    bool AllCapitals() const noexcept { return (bits & kAllCapitals) != 0; }
    void SetAllCapitals(bool all) noexcept { bits = uint8_t(all ? bits | kAllCapitals : bits & ~kAllCapitals); }
    // It begins with a no-glue entry, all of it in the piece.
    bool StartsNoGlue() const noexcept { return (bits & kStartsNoGlue) != 0; }
    // BreakAllowsGlue of this piece's last byte and the next line's first.
    bool AllowGlue(PieceFacts lower) const noexcept
    {
        if ((bits & kEndDigit) || (lower.bits & kStartDigit))
            return false;
        return !((bits & kEndSentence) && !(lower.bits & kStartLower));
    }

private:
    static constexpr uint8_t kStartDigit = 1, kStartLower = 2, kEndDigit = 4, kEndSentence = 8, kAllCapitals = 16,
                             kStartsNoGlue = 32;
    uint8_t bits = 0;
};
using PieceFactList = std::vector<PieceFacts, LargeAllocator<PieceFacts>>;

// Stages 1 to 3 in one pass, as the three give them one after the other, with the facts of
// every piece left.
struct FirstStages {
    int64_t lineSteps = 0;       // stages 1 and 2, each
    std::size_t unnumbered = 0;  // the lines after stage 2
    int64_t hyphenSteps = 0;     // stage 3
    PieceFactList facts;
};
FirstStages RunFirstStages(LineList& list, const Settings& settings);
// The same one line at a time, as a book's lines come: in place over the list's own lines,
// each handed in as read, or appended to an empty list.
class FirstStagesWalk {
public:
    FirstStagesWalk(LineList& list, const Settings& settings, bool inPlace);
    void Reserve(std::size_t lines);
    void Add(std::string_view line);
    FirstStages Finish();

private:
    static constexpr std::size_t kNone = SIZE_MAX;
    LineList& list;
    const NoGlueMatcher noGlue;
    const bool inPlace;
    FirstStages done;
    std::size_t kept = 0;
    std::size_t lastFull = kNone;  // the kept piece of the last non-empty line
    bool lastEmpty = false;        // stage 2's last line is empty
    int64_t nonEmpty = 0;
};

// Stage 4: neighbouring non-empty lines that CanGlueLines allows become one, joined by a
// space. One step per pair of non-empty neighbours. `facts`: those RunFirstStages left, or
// none to read them here.
int64_t GlueLineBreaks(LineList& list, const Settings& settings, const PieceFactList* facts = nullptr);
// Stage 5: every non-empty line starts with `indent`. One step per non-empty line.
// `unindented`: no line starts with a space (stages 1 to 4 made the list), so the lines'
// bytes need not be read.
int64_t Reindent(LineList& list, std::string_view indent, bool unindented = false);

// Indent size 1 to 14 gives size - 1 spaces; 0 and sizes above 14 give 14.
std::string MakeIndentString(uint8_t indentSize);

}  // namespace lepotex
