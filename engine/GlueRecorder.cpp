#include "engine/GlueRecorder.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>

#include "editor/TextEditor.h"
#include "engine/Hyphenation.h"
#include "engine/LineTests.h"
#include "engine/LineWidths.h"

namespace lepotex {
namespace {

// A break is told by the words on either side of it, so much of each at most.
constexpr std::size_t kWordBytes = 24;
constexpr std::size_t kShapeBytes = 40;

// A page line as a reader knows it: without the form feed a PDF's text starts a page with, and
// the spaces that stood it in its place.
std::string_view Trimmed(std::string_view line)
{
    while (!line.empty() && (line.front() == '\f' || line.front() == ' '))
        line.remove_prefix(1);
    return TrimTrailingSpaces(line);
}

// With the spaces behind it, which stay in the new text too.
std::string_view LastWord(std::string_view line)
{
    const std::string_view word = TrimTrailingSpaces(line);
    const std::size_t space = word.rfind(' ');
    std::size_t start = space == std::string_view::npos ? 0 : space + 1;
    start = std::max(start, word.size() - std::min(word.size(), kWordBytes));
    return line.substr(start);
}

std::string_view FirstWord(std::string_view line)
{
    line.remove_prefix(LeadingSpaceCount(line));
    return line.substr(0, std::min({line.find(' '), line.size(), kWordBytes}));
}

// What page lines of one kind share: the line with its numbers as "#".
std::string FurnitureShape(std::string_view line)
{
    std::string shape;
    for (const char c : Trimmed(line).substr(0, kShapeBytes)) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit)
            shape += c;
        else if (shape.empty() || shape.back() != '#')
            shape += '#';
    }
    return shape;
}

// Why the smart glue went as it did at a break between two text lines. It asks in the order
// the glue decides: the indent, the width, the paragraph mark, and the line tests last.
BreakReason ExplainBreak(const Layout& layout, const LineShape& upper, const LineShape& lower, bool kept,
                         bool measured)
{
    if (layout.linesAreParagraphs)
        return BreakReason::WholeParagraph;
    if (layout.mark == ParagraphMark::Indent && lower.lead > 0)
        return BreakReason::Indent;
    if (measured)  // the room the line leaves decided, with how the break looks
        return kept ? BreakReason::ShortLine : BreakReason::FullLine;
    if (layout.width > 0 && NextWordFits(upper, lower, layout.width))
        return BreakReason::ShortLine;
    switch (layout.mark) {
    case ParagraphMark::Indent:
        return BreakReason::Indent;
    case ParagraphMark::Blank:
        return BreakReason::BlankLine;
    case ParagraphMark::Neither:
        break;
    }
    return layout.width == 0 || kept ? BreakReason::LineTests : BreakReason::FullLine;
}

// Whether a wrapper could have broken the word at this hyphen: then keeping it is a guess.
bool LegalBreak(Hyphenator& hyphenator, std::string_view upper, std::string_view lower)
{
    std::size_t start = upper.size() - 1;
    while (start > 0 && IsLetterByte(uint8_t(upper[start - 1])))
        --start;
    std::size_t end = 0;
    while (end < lower.size() && IsLetterByte(uint8_t(lower[end])))
        ++end;
    const std::string_view fragment = upper.substr(start, upper.size() - 1 - start);
    return hyphenator.IsBreakPoint(std::string(fragment) + std::string(lower.substr(0, end)), fragment.size());
}

std::string WithLineFeeds(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// At one place a page line that went comes first: it stood before the break that follows it.
bool ByPlace(const Change& a, const Change& b)
{
    if (a.paraNo != b.paraNo)
        return a.paraNo < b.paraNo;
    if (a.column != b.column)
        return a.column < b.column;
    return a.kind == ChangeKind::PageLine && b.kind != ChangeKind::PageLine;
}

}  // namespace

GlueRecorder::GlueRecorder(GlueRecord& record, const LineList& list, const Settings& settings)
    : record(record), original(list.pieces)
{
    record.Clear();
    record.smart = settings.smart;
    if (settings.smart) {
        layout = AnalyseLayout(original);
        measured = layout->fullFrom > 0 && LinesMeasurable(original, *layout);
    }
}

