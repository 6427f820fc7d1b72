#include "engine/GlueStages.h"

#include <algorithm>
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

std::size_t LongestEntry(const std::vector<std::string>& entries) noexcept
{
    std::size_t longest = 0;
    for (const std::string& e : entries)
        longest = std::max(longest, e.size());
    return longest;
}

}  // namespace

int64_t RemoveIndentation(WorkingList& list)
{
    for (std::string& line : list)
        line.erase(0, LeadingSpaces(line));
    return int64_t(list.size());
}

int64_t RemovePageNumbers(WorkingList& list)
{
    const auto steps = int64_t(list.size());
    std::erase_if(list, [](const std::string& line) { return IsPageNumberLine(line); });
    return steps;
}

int64_t JoinHyphenatedWords(WorkingList& list)
{
    const std::size_t n = list.size();
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
        if (list[i].empty())
            continue;
        if (i + 1 < n) {
            ++steps;
            joinsNext[i] = partner < n && IsHyphenatedBreak(list[i], list[partner]);
        }
        partner = i;
    }
    // Compact in place: the lines kept move down over the ones joined away.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++kept) {
        std::string joined = std::move(list[i]);
        while (joinsNext[i]) {
            joined.pop_back();
            do
                ++i;
            while (list[i].empty());
            joined += list[i];
        }
        list[kept] = std::move(joined);
        ++i;
    }
    list.resize(kept);
    return steps;
}

int64_t GlueLineBreaks(WorkingList& list, const Settings& settings)
{
    const std::size_t n = list.size();
    if (n < 2)
        return 0;
    // CanGlueLines sees the lower line as already joined with the lines below it. Of that
    // line it needs only the first character (that of the original line), whether it is all
    // capitals (never, once it holds a joining space) and its first `prefixLength` bytes for
    // the no-glue entries, which may reach across a join. Keeping just that prefix makes each
    // decision cost no more than the literal test.
    const std::size_t prefixLength = LongestEntry(settings.noGlue);
    std::vector<bool> joinsNext(n, false);
    int64_t steps = 0;
    std::string lowerPrefix = list[n - 1].substr(0, prefixLength);
    std::string prefix;
    bool lowerAllCapitals = IsAllCapitals(list[n - 1]);
    for (std::size_t i = n - 1; i-- > 0;) {
        const std::string& upper = list[i];
        const std::string& lower = list[i + 1];
        bool join = false;
        if (!upper.empty() && !lower.empty()) {
            ++steps;
            join = !StartsWithNoGlue(upper, settings.noGlue) && !StartsWithNoGlue(lowerPrefix, settings.noGlue) &&
                   !(settings.noCaps && (IsAllCapitals(upper) || lowerAllCapitals)) &&
                   BreakAllowsGlue(upper.back(), lower.front());
        }
        joinsNext[i] = join;
        // The two prefix strings are reused from line to line: no allocation per line.
        if (join) {
            prefix.assign(upper, 0, prefixLength);
            if (prefix.size() < prefixLength) {
                prefix += ' ';
                prefix.append(lowerPrefix, 0, prefixLength - prefix.size());
            }
            lowerPrefix.swap(prefix);
            lowerAllCapitals = false;
        } else {
            lowerPrefix.assign(upper, 0, prefixLength);
            lowerAllCapitals = IsAllCapitals(upper);
        }
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < n; ++kept) {
        std::size_t end = i;
        std::size_t size = list[i].size();
        while (joinsNext[end]) {
            ++end;
            size += 1 + list[end].size();
        }
        std::string joined = std::move(list[i]);
        // A little room for the indent of stage 5, so that it does not reallocate.
        joined.reserve(size + 16);
        for (std::size_t k = i + 1; k <= end; ++k) {
            joined += ' ';
            joined += list[k];
            std::string().swap(list[k]);  // freed now, for the next paragraph to reuse
        }
        list[kept] = std::move(joined);
        i = end + 1;
    }
    list.resize(kept);
    return steps;
}

int64_t Reindent(WorkingList& list, std::string_view indent)
{
    int64_t steps = 0;
    for (std::string& line : list) {
        if (line.empty())
            continue;
        line.replace(0, LeadingSpaces(line), indent);
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
