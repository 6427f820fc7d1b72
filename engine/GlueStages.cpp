#include "engine/GlueStages.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <optional>
#include <string>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/LineTests.h"

namespace lepotex {
namespace {

std::size_t LeadingSpaces(std::string_view line) noexcept
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

}  // namespace

int64_t RemoveIndentation(LineList& list)
{
    assert(list.flags.empty());
    for (std::string_view& line : list.pieces)
        line.remove_prefix(LeadingSpaces(line));
    return int64_t(list.pieces.size());
}

int64_t RemovePageNumbers(LineList& list)
{
    assert(list.flags.empty());
    const auto steps = int64_t(list.pieces.size());
    std::erase_if(list.pieces, [](std::string_view line) { return IsPageNumberLine(line); });
    return steps;
}

int64_t JoinHyphenatedWords(LineList& list)
{
    assert(list.flags.empty());
    LineViews& lines = list.pieces;
    const std::size_t n = lines.size();
    if (n < 2)
        return 0;
    // A join never empties a line and never changes a line's first character, and the
    // partner of line i is always the nearest non-empty line after it in the original list
    // (only empty lines lie between, and they cannot be partners of anything). So every
    // decision can be taken on the original lines first, and the joins done afterwards.
    std::vector<bool> joinsNext(n, false);
    int64_t steps = 0;
    std::size_t partner = n;  // nearest non-empty line after i; n when there is none
    for (std::size_t i = n; i-- > 0;) {
        if (lines[i].empty())
            continue;
        if (i + 1 < n) {
            ++steps;
            joinsNext[i] = partner < n && IsHyphenatedBreak(lines[i], lines[partner]);
        }
        partner = i;
    }
    // The empty lines between a line and its partner go; the join itself is only marked, and
    // made when the list is written out.
    list.flags.assign(n, 0);
    std::size_t kept = 0;
    bool joining = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (joining && lines[i].empty())
            continue;
        lines[kept] = lines[i];
        joining = joinsNext[i];
        if (joining) {
            list.flags[kept] = LineList::kHyphenNext;
            ++list.joins;
        }
        ++kept;
    }
    lines.resize(kept);
    list.flags.resize(kept);
    return steps;
}

FirstStagesWalk::FirstStagesWalk(LineList& list, const Settings& settings, bool inPlace)
    : list(list), noGlue(settings.noGlue), inPlace(inPlace)
{
    assert(list.flags.empty() && (inPlace || list.pieces.empty()));
    if (inPlace) {
        list.flags.assign(list.pieces.size(), 0);
        done.facts.resize(list.pieces.size());
    }
}

void FirstStagesWalk::Reserve(std::size_t lines)
{
    list.pieces.reserve(lines);
    list.flags.reserve(lines);
    done.facts.reserve(lines);
}

void FirstStagesWalk::Add(std::string_view line)
{
    // The lines kept go to the front, each as stage 2 leaves it. A line that continues a word
    // broken at the end of the last non-empty one (its partner in stage 3) takes the empty
    // lines between them away with it.
    ++done.lineSteps;
    line.remove_prefix(LeadingSpaces(line));
    if (IsPageNumberLine(line))
        return;
    ++done.unnumbered;
    lastEmpty = line.empty();
    if (!lastEmpty) {
        ++nonEmpty;
        if (lastFull != kNone && IsHyphenatedBreak(list.pieces[lastFull], line)) {
            list.flags[lastFull] = LineList::kHyphenNext;
            ++list.joins;
            const std::string_view upper = list.pieces[lastFull];
            done.facts[lastFull].SetAllCapitals(IsAllCapitals(upper.substr(0, upper.size() - 1)));
            kept = lastFull + 1;
            if (!inPlace) {
                list.pieces.resize(kept);
                list.flags.resize(kept);
                done.facts.resize(kept);
            }
        }
        lastFull = kept;
    }
    const PieceFacts facts = PieceFacts::Of(line, line, noGlue);
    if (inPlace) {
        // Never ahead of the line read: the slot's line is read already.
        list.pieces[kept] = line;
        done.facts[kept] = facts;
    } else {
        list.pieces.push_back(line);
        list.flags.push_back(0);
        done.facts.push_back(facts);
    }
    ++kept;
}

FirstStages FirstStagesWalk::Finish()
{
    list.pieces.resize(kept);
    list.flags.resize(kept);
    done.facts.resize(kept);
    done.hyphenSteps = done.unnumbered < 2 ? 0 : nonEmpty - (lastEmpty ? 0 : 1);
    return std::move(done);
}

