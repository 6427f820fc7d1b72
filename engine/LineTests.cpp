#include "engine/LineTests.h"

#include <algorithm>
#include <cstdint>

#include "engine/CharSets.h"

namespace lepotex {
namespace {

bool IsHexDigit(char c) noexcept
{
    return IsDecimalDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int HexValue(char c) noexcept
{
    if (IsDecimalDigit(c))
        return c - '0';
    return (c >= 'a' ? c - 'a' : c - 'A') + 10;
}

// The standard integer notation: a signed decimal within 32 bits, or hexadecimal after
// "$", "x", "X", "0x" or "0X" that fits in 32 bits.
bool IsInt32Text(std::string_view s) noexcept
{
    std::size_t hexStart = 0;
    if (s.starts_with("0x") || s.starts_with("0X"))
        hexStart = 2;
    else if (!s.empty() && (s[0] == '$' || s[0] == 'x' || s[0] == 'X'))
        hexStart = 1;
    if (hexStart > 0) {
        std::string_view digits = s.substr(hexStart);
        if (digits.empty())
            return false;
        uint64_t value = 0;
        for (char c : digits) {
            if (!IsHexDigit(c))
                return false;
            value = value * 16 + HexValue(c);
            if (value > 0xFFFFFFFFu)
                return false;
        }
        return true;
    }
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return false;
    const uint64_t limit = negative ? 2147483648u : 2147483647u;
    uint64_t value = 0;
    for (char c : s) {
        if (!IsDecimalDigit(c))
            return false;
        value = value * 10 + uint64_t(c - '0');
        if (value > limit)
            return false;
    }
    return true;
}

bool IsBlank(char c) noexcept { return static_cast<uint8_t>(c) <= 0x20; }

bool StartsWithNoGlue(std::string_view line, const std::vector<std::string>& noGlue) noexcept
{
    for (const std::string& entry : noGlue)
        if (!entry.empty() && line.starts_with(entry))
            return true;
    return false;
}

}  // namespace

NoGlueMatcher::NoGlueMatcher(const std::vector<std::string>& entries)
{
    sorted.reserve(entries.size());
    for (const std::string& entry : entries)
        if (!entry.empty())
            sorted.emplace_back(entry);
    // string_view compares bytes as unsigned, as starts_with does.
    std::sort(sorted.begin(), sorted.end());
    // In sorted order the entries that begin with an entry follow it directly.
    std::size_t kept = 0;
    for (const std::string_view entry : sorted)
        if (kept == 0 || !entry.starts_with(sorted[kept - 1]))
            sorted[kept++] = entry;
    sorted.resize(kept);
    std::size_t at = 0;
    for (unsigned byte = 0; byte < 256; ++byte) {
        while (at < sorted.size() && uint8_t(sorted[at][0]) < byte)
            ++at;
        firstOf[byte] = uint32_t(at);
    }
    firstOf[256] = uint32_t(sorted.size());
    for (const std::string_view entry : sorted)
        longest = std::max(longest, entry.size());
}

bool NoGlueMatcher::StartsAnyOf(std::string_view line) const noexcept
{
    if (line.empty())
        return false;
    const auto byte = uint8_t(line[0]);
    const auto first = sorted.begin() + firstOf[byte];
    const auto last = sorted.begin() + firstOf[byte + 1];
    auto above = std::upper_bound(first, last, line);
    return above != first && line.starts_with(*--above);
}

bool NoGlueMatcher::SomeEntryStartsWith(std::string_view text) const noexcept
{
    if (text.empty())
        return !sorted.empty();
    const auto byte = uint8_t(text[0]);
    const auto last = sorted.begin() + firstOf[byte + 1];
    const auto at = std::lower_bound(sorted.begin() + firstOf[byte], last, text);
    return at != last && at->starts_with(text);
}

NoGlueAutomaton::NoGlueAutomaton(const NoGlueMatcher& matcher)
{
    std::vector<std::string> reversed;
    for (const std::string_view entry : matcher.Entries())
        if (entry.find(' ') != std::string_view::npos)
            reversed.emplace_back(entry.rbegin(), entry.rend());
    std::sort(reversed.begin(), reversed.end());
    // The trie, level by level: the strings of node v share its first depth[v] bytes and lie
    // in reversed[lo[v], hi[v]); in sorted order each child's strings follow one another.
    std::vector<uint32_t> lo{0};
    std::vector<uint32_t> hi{uint32_t(reversed.size())};
    std::vector<uint32_t> depth{0};
    byteOf.push_back(0);
    matches.push_back(0);
    for (std::size_t v = 0; v < lo.size(); ++v) {
        firstChild.push_back(int32_t(lo.size()));
        const std::size_t d = depth[v];
        std::size_t i = lo[v];
        while (i < hi[v] && reversed[i].size() == d)
            ++i;  // strings that end here sort first
        while (i < hi[v]) {
            const char byte = reversed[i][d];
            std::size_t j = i + 1;
            while (j < hi[v] && reversed[j][d] == byte)
                ++j;
            lo.push_back(uint32_t(i));
            hi.push_back(uint32_t(j));
            depth.push_back(uint32_t(d + 1));
            byteOf.push_back(uint8_t(byte));
            matches.push_back(reversed[i].size() == d + 1);
            deepest = std::max(deepest, d + 1);
            i = j;
        }
    }
    firstChild.push_back(int32_t(lo.size()));
    fromStart.fill(kStart);
    for (int32_t c = firstChild[0]; c < firstChild[1]; ++c)
        fromStart[byteOf[std::size_t(c)]] = c;
    // Failure links in breadth-first order, and with them whether a shorter entry ends too.
    fail.assign(lo.size(), kStart);
    for (std::size_t v = 0; v < lo.size(); ++v) {
        for (int32_t c = firstChild[v]; c < firstChild[v + 1]; ++c) {
            State f = v == 0 ? -1 : fail[v];
            State target = kStart;
            for (; f >= 0; f = f == kStart ? -1 : fail[std::size_t(f)]) {
                const State child = Child(f, byteOf[std::size_t(c)]);
                if (child >= 0) {
                    target = child;
                    break;
                }
            }
            fail[std::size_t(c)] = target;
            matches[std::size_t(c)] |= matches[std::size_t(target)];
        }
    }
}

NoGlueAutomaton::State NoGlueAutomaton::Child(State state, uint8_t byte) const noexcept
{
    if (state == kStart) {
        const State child = fromStart[byte];
        return child == kStart ? -1 : child;
    }
    const auto first = byteOf.begin() + firstChild[std::size_t(state)];
    const auto last = byteOf.begin() + firstChild[std::size_t(state) + 1];
    const auto at = std::lower_bound(first, last, byte);
    return at != last && *at == byte ? State(at - byteOf.begin()) : -1;
}

NoGlueAutomaton::State NoGlueAutomaton::Step(State state, uint8_t byte) const noexcept
{
    for (;;) {
        const State child = Child(state, byte);
        if (child >= 0)
            return child;
        if (state == kStart)
            return kStart;
        state = fail[std::size_t(state)];
    }
}

bool IsPageNumberLine(std::string_view line) noexcept
{
    if (line.empty() || line.front() != '-' || line.back() != '-')
        return false;
    std::string_view inner = line.size() <= 2 ? std::string_view{} : line.substr(1, line.size() - 2);
    while (!inner.empty() && IsBlank(inner.front()))
        inner.remove_prefix(1);
    while (!inner.empty() && IsBlank(inner.back()))
        inner.remove_suffix(1);
    return IsInt32Text(inner);
}

bool IsHyphenatedBreak(std::string_view upper, std::string_view lower) noexcept
{
    return upper.size() >= 3 && upper.back() == '-' && upper[upper.size() - 2] != ' ' && !lower.empty() &&
           IsLowercase(lower.front());
}

bool IsAllCapitals(std::string_view line) noexcept
{
    for (char c : line)
        if (!IsCapital(c))
            return false;
    return true;
}

bool BreakAllowsGlue(char upperLast, char lowerFirst) noexcept
{
    if (IsDecimalDigit(upperLast) || IsDecimalDigit(lowerFirst))
        return false;
    return !(IsSentenceEnd(upperLast) && !IsLowercase(lowerFirst));
}

bool CanGlueLines(std::string_view upper, std::string_view lower, const Settings& settings) noexcept
{
    if (upper.empty() || lower.empty())
        return false;
    if (StartsWithNoGlue(upper, settings.noGlue) || StartsWithNoGlue(lower, settings.noGlue))
        return false;
    if (settings.noCaps && (IsAllCapitals(upper) || IsAllCapitals(lower)))
        return false;
    return BreakAllowsGlue(upper.back(), lower.front());
}

void DeleteLine(WorkingList& list, std::size_t index)
{
    list.erase(list.begin() + std::ptrdiff_t(index));
}

void JoinHyphenatedLines(WorkingList& list, std::size_t index)
{
    std::string shortened = list[index];
    shortened.pop_back();
    while (list[index + 1].empty())
        DeleteLine(list, index + 1);
    list[index] = shortened + list[index + 1];
    DeleteLine(list, index + 1);
}

void JoinLines(WorkingList& list, std::size_t index)
{
    list[index] = list[index] + ' ' + list[index + 1];
    DeleteLine(list, index + 1);
}

}  // namespace lepotex
