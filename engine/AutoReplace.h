#pragma once
// The user's automatic replacement rules ("search\replacement" or
// "search\replacement\options"): parsing, and the first pass, which applies the rules that
// insert paragraph breaks ("^p") to the working list. The other rules run later through the
// editor's own replace-all, with the options RuleSearchOptions gives.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/SearchOptions.h"
#include "engine/GluedText.h"
#include "engine/LineTests.h"

namespace lepotex {

enum class RuleKind {
    NotApplied,  // no "\", empty search text, nothing after the first "\", or a stray "^p"
    LineBreak,   // the replacement holds "^p": first pass, on the working list
    InPlace,     // no "^p" anywhere: second pass, in the editor
};

struct ReplacementRule {
    RuleKind kind = RuleKind::NotApplied;
    std::string search;
    std::string replacement;  // as written, "^p" not yet expanded
    bool hasOptionField = false;
    std::string optionField;
};

// Only the first 255 bytes after the first "\" are read.
[[nodiscard]] ReplacementRule ParseRule(std::string_view rule);
// The editor options of an in-place rule: replace every occurrence in the whole text; whole
// words and matching case when there is no option field, else as its "w" and "c" say.
[[nodiscard]] SearchOptions RuleSearchOptions(const ReplacementRule& rule);
// The replacement of a line-break rule with every "^p", left to right, made CR LF.
[[nodiscard]] std::string ExpandParagraphMarks(std::string_view replacement);

// Replaces the first occurrence of `search` and searches again from the start, until there
// is none; when `replacement` holds `search` itself (which would never end), every occurrence
// is replaced once, left to right, and the search goes on behind the inserted text. Linear in
// the text plus the bytes the replacements insert. Appends the result to `out`. Throws
// EEditorError (the editor's "text too large" message) when the text would grow past
// `maxBytes`; `size` is the text's size as counted against that limit and is kept up to date.
// `at`, when given, gets where each replacement starts in `out`.
void ReplaceRepeatedly(std::string_view text, std::string_view search, std::string_view replacement,
                       TextBuffer& out, int64_t& size, int64_t maxBytes, std::vector<std::size_t>* at = nullptr);

// Applies one line-break rule to the working list written out as text; the lines it makes
// are those of the text cut at CR LF, CR and LF, as EvenBreaks leaves them.
void ApplyLineBreakRule(GluedText& glued, const ReplacementRule& rule, int64_t maxBytes,
                        std::vector<std::size_t>* at = nullptr);

// Writes the list out (WriteOut) and applies the line-break rules to it in order, calling
// `applied` after each rule. The result, and the EEditorError when the text would grow past
// `maxBytes`, are those of applying one rule after the other to the whole text; but where
// no rule can act across a line break, the rules run on each line as it is written, which
// spares a pass over the book per rule.
//
// `places`, when given and the rules run line by line (RunsLineByLine), gets where each
// replacement stands in the result: the rule's index in `rules` and its start.
struct RulePlace {
    std::size_t at = 0;
    std::size_t rule = 0;
};
GluedText WriteOutWithRules(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                            const std::function<void(const ReplacementRule&)>& applied,
                            std::vector<RulePlace>* places = nullptr);
// The same text handed to `take` a few lines at a time (WriteOutInChunks), for rules that run
// line by line: where the whole text would fail or be made rule by rule, StreamAbandoned is
// thrown, after what `take` was given. `take` sees every chunk before the text can pass
// `maxBytes`, and must throw StreamAbandoned when the text given so far does.
void WriteOutWithRulesInChunks(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                               const std::function<void(const ReplacementRule&)>& applied, const ChunkTaker& take);
// Whether WriteOutWithRules runs the rules on each line as it is written.
[[nodiscard]] bool RunsLineByLine(const LineList& list, const std::vector<ReplacementRule>& rules);

// Places in a text before a rule replaced at `at` (where each replacement starts in the text
// after it, left to right) become places in the text after it. A place inside a replaced text
// keeps to the end the search text and the replacement share ("“ „" and "“^p„" share the „),
// else to its start.
void MapThroughReplacements(std::span<uint64_t> places, std::span<const std::size_t> at, std::string_view search,
                            std::string_view replacement);

}  // namespace lepotex