FirstStages RunFirstStages(LineList& list, const Settings& settings)
{
    FirstStagesWalk walk(list, settings, true);
    const std::size_t n = list.pieces.size();
    for (std::size_t i = 0; i < n; ++i) {
        ReadAhead(list.pieces[i].data());
        walk.Add(list.pieces[i]);
    }
    return walk.Finish();
}

int64_t GlueLineBreaks(LineList& list, const Settings& settings, const PieceFactList* known)
{
    const LineViews& pieces = list.pieces;
    const std::size_t n = pieces.size();
    if (list.flags.empty())
        list.flags.assign(n, 0);
    auto& flags = list.flags;
    int64_t steps = 0;
    if (n == 0)
        return steps;
    // A line is a run of pieces that stage 3 joined. Its bytes are needed only through its
    // first and last character, whether it is all capitals, and its first few bytes.
    auto firstPiece = [&](std::size_t last) {
        while (last > 0 && (flags[last - 1] & LineList::kHyphenNext))
            --last;
        return last;
    };
    auto content = [&](std::size_t k) {
        std::string_view piece = pieces[k];
        if (flags[k] & LineList::kHyphenNext)
            piece.remove_suffix(1);
        return piece;
    };
    // What the loop asks of a piece's bytes, taken from them once: by the pass before, which
    // read them anyway, or here. The loop then reads from the bytes only for no-glue entries
    // that a join may reach.
    const NoGlueMatcher noGlue(settings.noGlue);
    PieceFactList own;
    if (!known) {
        own.reserve(n);
        for (std::size_t k = 0; k < n; ++k)
            own.push_back(PieceFacts::Of(pieces[k], content(k), noGlue));
    }
    const PieceFactList& facts = known ? *known : own;
    assert(facts.size() == n);
    auto allCapitals = [&](std::size_t first, std::size_t last) {
        for (std::size_t k = first; k <= last; ++k)
            if (!facts[k].AllCapitals())
                return false;
        return true;
    };
    // CanGlueLines sees the lower line as already joined with the lines below it. Of that
    // line it needs only the first character (that of the original line), whether it is all
    // capitals (never, once it holds a joining space) and whether it begins with a no-glue
    // entry. That last answer is carried from step to step: a line that is not joined keeps
    // the answer it had as the upper line; a joined one begins with an entry only through one
    // that reaches across the joining space, which the automaton follows at the cost of the
    // bytes the join adds. It is made only once a join could meet such an entry, and it
    // follows a line only from the first join that needs it.
    const std::size_t prefixLength = noGlue.Longest();
    auto startOf = [&](std::size_t first, std::size_t last, std::string& into) {
        into.clear();
        for (std::size_t k = first; k <= last && into.size() < prefixLength; ++k)
            into.append(content(k).substr(0, prefixLength - into.size()));
    };
    std::optional<NoGlueAutomaton> across;
    NoGlueAutomaton::State lowerState = NoGlueAutomaton::kStart;
    bool lowerStateKnown = false;
    // Reads the upper line (pieces first .. last) backwards, as the start of the joined line.
    auto readUpperBackwards = [&](std::size_t first, std::size_t last) {
        for (std::size_t k = last + 1; k-- > first;) {
            const std::string_view piece = content(k);
            for (std::size_t b = piece.size(); b-- > 0;)
                lowerState = across->Step(lowerState, uint8_t(piece[b]));
        }
    };
    // The state of the lower line read backwards from its end: only its first Deepest()
    // bytes count, gathered through its joins.
    std::string gathered;
    auto stateOfLine = [&](std::size_t first) {
        gathered.clear();
        for (std::size_t k = first; gathered.size() < across->Deepest(); ++k) {
            gathered.append(content(k).substr(0, across->Deepest() - gathered.size()));
            if (!(flags[k] & LineList::kContinues) || gathered.size() >= across->Deepest())
                break;
            if (flags[k] & LineList::kJoinsNext)
                gathered += ' ';
        }
        gathered.resize(std::min(gathered.size(), across->Deepest()));
        NoGlueAutomaton::State state = NoGlueAutomaton::kStart;
        for (std::size_t b = gathered.size(); b-- > 0;)
            state = across->Step(state, uint8_t(gathered[b]));
        return state;
    };
    // The strings are reused from line to line: no allocation per line.
    std::string upperPrefix;
    std::string probe;
    std::size_t lowerFirst = firstPiece(n - 1);
    startOf(lowerFirst, n - 1, upperPrefix);
    bool lowerNoGlue = noGlue.StartsAnyOf(upperPrefix);
    bool lowerAllCapitals = allCapitals(lowerFirst, n - 1);
    while (lowerFirst > 0) {
        const std::size_t upperLast = lowerFirst - 1;
        const std::size_t upperFirst = firstPiece(upperLast);
        const bool single = upperFirst == upperLast;  // most lines: their piece is the line
        const bool upperEmpty = single && pieces[upperFirst].empty();
        const bool lowerEmpty = pieces[lowerFirst].empty();  // a joined line never starts empty
        // An entry is no longer than the first piece's own text: the piece tells.
        const bool ownStart = single || content(upperFirst).size() >= prefixLength;
        if (!ownStart)
            startOf(upperFirst, upperLast, upperPrefix);
        const bool upperNoGlue = ownStart ? facts[upperFirst].StartsNoGlue() : noGlue.StartsAnyOf(upperPrefix);
        bool join = false;
        if (!upperEmpty && !lowerEmpty) {
            ++steps;
            join = !upperNoGlue && !lowerNoGlue &&
                   !(settings.noCaps && (allCapitals(upperFirst, upperLast) || lowerAllCapitals)) &&
                   facts[upperLast].AllowGlue(facts[lowerFirst]);
        }
        if (join) {
            flags[upperLast] |= LineList::kJoinsNext;
            ++list.joins;
            // The upper line's start, the whole line when it is shorter than every entry; a
            // first piece that holds an entry's length holds no line shorter.
            const std::string_view upperStart =
                single ? pieces[upperFirst] : ownStart ? std::string_view() : std::string_view(upperPrefix);
            bool reachable = lowerStateKnown;
            if (!reachable && (single || !ownStart) && upperStart.size() < prefixLength) {
                probe.assign(upperStart);
                probe += ' ';
                reachable = noGlue.SomeEntryStartsWith(probe);
            }
            if (reachable) {
                if (!across)
                    across.emplace(noGlue);
                if (!lowerStateKnown)
                    lowerState = stateOfLine(lowerFirst);
                lowerState = across->Step(lowerState, ' ');
                readUpperBackwards(upperFirst, upperLast);
                lowerStateKnown = true;
                lowerNoGlue = across->Matches(lowerState);
            } else {
                lowerNoGlue = false;
            }
            lowerAllCapitals = false;
        } else {
            lowerNoGlue = upperNoGlue;
            lowerStateKnown = false;
            lowerAllCapitals = allCapitals(upperFirst, upperLast);
        }
        lowerFirst = upperFirst;
    }
    return steps;
}

