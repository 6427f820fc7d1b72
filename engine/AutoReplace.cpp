#include "engine/AutoReplace.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "editor/EditorErrors.h"

namespace lepotex {
namespace {

constexpr std::size_t kRuleTailLimit = 255;

// Two memchr scans: find_first_of would search the set once per byte of the text.
bool HasLineEnd(std::string_view s) noexcept
{
    return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

// KMP failure function: fail[k] is the length of the longest proper border of search[0..k].
std::vector<std::size_t> FailureFunction(std::string_view search)
{
    std::vector<std::size_t> fail(search.size(), 0);
    for (std::size_t k = 1, border = 0; k < search.size(); ++k) {
        while (border > 0 && search[k] != search[border])
            border = fail[border - 1];
        if (search[k] == search[border])
            ++border;
        fail[k] = border;
    }
    return fail;
}

void GrowBy(int64_t& size, int64_t delta, int64_t maxBytes)
{
    size += delta;
    if (size > maxBytes)
        RaiseEditorError(kErrTextTooLarge);
}

// Replaces each occurrence once, left to right, going on behind each inserted text. What the
// text grows by is counted first: rules that each multiply a text (a space made a line of
// spaces) would otherwise write gigabytes before the last of them finds it too large.
void ReplaceOnce(std::string_view text, std::string_view search, std::string_view replacement, TextBuffer& out,
                 int64_t& size, int64_t maxBytes, std::vector<std::size_t>* places)
{
    if (replacement.size() > search.size()) {
        int64_t occurrences = 0;
        for (std::size_t at = 0; (at = text.find(search, at)) != std::string_view::npos; at += search.size())
            ++occurrences;
        int64_t grown = size;
        GrowBy(grown, occurrences * (int64_t(replacement.size()) - int64_t(search.size())), maxBytes);
    }
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::string_view::npos; from = at + search.size()) {
        GrowBy(size, int64_t(replacement.size()) - int64_t(search.size()), maxBytes);
        out.Append(text.substr(from, at - from));
        if (places)
            places->push_back(out.size());
        out.Append(replacement);
    }
    out.Append(text.substr(from));
}

}  // namespace

ReplacementRule ParseRule(std::string_view rule)
{
    ReplacementRule parsed;
    const std::size_t first = rule.find('\\');
    if (first == std::string_view::npos || first == 0 || first + 1 == rule.size())
        return parsed;
    parsed.search = rule.substr(0, first);
    const std::string_view tail = rule.substr(first + 1, kRuleTailLimit);
    const std::size_t second = tail.find('\\');
    parsed.replacement = tail.substr(0, second);
    if (second != std::string_view::npos) {
        parsed.hasOptionField = true;
        parsed.optionField = tail.substr(second + 1);
    }
    if (parsed.replacement.find("^p") != std::string::npos)
        parsed.kind = RuleKind::LineBreak;
    else if (parsed.search.find("^p") == std::string::npos && parsed.optionField.find("^p") == std::string::npos)
        parsed.kind = RuleKind::InPlace;
    return parsed;
}

SearchOptions RuleSearchOptions(const ReplacementRule& rule)
{
    SearchOptions options{.global = true, .replace = true, .replaceAll = true};
    if (!rule.hasOptionField) {
        options.wholeWord = true;
        options.matchCase = true;
    } else {
        options.wholeWord = rule.optionField.find_first_of("wW") != std::string::npos;
        options.matchCase = rule.optionField.find_first_of("cC") != std::string::npos;
    }
    return options;
}

std::string ExpandParagraphMarks(std::string_view replacement)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = replacement.find("^p", from)) != std::string_view::npos; from = at + 2) {
        out.append(replacement, from, at - from);
        out += "\r\n";
    }
    out.append(replacement, from);
    return out;
}