void GlueRecorder::Resolve(const LineList& list)
{
    const LineViews& pieces = list.pieces;
    const std::size_t n = pieces.size();
    // The old line each piece came from, found by the tests that removed the others: page
    // lines, and (plain) the empty lines a hyphen join skipped or (smart) the blank lines
    // dropped before the word's second part, where the upper piece joins on.
    std::vector<uint32_t, LargeAllocator<uint32_t>> source;
    std::vector<uint32_t> pageLines;
    source.reserve(n);
    bool mapped = true;
    if (layout) {
        LayoutFound& found = record.layout;
        found = LayoutFound();
        found.known = true;
        found.width = layout->width;
        found.mark = layout->mark;
        found.indent = layout->indent;
        found.linesAreParagraphs = layout->linesAreParagraphs;
        found.measured = measured;
        found.ragged = measured && LinesRagged(original, *layout);
        std::map<std::string, int64_t> forms;
        std::vector<uint32_t> blanks;
        std::vector<uint32_t> notes;  // footnotes' lines, written behind the paragraph they stood in
        std::size_t lastText = n;
        for (std::size_t i = 0; i < original.size() && mapped; ++i) {
            switch (layout->roles[i]) {
            case LineRole::PageLine:
                pageLines.push_back(uint32_t(i));
                ++forms[FurnitureShape(original[i])];
                break;
            case LineRole::PageBlank:
                ++found.pageBlanks;
                break;
            case LineRole::Blank:
                blanks.push_back(uint32_t(i));
                break;
            case LineRole::NoteStart:
                ++found.notes;
                [[fallthrough]];
            case LineRole::Note:
                if (!layout->shapes[i].Blank())
                    notes.push_back(uint32_t(i));
                break;
            case LineRole::Text: {
                const bool continues = lastText < n && (list.Flags(lastText) & LineList::kContinues);
                if (!continues) {
                    source.insert(source.end(), notes.begin(), notes.end());
                    notes.clear();
                    source.insert(source.end(), blanks.begin(), blanks.end());
                }
                blanks.clear();
                lastText = source.size();
                source.push_back(uint32_t(i));
                mapped = source.size() <= n;
                break;
            }
            }
        }
        source.insert(source.end(), notes.begin(), notes.end());
        source.insert(source.end(), blanks.begin(), blanks.end());
        found.pageLines = int64_t(pageLines.size());
        found.numbersCut = int64_t(layout->cuts.size());
        for (auto& [shape, lines] : forms)
            found.furniture.push_back({shape, lines});
        std::ranges::stable_sort(found.furniture, [](const auto& a, const auto& b) { return a.lines > b.lines; });
    } else {
        bool joining = false;
        for (std::size_t i = 0; i < original.size() && mapped; ++i) {
            const std::string_view line = original[i].substr(LeadingSpaceCount(original[i]));
            if (IsPageNumberLine(line)) {
                pageLines.push_back(uint32_t(i));
                continue;
            }
            if (joining && line.empty())
                continue;
            mapped = source.size() < n;
            if (mapped) {
                joining = list.Flags(source.size()) & LineList::kHyphenNext;
                source.push_back(uint32_t(i));
            }
        }
    }
    mapped = mapped && source.size() == n;

    // Where each piece starts in the written-out text, as WriteOut lays it out.
    std::vector<uint64_t, LargeAllocator<uint64_t>> start(n + 1);
    uint64_t at = 0;
    for (std::size_t k = 0; k < n; ++k) {
        const uint8_t flags = list.Flags(k);
        if (flags & LineList::kIndented)
            at += list.indent.size();
        start[k] = at;
        at += pieces[k].size() - ((flags & LineList::kHyphenNext) ? 1 : 0);
        if (!(flags & LineList::kContinues))
            at += 2;
        else if (flags & LineList::kJoinsNext)
            at += 1;
    }
    start[n] = at;

    // About a change per piece, told by two short words: one allocation, not a growing series.
    // The line-break rules' replacements come after them, so there is room for as many again:
    // room never written costs no memory (these arrays are mapped by themselves), where growing
    // them would copy a book's record into fresh pages.
    const std::size_t removed = pageLines.size() + (layout ? layout->cuts.size() : 0);
    record.Reserve(2 * (n + removed), (n + removed) * 16);
    offsets.reserve(2 * (n + removed));
    auto add = [&](Change change, uint64_t offset, std::string_view first, std::string_view second) {
        record.Add(change, first, second);
        offsets.push_back(offset);
    };
    auto reason = [&](std::size_t upper, std::size_t lower, bool kept) {
        if (!layout)
            return kept ? BreakReason::LineTests : BreakReason::None;
        if (!mapped)
            return BreakReason::None;
        const auto note = [&](std::size_t piece) {
            const LineRole role = layout->roles[source[piece]];
            return role == LineRole::NoteStart || role == LineRole::Note;
        };
        if (note(lower))
            return BreakReason::Footnote;
        // Behind the notes the break is the one the page's text had, above them.
        while (note(upper)) {
            if (upper == 0)
                return BreakReason::None;
            --upper;
        }
        return ExplainBreak(*layout, layout->shapes[source[upper]], layout->shapes[source[lower]], kept, measured);
    };
    auto oldLine = [&](std::size_t k) { return mapped ? int32_t(source[k]) + 1 : 0; };
    std::unique_ptr<Hyphenator> hyphenator;
    std::size_t nextPageLine = 0;
    auto addPageLines = [&](uint32_t before, uint64_t offset) {
        for (; nextPageLine < pageLines.size() && pageLines[nextPageLine] < before; ++nextPageLine) {
            const uint32_t line = pageLines[nextPageLine];
            add({.kind = ChangeKind::PageLine, .oldLine = int32_t(line) + 1}, offset, Trimmed(original[line]), {});
        }
    };
    // What of a piece stands in the new text: a hyphen it ends with may go.
    auto content = [&](std::size_t piece) {
        return pieces[piece].substr(0, pieces[piece].size() - ((list.Flags(piece) & LineList::kHyphenNext) ? 1 : 0));
    };
    // A page number cut off a line of text went too, where it stood: before the line's text or
    // behind it, and so behind a word it broke.
    std::span<const LineCut> cuts;
    if (layout && mapped)
        cuts = layout->cuts;
    std::size_t nextCut = 0;
    auto addCut = [&](std::size_t k, bool atStart) {
        if (nextCut < cuts.size() && cuts[nextCut].line == source[k] && cuts[nextCut].atStart == atStart) {
            const LineCut& cut = cuts[nextCut++];
            add({.kind = ChangeKind::PageLine, .oldLine = int32_t(cut.line) + 1},
                atStart ? start[k] : start[k] + content(k).size(), cut.removed, {});
        }
    };
    // The words mended, where they stand in the new text, up to `before`: those whose letters
    // were mended by the line they came from, those given a hyphen back by their piece. A line
    // cut or given its hyphen anew was copied elsewhere: its words are found in the copy, one
    // after the other.
    struct Mends {
        const std::vector<CaronMend>& words;
        bool byPiece;
        std::size_t next = 0;
        std::size_t copiedPiece = SIZE_MAX;
        std::size_t copiedFrom = 0;  // where the copy's last word placed ends
    };
    std::array<Mends, 2> mends{Mends{mended, false}, Mends{restored, true}};
    auto addMends = [&](std::size_t k, uint64_t before) {
        if (!mapped)
            return;
        const std::string_view line = original[source[k]];
        const auto lead = uintptr_t(pieces[k].data()) - uintptr_t(line.data());
        const bool within = uintptr_t(pieces[k].data()) >= uintptr_t(line.data()) && lead <= line.size();
        for (Mends& m : mends) {
            const std::size_t key = m.byPiece ? k : source[k];
            if (!within && m.copiedPiece != k) {
                m.copiedPiece = k;
                m.copiedFrom = 0;
            }
            while (m.next < m.words.size() && m.words[m.next].line < key)
                ++m.next;
            for (; m.next < m.words.size() && m.words[m.next].line == key; ++m.next) {
                const CaronMend& word = m.words[m.next];
                const std::size_t at = within ? word.at - lead : pieces[k].find(word.after, m.copiedFrom);
                if (within ? word.at < lead || at >= pieces[k].size() : at == std::string_view::npos)
                    continue;
                const uint64_t offset = start[k] + at;
                if (offset >= before)
                    break;
                if (!within)
                    m.copiedFrom = at + word.after.size();
                // A hyphen put back is a guess from the word alone: worth a look.
                add({.kind = ChangeKind::LetterMended,
                     .doubtful = word.hyphen,
                     .length = int32_t(word.after.size()),
                     .oldLine = oldLine(k)},
                    offset, word.before, word.after);
            }
        }
    };
    constexpr uint64_t kLineEnd = UINT64_MAX;
    for (std::size_t k = 0; k < n; ++k) {
        if (mapped)
            addPageLines(source[k], start[k]);
        while (nextCut < cuts.size() && cuts[nextCut].line < source[k])
            ++nextCut;
        addCut(k, true);
        const uint8_t flags = list.Flags(k);
        const std::string_view upper = pieces[k];
        if (flags & LineList::kContinues) {
            const std::string_view lower = content(k + 1);
            const std::string_view first = LastWord(upper);
            const std::string_view second = FirstWord(lower);
            const uint64_t offset = start[k] + uint64_t(first.data() - upper.data());
            Change change{.oldLine = oldLine(k)};
            change.length = int32_t(start[k + 1] + uint64_t(second.data() - lower.data()) + second.size() - offset);
            if (flags & LineList::kHyphenNext) {
                change.kind = ChangeKind::HyphenRemoved;
            } else if (flags & LineList::kAdjoinsNext) {
                change.kind = ChangeKind::HyphenKept;
                if (!hyphenator)
                    hyphenator = std::make_unique<Hyphenator>();
                change.doubtful = LegalBreak(*hyphenator, TrimTrailingSpaces(upper), lower);
            } else {
                change.kind = ChangeKind::LineGlued;
                change.reason = reason(k, k + 1, false);
                change.doubtful = layout && change.reason == BreakReason::LineTests;
            }
            addMends(k, offset);
            add(change, offset, first, second);
            addMends(k, kLineEnd);
            addCut(k, false);
            continue;
        }
        addMends(k, kLineEnd);
        addCut(k, false);
        if (upper.empty())
            continue;
        std::size_t next = k + 1;
        while (next < n && pieces[next].empty())
            ++next;
        if (next == n)
            continue;
        const std::string_view second = FirstWord(content(next));
        Change change{.kind = ChangeKind::ParagraphKept, .length = int32_t(second.size()), .oldLine = oldLine(next)};
        change.reason = next > k + 1 ? BreakReason::BlankLine : reason(k, next, true);
        change.doubtful = layout && change.reason == BreakReason::LineTests && layout->width == 0;
        if (mapped)  // a page line before the paragraph stood before the break too
            addPageLines(source[next], start[next]);
        add(change, start[next] + uint64_t(second.data() - pieces[next].data()), TrimTrailingSpaces(LastWord(upper)),
            second);
    }
    if (mapped)
        addPageLines(uint32_t(original.size()), start[n]);
    resolved = record.changes.size();
}