int64_t Reindent(LineList& list, std::string_view indent, bool unindented)
{
    if (list.flags.empty())
        list.flags.assign(list.pieces.size(), 0);
    list.indent.assign(indent);
    int64_t steps = 0;
    for (std::size_t first = 0; first < list.pieces.size(); ++first) {
        std::size_t last = first;
        while (list.flags[last] & LineList::kContinues)
            ++last;
        std::string_view& head = list.pieces[first];
        // Only the first bytes of each line are read here, a page or more apart in a long book.
        if (!unindented)
            ReadAhead(head.data());
        if (head.empty()) {  // an empty line takes no indent; joined lines never start empty
            first = last;
            continue;
        }
        const std::size_t spaces = unindented ? 0 : LeadingSpaces(head);
        if (spaces == head.size() && last != first) {
            // The joining space and what follows it would be leading spaces too: make the
            // line one piece. Never so after stage 1, which leaves no line starting blank.
            std::string whole = list.LineText(first, last);
            list.joins -= last - first;
            list.pieces.erase(list.pieces.begin() + std::ptrdiff_t(first) + 1, list.pieces.begin() + std::ptrdiff_t(last) + 1);
            list.flags.erase(list.flags.begin() + std::ptrdiff_t(first) + 1, list.flags.begin() + std::ptrdiff_t(last) + 1);
            whole.erase(0, LeadingSpaces(whole));
            head = list.arena.Store(whole);
            list.flags[first] = 0;
            last = first;
        } else {
            head.remove_prefix(spaces);
        }
        list.flags[first] |= LineList::kIndented;
        ++steps;
        first = last;
    }
    return steps;
}

std::string MakeIndentString(uint8_t indentSize)
{
    std::string indent(14, ' ');
    if (indentSize >= 1 && indentSize <= 14)
        indent.resize(indentSize - 1u);
    return indent;
}

}  // namespace lepotex
