#include "engine/LeftMargins.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

constexpr std::size_t kSampleLines = 40'000;  // enough to tell a book without a margin
constexpr int kMaxStates = 4;                 // margins told apart: left and right pages, and more
constexpr std::size_t kMaxCounted = 64;       // wider leading spaces are centred lines, not margins
constexpr char kFormFeed = '\f';

struct Lead {
    std::size_t line;
    int32_t spaces;
};

// Leading spaces of a line, behind the form feed that starts a page of a PDF's text; -1 for
// a blank line, -2 for one that starts with a tab (which has no width to count).
int32_t LeadOf(std::string_view line)
{
    if (!line.empty() && line.front() == kFormFeed)
        line.remove_prefix(1);
    const std::size_t spaces = LeadingSpaceCount(line);
    if (spaces == line.size())
        return -1;
    if (line[spaces] == '\t')
        return -2;
    return int32_t(std::min(spaces, kMaxCounted));
}

// The margin of each line, as the fewest changes of margin that leave the most lines at it:
// a line right of its margin is a paragraph's first line or a centred one, and costs less
// where it stands as far in as the book's indent; one left of it should not be there at all.
std::vector<uint8_t> Margins(const std::vector<Lead>& leads, const std::vector<int32_t>& margins, int32_t indent)
{
    constexpr double kLeft = 4, kRight = 1, kIndentRight = 0.5, kChange = 4;
    const std::size_t states = margins.size();
    std::vector<std::array<uint8_t, kMaxStates>> from(leads.size());
    std::array<double, kMaxStates> cost{};
    for (std::size_t i = 0; i < leads.size(); ++i) {
        std::size_t cheapest = 0;
        for (std::size_t t = 1; t < states; ++t)
            if (cost[t] < cost[cheapest])
                cheapest = t;
        std::array<double, kMaxStates> next{};
        for (std::size_t s = 0; s < states; ++s) {
            const std::size_t best = cost[s] <= cost[cheapest] + kChange ? s : cheapest;
            const double stay = cost[best] + (best == s ? 0 : kChange);
            const int32_t offset = leads[i].spaces - margins[s];
            const double own = offset < 0 ? kLeft : offset == 0 ? 0 : offset == indent ? kIndentRight : kRight;
            next[s] = stay + own;
            from[i][s] = uint8_t(best);
        }
        cost = next;
    }
    std::vector<uint8_t> state(leads.size());
    std::size_t s = 0;
    for (std::size_t t = 1; t < states; ++t)
        if (cost[t] < cost[s])
            s = t;
    for (std::size_t i = leads.size(); i-- > 0;) {
        state[i] = uint8_t(s);
        s = from[i][s];
    }
    return state;
}

}  // namespace

LeftMargins StripLeftMargins(LineList& list)
{
    LineViews& pieces = list.pieces;
    // Most books have lines at the left edge: a look at their start tells.
    std::size_t looked = 0, atEdge = 0;
    for (std::size_t i = 0; i < pieces.size() && looked < kSampleLines; ++i) {
        const int32_t lead = LeadOf(pieces[i]);
        if (lead == -2)
            return {};
        if (lead >= 0) {
            ++looked;
            atEdge += lead == 0;
        }
    }
    if (looked == 0 || atEdge * 10 >= looked)
        return {};

    std::vector<Lead> leads;
    std::array<std::size_t, kMaxCounted + 1> counts{};
    std::size_t tabbed = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const int32_t lead = LeadOf(pieces[i]);
        if (lead == -2) {
            ++tabbed;
            continue;
        }
        if (lead < 0)
            continue;
        leads.push_back({i, lead});
        ++counts[std::size_t(lead)];
    }
    if (tabbed * 100 > leads.size())
        return {};
    // The margins: leading spaces that many lines share, the narrowest first.
    std::vector<int32_t> margins;
    for (std::size_t spaces = 1; spaces <= kMaxCounted && margins.size() < kMaxStates; ++spaces)
        if (counts[spaces] * 12 >= leads.size())
            margins.push_back(int32_t(spaces));
    if (margins.empty())
        return {};

    // Once to find the book's indent beyond the margin, once more with it. A margin as far
    // in as a narrower one and the indent is only that, unless its own pages show it with
    // their paragraphs' first lines further in still.
    std::vector<uint8_t> state = Margins(leads, margins, 0);
    std::array<std::size_t, 9> offsets{};
    for (std::size_t k = 0; k < leads.size(); ++k)
        if (const int32_t offset = leads[k].spaces - margins[state[k]]; offset > 0 && offset < int32_t(offsets.size()))
            ++offsets[std::size_t(offset)];
    const auto usual = std::max_element(offsets.begin() + 1, offsets.end());
    if (*usual * 50 >= leads.size()) {
        const int32_t indent = int32_t(usual - offsets.begin());
        std::erase_if(margins, [&](int32_t margin) {
            const bool afterNarrower = std::ranges::find(margins, margin - indent) != margins.end();
            const std::size_t further = std::size_t(margin + indent) <= kMaxCounted ? counts[std::size_t(margin + indent)] : 0;
            return afterNarrower && (further < 4 || further * 100 < counts[std::size_t(margin)]);
        });
        state = Margins(leads, margins, indent);
    }

    // Lines left of their margin are no stray few here: the spaces mean something else. A line
    // standing alone between blank lines is a heading set out of the margin (a browser's dump
    // sets its headings so), not the first line of a hanging indent, which has lines under it.
    const auto blank = [&](std::size_t line) { return line >= pieces.size() || LeadOf(pieces[line]) == -1; };
    std::size_t left = 0;
    for (std::size_t k = 0; k < leads.size(); ++k)
        left += leads[k].spaces < margins[state[k]] &&
                !(blank(leads[k].line + 1) && (leads[k].line == 0 || blank(leads[k].line - 1)));
    if (left * 100 > leads.size())
        return {};

    LeftMargins found;
    found.least = margins.back();
    std::string copy;
    for (std::size_t k = 0; k < leads.size(); ++k) {
        const int32_t margin = std::min(leads[k].spaces, margins[state[k]]);
        if (margin == 0)
            continue;
        found.least = std::min(found.least, margins[state[k]]);
        found.most = std::max(found.most, margins[state[k]]);
        std::string_view& line = pieces[leads[k].line];
        if (line.front() == kFormFeed) {
            copy.assign(1, kFormFeed);
            copy.append(line.substr(1 + std::size_t(margin)));
            line = list.arena.Store(copy);
        } else {
            line.remove_prefix(std::size_t(margin));
        }
        ++found.lines;
    }
    if (found.lines == 0)
        found.least = 0;
    return found;
}

}  // namespace lepotex