void GlueRecorder::RuleApplied(int32_t ruleIndex, const ReplacementRule& rule, std::span<const std::size_t> at)
{
    if (at.empty())
        return;
    const std::string replacement = ExpandParagraphMarks(rule.replacement);
    MapThroughReplacements(offsets, at, rule.search, replacement);
    const Shown shown = ShownReplacement(replacement);
    for (const std::size_t offset : at)
        AddReplacement(ruleIndex, rule, shown, offset);
}

void GlueRecorder::RulesApplied(std::span<const int32_t> ruleIndexes, const std::vector<ReplacementRule>& rules,
                                std::span<const RulePlace> places)
{
    if (places.empty())
        return;
    // Every replacement at its place in the result: the places before them move by the
    // differences of those in front, as one rule after the other would move them.
    std::vector<RulePlace> sorted(places.begin(), places.end());
    std::ranges::stable_sort(sorted, {}, &RulePlace::at);
    std::vector<std::string> replacements;
    for (const ReplacementRule& rule : rules)
        replacements.push_back(ExpandParagraphMarks(rule.replacement));
    std::vector<int64_t> before(sorted.size());  // where each stood in the text before the rules
    std::vector<int64_t> ends(sorted.size());
    int64_t grown = 0;
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        before[k] = int64_t(sorted[k].at) - grown;
        ends[k] = before[k] + int64_t(rules[sorted[k].rule].search.size());
        grown += int64_t(replacements[sorted[k].rule].size()) - int64_t(rules[sorted[k].rule].search.size());
    }
    std::vector<int64_t> grownBefore(sorted.size() + 1, 0);
    for (std::size_t k = 0; k < sorted.size(); ++k)
        grownBefore[k + 1] = grownBefore[k] + int64_t(replacements[sorted[k].rule].size()) -
                             int64_t(rules[sorted[k].rule].search.size());
    std::size_t k = 0;  // the first replacement that ends behind the offset
    int64_t last = 0;
    for (uint64_t& offset : offsets) {
        const auto x = int64_t(offset);
        // The decisions come in the text's order, so the replacement is found by walking on.
        if (x < last)
            k = std::size_t(std::ranges::upper_bound(ends, x) - ends.begin());
        while (k < ends.size() && ends[k] <= x)
            ++k;
        last = x;
        if (k < sorted.size() && before[k] <= x) {
            uint64_t inside = uint64_t(x - before[k]);
            const std::size_t rule = sorted[k].rule;
            const std::array<std::size_t, 1> at = {0};
            MapThroughReplacements(std::span(&inside, 1), at, rules[rule].search, replacements[rule]);
            offset = sorted[k].at + inside;
        } else {
            offset = uint64_t(x + grownBefore[k]);
        }
    }
    std::vector<Shown> shown;
    for (const std::string& replacement : replacements)
        shown.push_back(ShownReplacement(replacement));
    for (const RulePlace& place : sorted)
        AddReplacement(ruleIndexes[place.rule], rules[place.rule], shown[place.rule], place.at);
}

