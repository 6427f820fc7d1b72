#include "engine/SmartGlue.h"

#include <array>
#include <bitset>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/Hyphenation.h"
#include "engine/LineTests.h"

namespace lepotex {
namespace {

std::string_view Content(std::string_view line) noexcept
{
    line.remove_prefix(LeadingSpaceCount(line));
    return TrimTrailingSpaces(line);
}

bool IsLowercaseLetter(uint8_t byte) noexcept { return IsLetterByte(byte) && ToLowerByte(byte) == byte; }

// The letters before the final hyphen of a line, and those a line starts with.
std::string_view Fragment(std::string_view upper) noexcept
{
    std::size_t start = upper.size() - 1;
    while (start > 0 && IsLetterByte(uint8_t(upper[start - 1])))
        --start;
    return upper.substr(start, upper.size() - 1 - start);
}

std::string_view Tail(std::string_view lower) noexcept
{
    std::size_t end = 0;
    while (end < lower.size() && IsLetterByte(uint8_t(lower[end])))
        ++end;
    return lower.substr(0, end);
}

std::string Lowered(std::string_view word)
{
    std::string lower(word);
    for (char& c : lower)
        c = char(ToLowerByte(uint8_t(c)));
    return lower;
}

struct TransparentHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>()(s); }
};

// The words whose other occurrences in the book are wanted, and how often each was seen. The
// book is read once, and a word is looked up only when its first letter and length could
// make it one of them.
class WordCounter {
public:
    void Want(std::string word)
    {
        if (word.empty() || word.size() >= lengths.size())
            return;
        firstBytes[uint8_t(word[0])] = true;
        lengths[word.size()] = true;
        counts.try_emplace(std::move(word), 0);
    }
    // `skipFirst`: the line continues a word broken at the line above, so its first word is
    // only a part.
    void CountIn(std::string_view line, bool skipFirst)
    {
        std::size_t at = 0;
        if (skipFirst)
            at = std::min(line.find(' '), line.size());
        while (at < line.size()) {
            std::size_t end = line.find(' ', at);
            if (end == std::string_view::npos)
                end = line.size();
            std::string_view token = line.substr(at, end - at);
            at = end + 1;
            // A word broken at the line end is no occurrence of itself.
            if (end == line.size() && token.ends_with('-'))
                continue;
            while (!token.empty() && !IsLetterByte(uint8_t(token.front())))
                token.remove_prefix(1);
            while (!token.empty() && !IsLetterByte(uint8_t(token.back())))
                token.remove_suffix(1);
            if (token.empty() || token.size() >= lengths.size() || !lengths[token.size()] ||
                !firstBytes[ToLowerByte(uint8_t(token[0]))])
                continue;
            buffer.assign(token);
            for (char& c : buffer)
                c = char(ToLowerByte(uint8_t(c)));
            if (const auto found = counts.find(std::string_view(buffer)); found != counts.end())
                ++found->second;
        }
    }
    uint32_t Count(std::string_view word) const
    {
        const auto found = counts.find(word);
        return found == counts.end() ? 0 : found->second;
    }
    bool Empty() const { return counts.empty(); }

private:
    std::array<bool, 256> firstBytes{};
    std::bitset<64> lengths;
    std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> counts;
    std::string buffer;
};

// The line tests that do not look at the break itself: a no-glue entry at the line's start, a
// line wholly in capitals.
bool KeptApart(std::string_view line, const Settings& settings)
{
    for (const std::string& entry : settings.noGlue)
        if (!entry.empty() && line.starts_with(entry))
            return true;
    return settings.noCaps && IsAllCapitals(line);
}

}  // namespace

BreakDecision DecideBreak(std::string_view upper, std::string_view lower, const Layout& layout,
                          const Settings& settings)
{
    const std::string_view up = Content(upper);
    const std::string_view low = Content(lower);
    if (layout.mark == ParagraphMark::Indent && LeadingSpaceCount(lower) > 0)
        return BreakDecision::Paragraph;
    if (up.size() >= 2 && up.back() == '-' && up[up.size() - 2] != ' ' && up[up.size() - 2] != '-') {
        const auto before = uint8_t(up[up.size() - 2]);
        const auto first = uint8_t(low[0]);
        if (IsLetterByte(before) && IsLowercaseLetter(first))
            return BreakDecision::Hyphen;
        // A compound that goes on in capitals or digits: "Frýdek-Místek", "1914-1918".
        if ((IsLetterByte(before) || (before >= '0' && before <= '9')) &&
            (IsLetterByte(first) || (first >= '0' && first <= '9')))
            return BreakDecision::Adjoin;
    }
    // A greedy wrapper would have put the next word on this line had it fitted.
    if (layout.width > 0 && NextWordFits(upper, lower, layout.width))
        return BreakDecision::Paragraph;
    switch (layout.mark) {
    case ParagraphMark::Indent:
        return BreakDecision::Join;
    case ParagraphMark::Blank:
        // Also across page furniture with blank lines on both sides: where a paragraph ended
        // there, its last line is short enough for the test above, else nothing tells.
        return BreakDecision::Join;
    case ParagraphMark::Neither:
        break;
    }
    if (layout.width == 0)
        return CanGlueLines(up, low, settings) ? BreakDecision::Join : BreakDecision::Paragraph;
    // A full line that ends a sentence mostly goes on with the paragraph: the width has said
    // what the punctuation would guess. Headings still keep apart.
    return KeptApart(up, settings) || KeptApart(low, settings) ? BreakDecision::Paragraph : BreakDecision::Join;
}

