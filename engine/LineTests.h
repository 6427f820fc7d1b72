#pragma once
// The decisions of the glue pipeline about single lines and neighbouring pairs, and the
// literal list operations that carry them out. The tests are pure functions of the lines and
// the settings. A line is Windows-1250 bytes without a line end.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/Settings.h"

namespace lepotex {

// The glue pipeline's working list; index 0 holds paragraph 1 of the editor.
using WorkingList = std::vector<std::string>;

// A page number between dashes, such as "- 12 -" or "-0x1F-".
[[nodiscard]] bool IsPageNumberLine(std::string_view line) noexcept;
// The upper line ends in a word broken by a hyphen that the lower line continues.
[[nodiscard]] bool IsHyphenatedBreak(std::string_view upper, std::string_view lower) noexcept;
// True if the line break between the two (non-empty) lines is to be removed.
[[nodiscard]] bool CanGlueLines(std::string_view upper, std::string_view lower, const Settings& settings) noexcept;

// CanGlueLines' rules 1 and 2 for a whole book: whether a line begins with a no-glue entry,
// at a cost that grows with the logarithm of the list's length, not with the length. The
// entries are kept sorted, without the empty ones and without those that another entry
// begins (a line that begins with the longer one begins with the shorter one too); a line
// then begins with some entry exactly when it begins with the greatest entry not above it.
// Holds views of the entries, which must outlive it.
class NoGlueMatcher {
public:
    explicit NoGlueMatcher(const std::vector<std::string>& entries);
    [[nodiscard]] bool StartsAnyOf(std::string_view line) const noexcept;
    // Whether some entry begins with `text`.
    [[nodiscard]] bool SomeEntryStartsWith(std::string_view text) const noexcept;
    // The longest entry that matters: no line needs more of its start looked at.
    [[nodiscard]] std::size_t Longest() const noexcept { return longest; }
    // The entries that matter, sorted.
    [[nodiscard]] const std::vector<std::string_view>& Entries() const noexcept { return sorted; }

private:
    std::vector<std::string_view> sorted;
    std::array<uint32_t, 257> firstOf{};  // entries beginning with byte b: [firstOf[b], firstOf[b + 1])
    std::size_t longest = 0;
};

// The no-glue test of a line that grows at its start, as the glue's lower line does when the
// line above is joined to it: upper line, space, lower line. An entry that such a line begins
// with and the upper line does not reaches across the space, so only entries holding a space
// are kept. They are kept reversed, in a matching automaton (Aho and Corasick) that reads the
// line from its end: a line begins with an entry exactly when the automaton, having read the
// line backwards, stands where a reversed entry ends. Growing the line by a join then costs
// the bytes added, however long the entries and the line are, so that the glue stays linear
// in the book and in the list.
class NoGlueAutomaton {
public:
    using State = int32_t;
    static constexpr State kStart = 0;

    explicit NoGlueAutomaton(const NoGlueMatcher& matcher);
    // The state after reading `byte` (the line is read from its end towards its start).
    [[nodiscard]] State Step(State state, uint8_t byte) const noexcept;
    // The bytes read so far, in reading order, end with a reversed entry: the line begins with it.
    [[nodiscard]] bool Matches(State state) const noexcept { return matches[std::size_t(state)] != 0; }
    // Only the first Deepest() bytes of a line decide its state.
    [[nodiscard]] std::size_t Deepest() const noexcept { return deepest; }

private:
    [[nodiscard]] State Child(State state, uint8_t byte) const noexcept;  // -1 when there is none

    // Nodes in breadth-first order; the children of node v are nodes
    // firstChild[v] .. firstChild[v + 1] - 1, sorted by their byte.
    std::vector<int32_t> firstChild;
    std::vector<uint8_t> byteOf;
    std::vector<int32_t> fail;
    std::vector<uint8_t> matches;
    std::array<int32_t, 256> fromStart{};
    std::size_t deepest = 0;
};

// Pieces of CanGlueLines, shared with the linear pipeline.
[[nodiscard]] bool IsAllCapitals(std::string_view line) noexcept;
// CanGlueLines' rules 4 and 5: the characters either side of the break.
[[nodiscard]] bool BreakAllowsGlue(char upperLast, char lowerFirst) noexcept;

// Literal list operations. Each costs time proportional to the lines behind `index`; the
// pipeline itself gets the same results in one pass per stage.
void DeleteLine(WorkingList& list, std::size_t index);
// Drops line index's final hyphen and appends the next non-empty line, removing it and the
// empty lines between. The caller guarantees that a non-empty line follows.
void JoinHyphenatedLines(WorkingList& list, std::size_t index);
// Line index becomes itself, one space and line index + 1, which is removed.
void JoinLines(WorkingList& list, std::size_t index);

}  // namespace lepotex