GlueRecorder::Shown GlueRecorder::ShownReplacement(const std::string& replacement)
{
    return {WithLineFeeds(replacement), int32_t(std::min(replacement.find_first_of("\r\n"), replacement.size()))};
}

void GlueRecorder::AddReplacement(int32_t ruleIndex, const ReplacementRule& rule, const Shown& shown,
                                  std::size_t offset)
{
    record.Add({.kind = ChangeKind::Rule, .doubtful = true, .length = shown.length, .rule = ruleIndex}, rule.search,
               shown.text);
    offsets.push_back(offset);
}

void GlueRecorder::Place(const GluedText& glued)
{
    const LineViews lines = glued.Lines();
    std::vector<uint64_t, LargeAllocator<uint64_t>> lineStart(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
        lineStart[i] = uint64_t(lines[i].data() - glued.text.data());
    std::size_t line = 0;
    for (std::size_t i = 0; i < record.changes.size(); ++i) {
        Change& change = record.changes[i];
        // The decisions come in the text's order: the next line is found by walking on.
        if (line >= lineStart.size() || lineStart[line] > offsets[i]) {
            line = std::size_t(std::ranges::upper_bound(lineStart, offsets[i]) - lineStart.begin());
            line = line > 0 ? line - 1 : 0;
        }
        while (line + 1 < lineStart.size() && lineStart[line + 1] <= offsets[i])
            ++line;
        if (line >= lines.size()) {  // an empty text
            change.paraNo = 1;
            change.column = 1;
            change.length = 0;
            continue;
        }
        const auto size = int64_t(lines[line].size());
        const int64_t column = std::min(int64_t(offsets[i] - lineStart[line]), size);
        change.paraNo = int32_t(line) + 1;
        change.column = int32_t(column) + 1;
        change.length = int32_t(std::clamp(int64_t(change.length), int64_t(0), size - column));
    }
    offsets.clear();
    // The decisions are in the order of the text already; the rules' replacements go in
    // among them.
    auto& changes = record.changes;
    const auto rulesStart = changes.begin() + std::ptrdiff_t(std::min(resolved, changes.size()));
    // Rules run line by line give theirs in the text's order already, and a sort would still
    // ask for a buffer as large as they are.
    if (!std::is_sorted(rulesStart, changes.end(), ByPlace))
        std::stable_sort(rulesStart, changes.end(), ByPlace);
    std::inplace_merge(changes.begin(), rulesStart, changes.end(), ByPlace);
}

std::vector<ParaPos> FindReplacements(TextEditor& editor, const ReplacementRule& rule)
{
    SearchOptions options = RuleSearchOptions(rule);
    options.global = false;  // from the caret on, each search behind the last one found
    const ParaPos anchor = editor.Anchor();
    const ParaPos caret = editor.Caret();
    std::vector<ParaPos> at;
    editor.SetCaret({1, 1});
    while (editor.Search(rule.search, options)) {
        at.push_back(editor.SelStart());
        editor.SetCaret(editor.SelEnd());
    }
    editor.SetSelection(anchor, caret);
    return at;
}

void InPlaceRuleApplied(GlueRecord& record, int32_t ruleIndex, const ReplacementRule& rule,
                        std::span<const ParaPos> at)
{
    if (at.empty())
        return;
    auto& changes = record.changes;
    const auto searchLength = int32_t(std::min(rule.search.size(), std::size_t(255)));
    const auto replacementLength = int32_t(std::min(rule.replacement.size(), std::size_t(255)));
    const int32_t delta = replacementLength - searchLength;
    const std::size_t before = changes.size();
    for (std::size_t first = 0; first < at.size();) {
        std::size_t last = first;
        while (last < at.size() && at[last].paraNo == at[first].paraNo)
            ++last;
        const std::span<const ParaPos> inPara = at.subspan(first, last - first);
        // The changes of the paragraph behind each replacement move by its difference.
        const auto [from, to] = std::equal_range(changes.begin(), changes.begin() + std::ptrdiff_t(before),
                                                 Change{.paraNo = at[first].paraNo}, [](const Change& a, const Change& b) {
                                                     return a.paraNo < b.paraNo;
                                                 });
        for (auto change = from; change != to; ++change) {
            const auto behind = std::ranges::count_if(
                inPara, [&](const ParaPos& pos) { return pos.column + searchLength <= change->column; });
            change->column += int32_t(behind) * delta;
        }
        for (std::size_t k = 0; k < inPara.size(); ++k) {
            Change& added = record.Add({.kind = ChangeKind::Rule, .doubtful = true, .length = replacementLength,
                                        .rule = ruleIndex},
                                       rule.search, rule.replacement);
            added.paraNo = inPara[k].paraNo;
            added.column = inPara[k].column + int32_t(k) * delta;
        }
        first = last;
    }
    std::inplace_merge(changes.begin(), changes.begin() + std::ptrdiff_t(before), changes.end(), ByPlace);
}

void RecordSpeech(GlueRecord& record, std::string_view collected, std::span<const SpeechSpan> spans)
{
    record.Clear();
    std::size_t at = 0;
    std::size_t lineStart = 0;
    int32_t paraNo = 1;
    for (const SpeechSpan& span : spans) {
        for (; at < span.opening; ++at) {
            if (collected[at] == '\r' || collected[at] == '\n') {
                ++paraNo;
                lineStart = at + 1;
            }
        }
        const std::string_view after = collected.substr(span.opening, span.closing + 1 - span.opening);
        const std::size_t length = std::min(after.find_first_of("\r\n"), after.size());
        Change change{.kind = ChangeKind::Speech, .paraNo = paraNo, .column = int32_t(span.opening - lineStart) + 1,
                      .length = int32_t(length)};
        record.Add(change, WithLineFeeds(span.before), WithLineFeeds(after));
    }
}

}  // namespace lepotex
