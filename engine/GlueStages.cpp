#include "engine/GlueStages.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <vector>

namespace lepotex {
namespace {

std::size_t LeadingSpaces(std::string_view line) noexcept
{
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

// The no-glue entries by their first byte: a line is compared only with those it can begin
// with, instead of with every entry twice per line.
class NoGlueIndex {
public:
    explicit NoGlueIndex(const std::vector<std::string>& entries)
    {
        for (const std::string& entry : entries)
            if (!entry.empty())
                byFirstByte[uint8_t(entry[0])].push_back(entry);
    }
    bool StartsAnyOf(std::string_view line) const noexcept
    {
        if (line.empty())
            return false;
        for (std::string_view entry : byFirstByte[uint8_t(line[0])])
            if (line.starts_with(entry))
                return true;
        return false;
    }

private:
    std::array<std::vector<std::string_view>, 256> byFirstByte;
};

std::size_t LongestEntry(const std::vector<std::string>& entries) noexcept
{
    std::size_t longest = 0;
    for (const std::string& e : entries)
        longest = std::max(longest, e.size());
    return longest;
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
    // Compact in place: the lines kept move down over the ones joined away. Only a joined
    // line needs bytes of its own.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++kept) {
        if (!joinsNext[i]) {
            lines[kept] = lines[i++];
            continue;
        }
        std::size_t size = 0;
        std::size_t end = i;
        for (;;) {
            size += lines[end].size() - 1;
            if (!joinsNext[end])
                break;
            do
                ++end;
            while (lines[end].empty());
        }
        size += 1;  // the last line keeps its final character
        char* const joined = list.arena.Allocate(size);
        std::size_t at = 0;
        for (std::size_t k = i;; ++k) {
            if (lines[k].empty())
                continue;
            const std::size_t take = k == end ? lines[k].size() : lines[k].size() - 1;
            std::copy_n(lines[k].data(), take, joined + at);
            at += take;
            if (k == end)
                break;
        }
        lines[kept] = std::string_view(joined, size);
        i = end + 1;
    }
    lines.resize(kept);
    return steps;
}

int64_t GlueLineBreaks(LineList& list, const Settings& settings)
{
    assert(list.flags.empty());
    const LineViews& lines = list.pieces;
    const std::size_t n = lines.size();
    list.flags.assign(n, 0);
    if (n < 2)
        return 0;
    // CanGlueLines sees the lower line as already joined with the lines below it. Of that
    // line it needs only the first character (that of the original line), whether it is all
    // capitals (never, once it holds a joining space) and its first `prefixLength` bytes for
    // the no-glue entries, which may reach across a join. Keeping just that prefix makes each
    // decision cost no more than the literal test.
    const std::size_t prefixLength = LongestEntry(settings.noGlue);
    const NoGlueIndex noGlue(settings.noGlue);
    int64_t steps = 0;
    std::string lowerPrefix(lines[n - 1].substr(0, prefixLength));
    std::string prefix;
    bool lowerAllCapitals = IsAllCapitals(lines[n - 1]);
    for (std::size_t i = n - 1; i-- > 0;) {
        const std::string_view upper = lines[i];
        const std::string_view lower = lines[i + 1];
        bool join = false;
        if (!upper.empty() && !lower.empty()) {
            ++steps;
            join = !noGlue.StartsAnyOf(upper) && !noGlue.StartsAnyOf(lowerPrefix) &&
                   !(settings.noCaps && (IsAllCapitals(upper) || lowerAllCapitals)) &&
                   BreakAllowsGlue(upper.back(), lower.front());
        }
        // The two prefix strings are reused from line to line: no allocation per line.
        if (join) {
            list.flags[i] = LineList::kJoinsNext;
            ++list.joins;
            prefix.assign(upper.substr(0, prefixLength));
            if (prefix.size() < prefixLength) {
                prefix += ' ';
                prefix.append(lowerPrefix, 0, prefixLength - prefix.size());
            }
            lowerPrefix.swap(prefix);
            lowerAllCapitals = false;
        } else {
            lowerPrefix.assign(upper.substr(0, prefixLength));
            lowerAllCapitals = IsAllCapitals(upper);
        }
    }
    return steps;
}

int64_t Reindent(LineList& list, std::string_view indent)
{
    if (list.flags.empty())
        list.flags.assign(list.pieces.size(), 0);
    list.indent.assign(indent);
    int64_t steps = 0;
    bool startsLine = true;
    for (std::size_t i = 0; i < list.pieces.size(); ++i) {
        const bool first = startsLine;
        startsLine = (list.flags[i] & LineList::kJoinsNext) == 0;
        if (!first || list.pieces[i].empty())
            continue;  // an empty line takes no indent
        std::string_view& head = list.pieces[i];
        const std::size_t spaces = LeadingSpaces(head);
        if (spaces == head.size() && !startsLine) {
            // The joining space and what follows it would be leading spaces too: make the
            // line one piece. Never so after stage 1, which leaves no line starting blank.
            std::string whole(head);
            std::size_t last = i;
            while (list.flags[last] & LineList::kJoinsNext) {
                list.flags[last] &= uint8_t(~LineList::kJoinsNext);
                --list.joins;
                whole += ' ';
                whole += list.pieces[++last];
            }
            list.pieces.erase(list.pieces.begin() + std::ptrdiff_t(i) + 1, list.pieces.begin() + std::ptrdiff_t(last) + 1);
            list.flags.erase(list.flags.begin() + std::ptrdiff_t(i) + 1, list.flags.begin() + std::ptrdiff_t(last) + 1);
            whole.erase(0, LeadingSpaces(whole));
            head = list.arena.Store(whole);
            startsLine = true;
        } else {
            head.remove_prefix(spaces);
        }
        list.flags[i] |= LineList::kIndented;
        ++steps;
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
