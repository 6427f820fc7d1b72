#pragma once
// How the glue commands fill a GlueRecord. The stages themselves record nothing: the decisions
// are read off the working list once they are all taken (its flags tell every join; the lines
// that are gone are found again by the tests that removed them), which keeps the stages as fast
// as without a record. Places are byte offsets in the written-out text until the line-break
// rules have run, and only then become paragraphs and columns.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/Position.h"
#include "engine/AutoReplace.h"
#include "engine/GlueRecord.h"
#include "engine/GluedText.h"
#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"
#include "engine/SplitCarons.h"
#include "settings/Settings.h"

namespace lepotex {

class TextEditor;

class GlueRecorder {
public:
    // Before stage 1: keeps the views of the old lines, which stay valid until the write-back.
    GlueRecorder(GlueRecord& record, const LineList& list, const Settings& settings);
    GlueRecorder(const GlueRecorder&) = delete;
    GlueRecorder& operator=(const GlueRecorder&) = delete;

    // Before the smart glue: the words whose letters were mended in the lines kept.
    void LettersMended(std::vector<CaronMend> words) { mended = std::move(words); }
    // After it: the words given back a hyphen, their `line` a piece of the list.
    void HyphensRestored(std::vector<CaronMend> words) { restored = std::move(words); }
    // After stage 5: every decision, placed in the text WriteOut makes of the list.
    void Resolve(const LineList& list);
    // After a line-break rule: `at` holds where each replacement starts in the new text.
    void RuleApplied(int32_t ruleIndex, const ReplacementRule& rule, std::span<const std::size_t> at);
    // After all the rules ran line by line: `places` in the result (WriteOutWithRules), the rule
    // of each an index into `rules`, whose indexes in the AutoReplace list are `ruleIndexes`.
    void RulesApplied(std::span<const int32_t> ruleIndexes, const std::vector<ReplacementRule>& rules,
                      std::span<const RulePlace> places);
    // The offsets become paragraphs and columns of the text the write-back inserts.
    void Place(const GluedText& glued);

private:
    // A rule's replacement as the record tells it, and how much of it stands on its first line.
    struct Shown {
        std::string text;
        int32_t length = 0;
    };
    static Shown ShownReplacement(const std::string& replacement);
    void AddReplacement(int32_t ruleIndex, const ReplacementRule& rule, const Shown& shown, std::size_t offset);

    GlueRecord& record;
    LineViews original;
    std::optional<Layout> layout;  // the smart glue's, analysed again
    bool measured = false;         // the smart glue measured its lines' widths
    std::vector<CaronMend> mended;
    std::vector<CaronMend> restored;
    std::vector<uint64_t, LargeAllocator<uint64_t>> offsets;  // one per change, until Place
    std::size_t resolved = 0;       // changes before the rules', in the text's order
};

// The second replacement pass, one in-place rule: finds where the editor's replace-all will
// replace, before it does. The caret and selection are left where they were.
std::vector<ParaPos> FindReplacements(TextEditor& editor, const ReplacementRule& rule);
// After the rule replaced at `at` (sorted, as found before the replacing): the changes behind
// each replacement move, and the replacements are added.
void InPlaceRuleApplied(GlueRecord& record, int32_t ruleIndex, const ReplacementRule& rule,
                        std::span<const ParaPos> at);

// "Slepit „přímou řeč“": a span joined, between its „ and its “ in the text after the scan.
struct SpeechSpan {
    std::size_t opening = 0;
    std::size_t closing = 0;
    std::string before;  // the span as it was, „ and “ included
};
// The spans placed in `collected`, the text after the scan (every paragraph followed by CR).
void RecordSpeech(GlueRecord& record, std::string_view collected, std::span<const SpeechSpan> spans);

}  // namespace lepotex