bool HyphenKept(std::string_view upper, std::string_view lower, Hyphenator& hyphenator, const WordEvidence& evidence)
{
    const std::string_view fragment = Fragment(Content(upper));
    const std::string_view tail = Tail(Content(lower));
    // No wrapper of Czech leaves fewer letters on either side: "je-li", "chcete-li".
    if (fragment.size() < kLettersBeforeBreak || tail.size() < kLettersAfterBreak)
        return true;
    if (evidence.hyphenated != evidence.joined)
        return evidence.hyphenated > evidence.joined;
    // A stammer repeats the start of a word the book knows: "pou-pouta", "ne-nemohu".
    if (evidence.tail > 0 && Lowered(tail).starts_with(Lowered(fragment)))
        return true;
    if (!hyphenator.Loaded())
        return false;  // the plain glue's answer
    return !hyphenator.IsBreakPoint(std::string(fragment) + std::string(tail), fragment.size());
}

int64_t GlueByLayout(LineList& list, const Settings& settings)
{
    LineViews lines;
    lines.swap(list.pieces);
    const std::size_t n = lines.size();
    const Layout layout = AnalyseLayout(lines);

    LineViews& pieces = list.pieces;
    pieces.reserve(n);
    list.flags.clear();
    list.joins = 0;
    struct Pending {
        std::size_t piece;
        std::size_t upper;
        std::size_t lower;
    };
    std::vector<Pending> hyphens;
    std::size_t previous = SIZE_MAX;  // the last text line, while no blank line followed it
    for (std::size_t i = 0; i < n; ++i) {
        switch (layout.roles[i]) {
        case LineRole::PageLine:
        case LineRole::PageBlank:
            continue;
        case LineRole::Blank:
            pieces.emplace_back();
            list.flags.push_back(0);
            previous = SIZE_MAX;
            continue;
        case LineRole::Text:
            break;
        }
        if (previous != SIZE_MAX) {
            uint8_t flag = 0;
            switch (DecideBreak(lines[previous], lines[i], layout, settings)) {
            case BreakDecision::Paragraph:
                break;
            case BreakDecision::Join:
                flag = LineList::kJoinsNext;
                break;
            case BreakDecision::Adjoin:
                flag = LineList::kAdjoinsNext;
                break;
            case BreakDecision::Hyphen:
                flag = LineList::kAdjoinsNext;  // until the book's words are counted
                hyphens.push_back({pieces.size() - 1, previous, i});
                break;
            }
            if (flag) {
                list.flags.back() = flag;
                ++list.joins;
            }
        }
        pieces.push_back(Content(lines[i]));
        list.flags.push_back(0);
        previous = i;
    }

    if (!hyphens.empty()) {
        WordCounter words;
        for (const Pending& h : hyphens) {
            const std::string fragment = Lowered(Fragment(Content(lines[h.upper])));
            const std::string tail = Lowered(Tail(Content(lines[h.lower])));
            words.Want(fragment + tail);
            words.Want(fragment + '-' + tail);
            words.Want(tail);
        }
        std::vector<bool> continues(n, false);
        for (const Pending& h : hyphens)
            continues[h.lower] = true;
        for (std::size_t i = 0; i < n; ++i)
            if (layout.roles[i] == LineRole::Text)
                words.CountIn(Content(lines[i]), continues[i]);
        Hyphenator hyphenator;
        for (const Pending& h : hyphens) {
            const std::string fragment = Lowered(Fragment(Content(lines[h.upper])));
            const std::string tail = Lowered(Tail(Content(lines[h.lower])));
            const WordEvidence evidence{words.Count(fragment + tail), words.Count(fragment + '-' + tail),
                                        words.Count(tail)};
            if (!HyphenKept(lines[h.upper], lines[h.lower], hyphenator, evidence))
                list.flags[h.piece] = LineList::kHyphenNext;
        }
    }
    return int64_t(n);
}

}  // namespace lepotex