void ReplaceRepeatedly(std::string_view text, std::string_view search, std::string_view replacement,
                       TextBuffer& out, int64_t& size, int64_t maxBytes, std::vector<std::size_t>* places)
{
    if (search.empty()) {
        out.Append(text);
        return;
    }
    if (replacement.find(search) != std::string_view::npos) {
        ReplaceOnce(text, search, replacement, out, size, maxBytes, places);
        return;
    }

    // Stream the text through a KMP matcher into `out`, which never holds a whole occurrence.
    // The first match completed is therefore the leftmost occurrence of the whole text, the
    // one the literal rule replaces. Its replacement is fed through the matcher again, in
    // front of the rest, since it may form an occurrence with the bytes around it; an
    // occurrence cannot start before the last search.size() - 1 bytes of `out`, and the
    // matcher state recomputed over those bytes covers them.
    const std::vector<std::size_t> fail = FailureFunction(search);
    const std::size_t m = search.size();
    auto advance = [&](std::size_t state, char c) {
        while (state > 0 && search[state] != c)
            state = fail[state - 1];
        return search[state] == c ? state + 1 : state;
    };
    std::string pending;  // bytes to feed before the rest of `text`, in reverse order
    std::size_t next = 0;
    std::size_t state = 0;
    for (;;) {
        char c = 0;
        if (!pending.empty()) {
            c = pending.back();
            pending.pop_back();
        } else if (state == 0) {
            // No part of an occurrence is in `out`: the next one lies wholly in the rest of
            // the text, and the bytes before it go over as they are.
            const std::size_t at = text.find(search, next);
            if (at == std::string_view::npos)
                break;
            out.Append(text.substr(next, at - next));
            next = at + m;
            state = m;
        } else if (next < text.size()) {
            c = text[next++];
        } else {
            break;
        }
        if (state < m) {
            state = advance(state, c);
            out.Append(c);
            if (state < m)
                continue;
            out.Truncate(out.size() - m);
        }
        GrowBy(size, int64_t(replacement.size()) - int64_t(m), maxBytes);
        if (places)
            places->push_back(out.size());
        pending.append(replacement.rbegin(), replacement.rend());
        state = 0;
        for (std::size_t k = out.size() - std::min(out.size(), m - 1); k < out.size(); ++k)
            state = advance(state, out.data()[k]);
    }
    out.Append(text.substr(std::min(next, text.size())));
}

void ApplyLineBreakRule(GluedText& glued, const ReplacementRule& rule, int64_t maxBytes, std::vector<std::size_t>* at)
{
    const std::string replacement = ExpandParagraphMarks(rule.replacement);
    const std::string_view text = glued.text.View();
    if (!rule.search.empty() && text.find(rule.search) != std::string_view::npos) {
        int64_t size = int64_t(text.size());
        TextBuffer out(text.size() + text.size() / 8 + replacement.size() + 64);
        ReplaceRepeatedly(text, rule.search, replacement, out, size, maxBytes, at);
        glued.text = std::move(out);
        glued.lineEndsKnown = false;
        // Breaks are even unless a CR or LF of the rule itself took part.
        glued.unevenBreaks = glued.unevenBreaks || HasLineEnd(rule.search) || HasLineEnd(rule.replacement);
    }
    if (glued.unevenBreaks)
        EvenBreaks(glued);
}

namespace {

// Whether applying the rules to each line alone gives the text that applying them to the
// whole text does: no occurrence, found or made by a replacement, can hold a line break.
bool RulesStayWithinLines(const std::vector<ReplacementRule>& rules)
{
    return std::ranges::none_of(
        rules, [](const ReplacementRule& rule) { return HasLineEnd(rule.search) || HasLineEnd(rule.replacement); });
}

GluedText ApplyRulesOneByOne(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                             const std::function<void(const ReplacementRule&)>& applied)
{
    GluedText glued = WriteOut(list);
    for (const ReplacementRule& rule : rules) {
        ApplyLineBreakRule(glued, rule, maxBytes);
        applied(rule);
    }
    return glued;
}

}  // namespace

bool RunsLineByLine(const LineList& list, const std::vector<ReplacementRule>& rules)
{
    return !rules.empty() && RulesStayWithinLines(rules) && !list.lineBreaks;
}

void MapThroughReplacements(std::span<uint64_t> places, std::span<const std::size_t> at, std::string_view search,
                            std::string_view replacement)
{
    if (at.empty())
        return;
    const auto searchLength = int64_t(search.size());
    const auto replacementLength = int64_t(replacement.size());
    const int64_t delta = replacementLength - searchLength;
    int64_t shared = 0;
    while (shared < std::min(searchLength, replacementLength) &&
           search[std::size_t(searchLength - 1 - shared)] == replacement[std::size_t(replacementLength - 1 - shared)])
        ++shared;
    // Where each replacement stood in the text before the rule, and where it ended there.
    std::vector<int64_t> before(at.size());
    std::vector<int64_t> ends(at.size());
    for (std::size_t k = 0; k < at.size(); ++k) {
        before[k] = int64_t(at[k]) - int64_t(k) * delta;
        ends[k] = before[k] + searchLength;
    }
    for (uint64_t& place : places) {
        const auto x = int64_t(place);
        const auto k = std::size_t(std::ranges::upper_bound(ends, x) - ends.begin());
        if (k < at.size() && before[k] <= x) {
            const int64_t into = x - before[k];
            place = uint64_t(int64_t(at[k]) + (into >= searchLength - shared ? replacementLength - (searchLength - into)
                                                                             : std::min(into, replacementLength)));
        } else {
            place = uint64_t(x + int64_t(k) * delta);
        }
    }
}

