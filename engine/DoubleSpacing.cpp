#include "engine/DoubleSpacing.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "engine/CharSets.h"
#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

constexpr std::size_t kSampleLines = 40'000;  // enough to tell a text that is not double-spaced
constexpr std::size_t kLongestCounted = 1024;

// A page's form feed is no blank: it goes with the page's furniture, never with the spacing.
bool IsBlank(std::string_view line) { return LeadingSpaceCount(line) == line.size(); }

// A line that is only a page's form feed (as some tools write the break between pages): no
// text line of its own, so it neither has a blank line after it nor is without one.
bool IsFeedOnly(std::string_view line) { return !line.empty() && line[0] == '\f' && IsBlank(line.substr(1)); }

struct Gaps {
    std::size_t none = 0, one = 0, more = 0;
    std::size_t Total() const { return none + one + more; }
};

// The blank lines between each two text lines of the first `limit` lines.
Gaps CountGaps(const LineViews& pieces, std::size_t limit)
{
    Gaps gaps;
    std::size_t blanks = 0;
    bool text = false;
    for (std::size_t i = 0; i < pieces.size() && i < limit; ++i) {
        if (IsBlank(pieces[i])) {
            ++blanks;
            continue;
        }
        if (IsFeedOnly(pieces[i]))
            continue;
        if (text)
            (blanks == 0 ? gaps.none : blanks == 1 ? gaps.one : gaps.more) += 1;
        text = true;
        blanks = 0;
    }
    return gaps;
}

bool Spaced(const Gaps& gaps)
{
    return gaps.Total() >= 20 && gaps.one * 2 >= gaps.Total() && gaps.none * 100 <= gaps.Total() * 3;
}

// Lines cut inside their paragraphs, as a broken book's are: lines of a width, many of them
// going on in lower case. A text of one paragraph a line with a blank line between is not,
// and its blank lines mark its paragraphs.
bool CutInsideParagraphs(const LineViews& pieces)
{
    std::array<std::size_t, kLongestCounted + 1> lengths{};
    std::size_t lines = 0, goingOn = 0;
    for (std::size_t i = 0; i < pieces.size() && lines < kSampleLines; ++i)
        if (!IsBlank(pieces[i])) {
            const std::string_view line = pieces[i].substr(LeadingSpaceCount(pieces[i]));
            ++lengths[std::min(TrimTrailingSpaces(line).size(), kLongestCounted)];
            ++lines;
            goingOn += IsLowercase(line.front());
        }
    std::size_t seen = 0, usual = 0;
    while (usual < kLongestCounted && (seen + lengths[usual]) * 10 < lines * 9)
        seen += lengths[usual++];
    return usual < 250 && goingOn * 100 >= lines * 15;
}

}  // namespace

int64_t DropDoubleSpacing(LineList& list)
{
    LineViews& pieces = list.pieces;
    if (!Spaced(CountGaps(pieces, kSampleLines)) || !Spaced(CountGaps(pieces, pieces.size())) || !CutInsideParagraphs(pieces))
        return 0;
    std::size_t kept = 0, blanks = 0;
    int64_t dropped = 0;
    // Between two text lines each line is followed by a blank one, a blank line by one more;
    // before the first and after the last there is no line of text to have its own.
    bool inner = false;
    auto flush = [&] {
        const std::size_t keep = !inner ? blanks / 2 : blanks == 0 ? 0 : (blanks - 1) / 2;
        dropped += int64_t(blanks - keep);
        kept += keep;  // the kept blanks are the run's first: all alike
        blanks = 0;
    };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (IsBlank(pieces[i])) {
            ++blanks;
            continue;
        }
        // The blank lines kept stand where the run began; the line moves up behind them.
        const std::size_t runStart = kept;
        flush();
        for (std::size_t b = runStart; b < kept; ++b)
            pieces[b] = std::string_view();
        pieces[kept++] = pieces[i];
        inner = true;
    }
    const std::size_t runStart = kept;
    inner = false;
    flush();
    for (std::size_t b = runStart; b < kept; ++b)
        pieces[b] = std::string_view();
    pieces.resize(kept);
    return dropped;
}

}  // namespace lepotex
