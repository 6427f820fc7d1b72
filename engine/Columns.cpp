#include "engine/Columns.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

// The narrowest column read as one, in characters; the fewest lines that show a page's columns
// by themselves; the lines of a page looked at before all of it is read, since a page in one
// column shows hardly a gap of two spaces in any of them.
constexpr std::size_t kLeastColumn = 16;
constexpr std::size_t kLeastLines = 8;
constexpr std::size_t kLooks = 12;
// The most candidate columns of a page weighed, and the farthest a right column may begin:
// a line of a million characters is no page's.
constexpr std::size_t kCandidates = 3;
constexpr std::size_t kFarthestColumn = 1000;

// A line of a page as the columns are read: without the page's form feed, which stays at the
// page's first line, and without trailing spaces.
struct PageLine {
    std::string_view text;
    std::size_t feed = 0;  // 1 where the piece begins with the form feed
};

PageLine ReadLine(std::string_view piece)
{
    const std::size_t feed = piece.starts_with('\f') ? 1 : 0;
    return {TrimTrailingSpaces(piece.substr(feed)), feed};
}

// Where a page's right column begins: at one column, its indented lines further on, where the
// tool set the columns by a grid; else anywhere from `low` to `high`, as a proportional face's
// lines come out of it, the right column's first characters where the left one's widths took it.
struct Column {
    std::size_t at = 0;  // where most of its lines begin
    std::size_t low = 0;
    std::size_t high = 0;
    bool fixed = false;
};

// How a line parts where the right column begins.
struct Parted {
    bool crosses = false;    // text runs over the gap: a line over both columns, or none here
    std::string_view left;   // trailing spaces off
    std::string_view right;  // with its indent from the column on where it is fixed; empty where it holds none
};

Parted PartAt(std::string_view text, const Column& column)
{
    if (column.fixed) {
        const std::size_t at = column.at;
        if (text.size() < at)
            return {false, text, {}};
        std::size_t from = at;
        if (text[at - 1] != ' ' || text[at - 2] != ' ') {
            // The right column's text set a character early, after the same gap.
            if (text[at - 1] == ' ' || text[at - 2] != ' ' || text[at - 3] != ' ')
                return {true, text, {}};
            from = at - 1;
        }
        return {false, TrimTrailingSpaces(text.substr(0, from)), text.substr(from)};
    }
    // The widest gap of two spaces or more after which text begins within the column's range.
    std::size_t gap = 0;
    std::size_t resume = 0;
    const std::size_t first = text.find_first_not_of(' ');
    if (first >= column.low && first <= column.high) {
        gap = first + 1;  // no left column's text beats it
        resume = first;
    }
    // Else a gap over the whole range: a line the right column sets further in (a heading
    // centred in it).
    std::size_t over = first > column.high && first != std::string_view::npos ? first : 0;
    for (std::size_t at = text.find("  ", first); at != std::string_view::npos && at < column.high;
         at = text.find("  ", at)) {
        const std::size_t end = text.find_first_not_of(' ', at);
        if (end >= column.low && end <= column.high && end - at > gap) {
            gap = end - at;
            resume = end;
        } else if (end > column.high && at < column.low && over == 0) {
            over = end;
        }
        at = end;
    }
    if (gap == 0 && over != 0)
        resume = over;
    else if (gap == 0)
        return {text.size() > column.high, text, {}};
    return {false, TrimTrailingSpaces(text.substr(0, resume)), text.substr(resume)};
}

// (Its trailing spaces are off already.)
bool IsBlank(const PageLine& line) { return line.text.empty(); }