namespace {

GluedText WriteOutWithRulesIn(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                              const std::function<void(const ReplacementRule&)>& applied,
                              std::vector<RulePlace>* places, const ChunkTaker* chunks)
{
    std::vector<std::string> replacements;
    std::string firstBytes;  // the bytes the rules' searches begin with
    for (const ReplacementRule& rule : rules) {
        replacements.push_back(ExpandParagraphMarks(rule.replacement));
        if (!rule.search.empty() && firstBytes.find(rule.search[0]) == std::string::npos)
            firstBytes += rule.search[0];
    }
    // A line that holds no rule's search is left alone by every rule, the later ones too:
    // nothing before them changed it. One look at each byte a search begins with tells, where
    // searching for each rule would read the line once a rule.
    auto anyRuleIn = [&](std::string_view line) {
        for (const char c : firstBytes)
            for (const char* at = static_cast<const char*>(std::memchr(line.data(), c, line.size())); at;
                 at = static_cast<const char*>(std::memchr(at + 1, c, std::size_t(line.data() + line.size() - at - 1)))) {
                const std::string_view rest(at, std::size_t(line.data() + line.size() - at));
                for (const ReplacementRule& rule : rules)
                    if (!rule.search.empty() && rule.search[0] == c && rest.starts_with(rule.search))
                        return true;
            }
        return false;
    };
    if (rules.empty() || !RulesStayWithinLines(rules) || list.lineBreaks) {
        if (chunks)
            throw StreamAbandoned{};
        return ApplyRulesOneByOne(list, rules, maxBytes, applied);
    }

    // What the rules did to the lines of one half of the text (or all of it).
    struct Rewrites {
        Rewrites(std::size_t rules, std::vector<RulePlace>* places)
            : grown(rules, 0), found(rules, false), failsAt(rules), inLine(places ? rules : 0), places(places)
        {
        }
        std::vector<int64_t> grown;
        std::vector<bool> found;
        TextBuffer current;
        TextBuffer next;
        bool tooLarge = false;
        int64_t unchangedSize = 0;  // the text before any rule
        std::size_t failsAt;        // a rule under which one line alone passed the limit
        std::size_t largestEnd = 0;  // the end of the furthest rewritten line
        // The replacements in the line being rewritten, each rule's moved by the rules after it.
        std::vector<std::vector<std::size_t>> inLine;
        std::vector<uint64_t> moved;
        std::vector<RulePlace>* places;  // where the replacements go, from the start of the half
    };
    auto hookOf = [&](Rewrites& r) {
        return [&](TextBuffer& out, std::size_t lineStart) {
            const std::string_view line = out.View().substr(lineStart);
            r.unchangedSize += int64_t(line.size()) + 2;
            if (line.empty() || !anyRuleIn(line))
                return false;
            TextBuffer& current = r.current;
            TextBuffer& next = r.next;
            current.Clear();
            current.Append(line);
            bool changed = false;
            for (auto& rulePlaces : r.inLine)
                rulePlaces.clear();
            for (std::size_t k = 0; k < std::min(rules.size(), r.failsAt); ++k) {
                if (rules[k].search.empty() || current.View().find(rules[k].search) == std::string_view::npos)
                    continue;
                r.found[k] = true;
                changed = true;
                next.Clear();
                // A line that alone grows past the limit under a rule makes the whole text pass
                // it under that rule (or an earlier one), one by one too.
                int64_t lineSize = int64_t(current.size());
                try {
                    ReplaceRepeatedly(current.View(), rules[k].search, replacements[k], next, lineSize, maxBytes,
                                      r.places ? &r.inLine[k] : nullptr);
                } catch (const EEditorError&) {
                    r.failsAt = k;
                    r.tooLarge = true;
                    break;
                }
                for (std::size_t j = 0; r.places && j < k; ++j) {
                    r.moved.assign(r.inLine[j].begin(), r.inLine[j].end());
                    MapThroughReplacements(r.moved, r.inLine[k], rules[k].search, replacements[k]);
                    r.inLine[j].assign(r.moved.begin(), r.moved.end());
                }
                r.grown[k] += int64_t(next.size()) - int64_t(current.size());
                std::swap(current, next);
                r.largestEnd = std::max(r.largestEnd, lineStart + current.size());
                r.tooLarge = r.tooLarge || int64_t(lineStart + current.size()) > maxBytes;
            }
            if (!changed)
                return false;
            // Past the limit the text is no longer kept, only what each rule adds: the sizes
            // below tell whether the rules one by one fail, as they nearly always then do.
            for (std::size_t k = 0; !r.tooLarge && k < r.inLine.size(); ++k)
                for (const std::size_t at : r.inLine[k])
                    r.places->push_back({lineStart + at, k});
            out.Truncate(lineStart);
            if (!r.tooLarge)
                out.Append(current.View());
            return true;
        };
    };
    // The halves of a long text are rewritten side by side, each with its own account and
    // places, added up after. The second half's lines were measured from its own start: one
    // that ends past the limit where it really stands makes the text again in one.
    Rewrites first(rules.size(), places);
    std::size_t secondAt = 0;
    GluedText glued;
    if (chunks) {
        // The hook measures a line's end from the chunk's start, short of where it stands;
        // `take` abandons the stream before the text passes the limit, where that would matter.
        WriteOutInChunks(list, hookOf(first), *chunks);
    } else {
        std::vector<RulePlace> secondPlaces;
        Rewrites second(rules.size(), places ? &secondPlaces : nullptr);
        glued = WriteOutInHalves(list, hookOf(first), hookOf(second), secondAt);
        const bool halved = secondAt != kNotHalved;
        if (secondAt == kHalvesOverflowed ||
            (halved && (second.tooLarge || first.tooLarge ||
                        (second.largestEnd > 0 && int64_t(secondAt + second.largestEnd) > maxBytes)))) {
            glued = GluedText();
            if (places)
                places->clear();
            first = Rewrites(rules.size(), places);
            glued = WriteOutInHalves(list, hookOf(first), nullptr, secondAt, false);
        } else if (halved) {
            if (places)
                for (const RulePlace& place : secondPlaces)
                    places->push_back({secondAt + place.at, place.rule});
            first.unchangedSize += second.unchangedSize;
            for (std::size_t k = 0; k < rules.size(); ++k) {
                first.grown[k] += second.grown[k];
                first.found[k] = first.found[k] || second.found[k];
            }
        }
    }
    const std::vector<int64_t>& grown = first.grown;
    const std::vector<bool>& found = first.found;
    const bool tooLarge = first.tooLarge;
    const std::size_t failsAt = first.failsAt;
    // One rule after the other checks the size after each replacement. All replacements of
    // a rule change it by the same amount, so the largest size a rule checks is the one after
    // it if it grows the text, and the one after its first replacement if it shrinks it.
    int64_t size = first.unchangedSize;
    for (std::size_t k = 0; k < rules.size(); ++k) {
        const int64_t step = int64_t(replacements[k].size()) - int64_t(rules[k].search.size());
        const int64_t largest = step >= 0 ? size + grown[k] : size + step;
        if (k == failsAt || (found[k] && largest > maxBytes)) {
            if (chunks)
                throw StreamAbandoned{};
            if (tooLarge)
                for (std::size_t done = 0; done < k; ++done)
                    applied(rules[done]);
            RaiseEditorError(kErrTextTooLarge);
        }
        size += grown[k];
        if (!tooLarge)
            applied(rules[k]);
    }
    // A later rule made the text small again: the text is made once more, rule by rule.
    if (tooLarge && chunks)
        throw StreamAbandoned{};
    if (tooLarge) {
        glued = GluedText();
        if (places)
            places->clear();
        return ApplyRulesOneByOne(list, rules, maxBytes, applied);
    }
    return glued;
}

}  // namespace

GluedText WriteOutWithRules(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                            const std::function<void(const ReplacementRule&)>& applied, std::vector<RulePlace>* places)
{
    return WriteOutWithRulesIn(list, rules, maxBytes, applied, places, nullptr);
}

void WriteOutWithRulesInChunks(const LineList& list, const std::vector<ReplacementRule>& rules, int64_t maxBytes,
                               const std::function<void(const ReplacementRule&)>& applied, const ChunkTaker& take)
{
    (void)WriteOutWithRulesIn(list, rules, maxBytes, applied, nullptr, &take);
}

}  // namespace lepotex
