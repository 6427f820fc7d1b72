#include "engine/SplitLines.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/CharSets.h"
#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

constexpr std::size_t kSampleLines = 40'000;
constexpr std::size_t kLongestCounted = 1024;
constexpr std::size_t kLeastRun = 3;
// No word is longer, leading spaces included: a longer line is no piece, told by its length
// alone, without reading it.
constexpr std::size_t kLongestPiece = 48;

std::string_view Trimmed(std::string_view line)
{
    std::size_t from = 0;
    while (from < line.size() && (line[from] == ' ' || line[from] == '\f'))
        ++from;
    return TrimTrailingSpaces(line.substr(from));
}

// Whether the lines from `i` on are short enough to start a run, by their lengths alone.
bool AllShort(const LineViews& pieces, std::size_t i)
{
    for (std::size_t k = i; k < i + kLeastRun; ++k)
        if (pieces[k].size() > kLongestPiece)
            return false;
    return true;
}

// Whether a line holds a space between two of its words: the usual line, told in a look.
bool HasInnerSpace(std::string_view line) { return Trimmed(line).find(' ') != std::string_view::npos; }

bool AllDigits(std::string_view text)
{
    return std::ranges::all_of(text, [](char c) { return IsDecimalDigit(c); });
}

bool IsOpeningQuote(char c) { return c == '\x84' || c == '\x82' || c == '\xbb' || c == '"'; }
bool IsClosingQuote(char c) { return c == '\x93' || c == '\x91' || c == '\xab' || c == '"'; }

// A line of one word that may be a piece of a line cut into its words; not a page number, nor
// "„Ano.“", a word of speech and a paragraph of its own. (Pieces of two or three words would
// take in verse, whose short lines fit in one line of prose as well.)
bool IsPiece(std::string_view piece)
{
    if (piece.empty() || piece.find(' ') != std::string_view::npos || piece.find('\t') != std::string_view::npos)
        return false;
    if (AllDigits(piece))
        return false;
    return !(piece.size() >= 2 && IsOpeningQuote(piece.front()) && IsClosingQuote(piece.back()));
}

// The length the book's full lines reach: that of its ninth line in ten, the longest but the
// few longest, of the lines holding a space.
std::size_t FullLength(const LineViews& pieces)
{
    std::array<std::size_t, kLongestCounted + 1> lengths{};
    std::size_t lines = 0;
    for (std::size_t i = 0; i < pieces.size() && lines < kSampleLines; ++i) {
        const std::string_view line = Trimmed(pieces[i]);
        if (line.find(' ') == std::string_view::npos)
            continue;
        ++lengths[std::min(line.size(), kLongestCounted)];
        ++lines;
    }
    std::size_t seen = 0, length = 0;
    while (length < kLongestCounted && (seen + lengths[length]) * 10 < lines * 9)
        seen += lengths[length++];
    return lines >= 20 ? length : 0;
}

// Whether the text before a run is a line of several words: the line kept last, or at the top
// of a page the last one of the page before, behind the page's feed, number and blank lines.
bool AfterALineOfWords(const LineViews& kept, std::size_t count, bool pageBreak)
{
    constexpr std::size_t kFurnitureLines = 4;
    for (std::size_t k = count; k-- > 0 && count - k <= kFurnitureLines + 1;) {
        const std::string_view line = Trimmed(kept[k]);
        if (HasInnerSpace(line))
            return k + 1 == count || pageBreak;
        pageBreak = pageBreak || kept[k].find('\f') != std::string_view::npos;
        if (!line.empty() && !AllDigits(line))
            return false;
    }
    return false;
}

}  // namespace

int64_t RejoinLinesCutIntoWords(LineList& list)
{
    LineViews& pieces = list.pieces;
    const std::size_t full = FullLength(pieces);
    if (full < 25 || full >= kLongestCounted)
        return 0;
    int64_t rejoined = 0;
    std::size_t kept = 0;
    // Most lines are longer than a word, as are one or both of the two after them: they are
    // looked at no further (the book's text is not read there, which costs more than all the
    // rest), and stay where they are until a run has been joined before them.
    const auto keep = [&](std::size_t i) {
        if (kept != i)
            pieces[kept] = pieces[i];
        ++kept;
    };
    for (std::size_t i = 0; i < pieces.size();) {
        // Inside the text: a line of several words before the run, none of its words alone; or
        // a paragraph's first line after a blank one (a heading's, say), where the paragraph
        // goes on in lower case below the run.
        if (i + kLeastRun > pieces.size() || !AllShort(pieces, i) || HasInnerSpace(pieces[i])) {
            keep(i++);
            continue;
        }
        const bool afterWords = AfterALineOfWords(pieces, kept, pieces[i].starts_with('\f'));
        if (!afterWords && (kept == 0 || !Trimmed(pieces[kept - 1]).empty())) {
            keep(i++);
            continue;
        }
        std::size_t end = i;
        std::size_t length = 0;
        std::size_t lower = 0;
        while (end < pieces.size() && pieces[end].size() <= kLongestPiece && IsPiece(Trimmed(pieces[end]))) {
            // One line lies on one page: a page's feed starts another.
            if (end > i && pieces[end].front() == '\f')
                break;
            const std::string_view piece = Trimmed(pieces[end]);
            const std::size_t longer = length + (end > i ? 1 : 0) + piece.size();
            if (longer > full + full / 8)
                break;
            length = longer;
            lower += IsLowercase(piece.front()) ? 1 : 0;
            ++end;
        }
        const std::size_t words = end - i;
        const bool goesOn = afterWords || (end < pieces.size() && HasInnerSpace(pieces[end]) &&
                                           IsLowercase(Trimmed(pieces[end]).front()));
        if (words < kLeastRun || lower * 2 < words || !goesOn) {
            keep(i++);
            continue;
        }
        // The first line's leading spaces (an indent, a feed) stay as they were.
        const std::string_view first = pieces[i];
        std::string line(first.data(), std::size_t(Trimmed(first).data() - first.data()));
        for (std::size_t k = i; k < end; ++k) {
            if (k > i)
                line += ' ';
            line += Trimmed(pieces[k]);
        }
        list.fullLines.push_back(uint32_t(kept));
        pieces[kept++] = list.arena.Store(line);
        rejoined += int64_t(words - 1);
        i = end;
    }
    pieces.resize(kept);
    return rejoined;
}

}  // namespace lepotex