std::size_t Median(std::vector<std::size_t>& values)
{
    if (values.empty())
        return 0;
    auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// What a page's lines show of a right column.
struct ColumnsSeen {
    std::size_t text = 0;       // lines with text
    std::size_t reaching = 0;   // lines with text where the right column may begin, or beyond
    std::size_t crossing = 0;   // of them, those whose text runs over the gap
    std::size_t leftOnes = 0;   // lines with text in the left column
    std::size_t rightOnes = 0;  // lines with text in the right column
    bool fillsColumns = false;  // the lines fill a column's width on either side
};

std::size_t TextLength(std::string_view part) { return part.size() - std::min(part.size(), LeadingSpaceCount(part)); }

ColumnsSeen SeeColumns(const std::vector<PageLine>& page, const Column& column)
{
    ColumnsSeen seen;
    std::vector<std::size_t> lefts;
    std::vector<std::size_t> rights;
    std::size_t widest = 0;
    for (const PageLine& line : page) {
        if (IsBlank(line))
            continue;
        ++seen.text;
        const Parted parted = PartAt(line.text, column);
        if (line.text.size() >= column.low) {
            ++seen.reaching;
            seen.crossing += parted.crosses ? 1 : 0;
        }
        if (parted.crosses)
            continue;
        if (TextLength(parted.left) > 0) {
            ++seen.leftOnes;
            lefts.push_back(parted.left.size());
            widest = std::max(widest, parted.left.size());
        }
        if (!parted.right.empty()) {
            ++seen.rightOnes;
            rights.push_back(TextLength(parted.right));
        }
    }
    // Many lines of a column are full (a verse or a dialogue may take the rest): a quarter of
    // the left one's reach nearly its width; half the right one's are long.
    std::ranges::sort(lefts);
    const std::size_t upperQuartile = lefts.empty() ? 0 : lefts[lefts.size() * 3 / 4];
    seen.fillsColumns = widest >= kLeastColumn && upperQuartile * 10 >= widest * 6 && Median(rights) >= kLeastColumn;
    return seen;
}

// Whether a page shows two columns by itself: a column's worth of lines on either side, and
// next to nothing running over the gap between them.
bool ShowsColumns(const ColumnsSeen& seen)
{
    return seen.leftOnes >= kLeastLines && seen.rightOnes >= kLeastLines && seen.rightOnes * 3 >= seen.text &&
           seen.crossing * 10 <= seen.reaching && seen.fillsColumns;
}

// Whether a page that shows no columns by itself fits the book's: some of its text stands in
// the right column, and next to nothing runs over the gap.
bool FitsColumns(const ColumnsSeen& seen)
{
    return seen.rightOnes > 0 && seen.crossing * 10 <= seen.reaching && seen.crossing <= 2;
}

// The columns where text starts again after a gap of two spaces or more, or after a left
// column with no text, counted over a page's lines.
std::vector<std::size_t> CountResumes(const std::vector<PageLine>& page)
{
    std::vector<std::size_t> counts;
    const auto count = [&](std::size_t at) {
        if (at < kLeastColumn + 2 || at > kFarthestColumn)
            return;
        counts.resize(std::max(counts.size(), at + 1));
        ++counts[at];
    };
    for (const PageLine& line : page) {
        const std::string_view text = line.text;
        std::size_t at = text.find_first_not_of(' ');
        if (at == std::string_view::npos)
            continue;
        count(at);
        while ((at = text.find("  ", at)) != std::string_view::npos) {
            at = text.find_first_not_of(' ', at);
            count(at);
        }
    }
    return counts;
}

// The right column a page's resumes point to around `at`: the range of columns near it where
// lines resume now and then, fixed where most of them resume at `at` itself.
Column ColumnAround(const std::vector<std::size_t>& counts, std::size_t at)
{
    // As far as a proportional face moves the right column, and a paragraph's indent.
    constexpr std::size_t kReach = 6;
    Column column{at, at, at, false};
    std::size_t near = 0;
    for (std::size_t c = at - std::min(at - (kLeastColumn + 2), kReach); c <= at + kReach && c < counts.size(); ++c) {
        if (counts[c] == 0)
            continue;
        column.low = std::min(column.low, c);
        column.high = std::max(column.high, c);
        near += counts[c];
    }
    column.fixed = at < counts.size() && counts[at] * 2 >= near;
    return column;
}

// Where a page's right column may begin: the columns lines resume at most, each with its range.
std::vector<Column> CandidateColumns(const std::vector<PageLine>& page)
{
    const std::vector<std::size_t> counts = CountResumes(page);
    std::vector<std::size_t> columns;
    for (std::size_t at = 0; at < counts.size(); ++at)
        if (counts[at] >= 2)
            columns.push_back(at);
    std::ranges::stable_sort(columns, [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    if (columns.size() > kCandidates)
        columns.resize(kCandidates);
    std::vector<Column> candidates;
    for (const std::size_t at : columns)
        candidates.push_back(ColumnAround(counts, at));
    return candidates;
}

// Whether the sampled lines of a page hold a gap inside their text often enough for columns.
bool MayHoldColumns(const LineViews& pieces, std::size_t from, std::size_t to)
{
    const std::size_t count = to - from;
    if (count < kLeastLines)
        return false;
    std::size_t gaps = 0;
    for (std::size_t k = 0; k < kLooks; ++k) {
        const std::string_view text = ReadLine(pieces[from + k * count / kLooks]).text;
        const std::size_t first = text.find_first_not_of(' ');
        if (first != std::string_view::npos &&
            (first >= kLeastColumn + 2 || text.find("  ", first) != std::string_view::npos))
            ++gaps;
    }
    return gaps * 3 >= kLooks;
}

// The right column of a page that shows two columns by itself.
std::optional<Column> PageColumn(const std::vector<PageLine>& page)
{
    std::optional<Column> best;
    std::size_t bestParted = 0;
    for (const Column& column : CandidateColumns(page)) {
        const ColumnsSeen seen = SeeColumns(page, column);
        if (ShowsColumns(seen) && seen.rightOnes > bestParted) {
            best = column;
            bestParted = seen.rightOnes;
        }
    }
    return best;
}

// Whether a line at a page's head or foot is furniture kept whole rather than two columns'
// text: no column's worth of text on one side or the other.
bool FurnitureLike(const PageLine& line, const Column& column)
{
    const Parted parted = PartAt(line.text, column);
    return parted.crosses || TextLength(parted.left) < kLeastColumn || TextLength(parted.right) < kLeastColumn;
}

// The lines a page keeps whole at its head: up to two lines of furniture with blank lines
// below them and text further on, the blank lines above and below them too. 0 where there
// is none.
std::size_t HeadLines(std::span<const PageLine> page, const Column& column)
{
    constexpr std::size_t kMostFurniture = 2;
    std::size_t first = 0;
    while (first < page.size() && IsBlank(page[first]))
        ++first;
    std::size_t end = first;
    while (end < page.size() && !IsBlank(page[end]) && end - first <= kMostFurniture)
        ++end;
    if (end == first || end - first > kMostFurniture || end == page.size() || !IsBlank(page[end]))
        return 0;
    for (std::size_t k = first; k < end; ++k)
        if (!FurnitureLike(page[k], column))
            return 0;
    while (end < page.size() && IsBlank(page[end]))
        ++end;
    return end < page.size() ? end : 0;
}

// The same at the page's foot, below its head: where the lines kept whole begin.
std::size_t FootStart(const std::vector<PageLine>& page, const Column& column, std::size_t head)
{
    const std::vector<PageLine> upward(page.rbegin(), page.rend() - std::ptrdiff_t(head));
    return page.size() - HeadLines(upward, column);
}

// Where the right column's lines begin: each at its first character, but for those that begin
// three characters or more beyond where half of them do (two on a grid), which keep that much
// of the gap as their indent. A proportional face's right column begins where each line's left
// one took it, a character or two either way, and a grid's at the same character but for a
// rounding.
void KeepRightIndents(const std::vector<PageLine>& page, std::size_t head, const Column& column, std::vector<Parted>& parts)
{
    const std::size_t kIndentShown = column.fixed ? 2 : 3;
    std::vector<std::size_t> starts;
    const auto startOf = [&](std::size_t k) {
        return std::size_t(parts[k].right.data() - page[head + k].text.data()) + LeadingSpaceCount(parts[k].right);
    };
    for (std::size_t k = 0; k < parts.size(); ++k)
        if (!parts[k].crosses && !parts[k].right.empty())
            starts.push_back(startOf(k));
    if (starts.empty())
        return;
    const std::size_t usual = Median(starts);
    // A column's indent is the other's: the left one's lines begin at its margin, most of
    // them, and the commonest of those that begin further in show its indent.
    std::vector<std::size_t> indents;
    for (const Parted& parted : parts) {
        const std::size_t indent = LeadingSpaceCount(parted.left);
        if (parted.crosses || indent == parted.left.size() || indent * 4 >= usual)
            continue;
        indents.resize(std::max(indents.size(), indent + 1));
        ++indents[indent];
    }
    std::size_t leftIndent = 0;
    if (const auto margin = std::ranges::max_element(indents); margin != indents.end()) {
        const auto further = std::max_element(margin + 1, indents.end());
        if (further != indents.end() && *further >= 2)
            leftIndent = std::size_t(further - margin);
    }
    for (std::size_t k = 0; k < parts.size(); ++k) {
        Parted& parted = parts[k];
        if (parted.crosses || parted.right.empty())
            continue;
        const std::string_view text = page[head + k].text;
        const std::size_t start = startOf(k);
        std::size_t from = start;
        if (start >= usual + kIndentShown)
            from = std::max(leftIndent > 0 ? start - leftIndent : usual, parted.left.size() + 1);
        parted.right = text.substr(from);
    }
}

// The page's lines in reading order, the left column's before the right one's.
void ReadColumns(LineList& list, std::size_t from, const std::vector<PageLine>& page, const Column& column,
                 LineViews& out)
{
    const LineViews& pieces = list.pieces;
    const std::size_t head = HeadLines(page, column);
    const std::size_t foot = std::max(head, FootStart(page, column, head));
    for (std::size_t k = 0; k < head; ++k)
        out.push_back(pieces[from + k]);
    std::vector<Parted> parts;
    for (std::size_t k = head; k < foot; ++k)
        parts.push_back(PartAt(page[k].text, column));
    KeepRightIndents(page, head, column, parts);
    const auto hasLeft = [&](const Parted& p) { return TextLength(p.left) > 0; };
    const auto hasRight = [&](const Parted& p) { return !p.crosses && !p.right.empty(); };
    // A line with text in one column only leaves a gap in the other one, but where such lines
    // take turns, left, right, left, right, the columns' lines stand at other heights, which
    // the tool set on lines of their own.
    enum Side : uint8_t { kNone, kLeft, kRight };
    const auto sideOf = [&](const Parted& p) {
        return hasLeft(p) == hasRight(p) || p.crosses ? kNone : hasLeft(p) ? kLeft : kRight;
    };
    std::vector<bool> interleaved(parts.size(), false);
    constexpr std::size_t kLeastTurns = 6;
    for (std::size_t k = 0; k < parts.size();) {
        std::size_t end = k + 1;
        if (sideOf(parts[k]) != kNone)
            while (end < parts.size() && sideOf(parts[end]) != kNone && sideOf(parts[end]) != sideOf(parts[end - 1]))
                ++end;
        if (end - k >= kLeastTurns)
            std::fill(interleaved.begin() + std::ptrdiff_t(k), interleaved.begin() + std::ptrdiff_t(end), true);
        k = end;
    }
    const auto gapIn = [&](std::size_t k) { return !interleaved[k]; };
    const std::size_t begin = out.size();
    bool feedKept = page[head].feed == 0 || head == foot;
    std::vector<std::string_view> rights;
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::string_view piece = pieces[from + head + k];
        const Parted& parted = parts[k];
        const bool left = hasLeft(parted);
        const bool right = hasRight(parted);
        const bool blank = !left && !right && !parted.crosses;
        // (A line over both columns goes to the left one whole.)
        if (left || parted.crosses || blank || gapIn(k)) {
            // The form feed stays at the head of the page's first line.
            const std::size_t feed = k == 0 ? page[head].feed : 0;
            out.push_back(left || parted.crosses ? std::string_view(piece.data(), feed + parted.left.size())
                                                 : piece.substr(0, feed));
            feedKept = feedKept || feed > 0;
        }
        if (right)
            rights.push_back(parted.right);
        else if (blank || (left && gapIn(k)))
            rights.push_back(piece.substr(piece.size()));
    }
    // The rows below a column's last text are no lines of it.
    while (out.size() > begin && out.back().empty())
        out.pop_back();
    while (!rights.empty() && rights.back().empty())
        rights.pop_back();
    if (!feedKept) {
        // The page's first line was the right column's alone: its form feed goes to the first line.
        const std::string_view first = out.size() > begin ? out[begin] : rights.front();
        std::string line = "\f";
        line += first;
        (out.size() > begin ? out[begin] : rights.front()) = list.arena.Store(line);
    }
    out.insert(out.end(), rights.begin(), rights.end());
    for (std::size_t k = foot; k < page.size(); ++k)
        out.push_back(pieces[from + k]);
}

}  // namespace

int64_t SplitColumns(LineList& list)
{
    const LineViews& pieces = list.pieces;
    // The pages, each from a line beginning with a form feed to the next; the load noted those
    // lines with their shapes.
    std::vector<std::size_t> starts;
    if (list.shapes.size() == pieces.size()) {
        starts.push_back(0);
        for (const uint32_t line : list.feedLines)
            if (line > 0)
                starts.push_back(line);
    } else {
        for (std::size_t i = 0; i < pieces.size(); ++i)
            if (i == 0 || pieces[i].starts_with('\f'))
                starts.push_back(i);
    }
    if (starts.size() < 2)
        return 0;
    starts.push_back(pieces.size());
    const std::size_t pageCount = starts.size() - 1;
    std::vector<std::optional<Column>> columns(pageCount);
    std::vector<std::size_t> shown;
    std::vector<PageLine> page;
    const auto read = [&](std::size_t p) {
        page.clear();
        for (std::size_t i = starts[p]; i < starts[p + 1]; ++i)
            page.push_back(ReadLine(pieces[i]));
    };
    for (std::size_t p = 0; p < pageCount; ++p) {
        if (!MayHoldColumns(pieces, starts[p], starts[p + 1]))
            continue;
        read(p);
        columns[p] = PageColumn(page);
        if (columns[p])
            shown.push_back(p);
    }
    if (shown.empty())
        return 0;
    // The book's column, where a few pages show the same: the commonest of theirs.
    std::optional<Column> bookColumn;
    std::vector<std::size_t> ats;
    for (const std::size_t p : shown)
        ats.push_back(columns[p]->at);
    std::ranges::sort(ats);
    std::size_t commonest = 0;
    for (std::size_t k = 0, run = 0, best = 1; k < ats.size(); ++k) {
        run = k > 0 && ats[k] == ats[k - 1] ? run + 1 : 1;
        if (run > best) {
            best = run;
            commonest = ats[k];
        }
    }
    for (const std::size_t p : shown)
        if (commonest != 0 && columns[p]->at == commonest && !bookColumn)
            bookColumn = columns[p];
    LineViews out;
    out.reserve(pieces.size() + pieces.size() / 2);
    int64_t pagesRead = 0;
    for (std::size_t p = 0; p < pageCount; ++p) {
        const std::size_t from = starts[p];
        const std::size_t to = starts[p + 1];
        std::optional<Column> column = columns[p];
        if (column || bookColumn)
            read(p);
        if (!column && bookColumn) {
            // The page's own columns near the book's, or the book's.
            std::vector<Column> near;
            for (const Column& own : CandidateColumns(page))
                if (own.at + 2 >= bookColumn->low && own.at <= bookColumn->high + 2)
                    near.push_back(own);
            near.push_back(*bookColumn);
            for (const Column& candidate : near)
                if (FitsColumns(SeeColumns(page, candidate))) {
                    column = candidate;
                    break;
                }
        }
        if (!column || page.empty()) {
            out.insert(out.end(), pieces.begin() + std::ptrdiff_t(from), pieces.begin() + std::ptrdiff_t(to));
            continue;
        }
        ReadColumns(list, from, page, *column, out);
        ++pagesRead;
    }
    list.pieces = std::move(out);
    return pagesRead;
}

}  // namespace lepotex
