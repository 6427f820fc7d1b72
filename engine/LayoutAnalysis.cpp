#include "engine/LayoutAnalysis.h"

#include <algorithm>
#include <functional>
#include <exception>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "engine/CharSets.h"
#include "engine/InHalves.h"
#include "engine/LineTests.h"

namespace lepotex {
namespace {

// The first line from `from` on that has `role`, or the number of lines: most lines of a book
// are text, and the passes that look for the few others find them many roles at a time.
std::size_t NextWithRole(const LineRoles& roles, std::size_t from, LineRole role) noexcept
{
    static_assert(sizeof(LineRole) == 1);
    if (from >= roles.size())
        return roles.size();
    const void* at = std::memchr(roles.data() + from, int(role), roles.size() - from);
    return at ? std::size_t(static_cast<const LineRole*>(at) - roles.data()) : roles.size();
}

// How many of the lines [from, to) are not blank.
std::size_t NonBlankLines(const LineRoles& roles, std::size_t from, std::size_t to) noexcept
{
    std::size_t blank = 0;
    for (std::size_t i = from; i < to; ++i)
        blank += roles[i] == LineRole::Blank ? 1 : 0;
    return to - from - blank;
}

// Pages are at least this many non-blank lines long, and at most that many: a line repeating
// more often is a refrain or a list, one repeating more rarely a chapter heading.
constexpr double kMinPage = 10;
constexpr double kMaxPage = 150;
// How far one page may differ from the usual length, and how much the pages of a run may vary
// as a whole (their standard deviation against their mean). Pages vary around one length;
// chapters vary far more. Numbers counting up tell pages apart by themselves, so numbered pages
// may vary more than those of a header without a number.
constexpr double kPageTolerance = 0.5;
// A header line between paragraphs could be a chapter title that reads the same: it must keep
// the beat more closely.
constexpr double kBetweenParagraphsTolerance = 0.35;
constexpr double kNumberedPageTolerance = 0.6;
constexpr double kPageVariation = 0.3;
// A book's repeated lines are looked for among its first lines only; further on, only lines
// shaped like those found are looked at. A page style shows itself long before this.
constexpr std::size_t kDetectionLines = 12'000;
// The most furniture lines a second half of a book notes before it leaves them to the first.
constexpr std::size_t kNotedMost = std::size_t(1) << 16;

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Lines far apart in a book each wait for memory when read one after the other: a pass over
// such lines takes them a few thousand at a time (so that a book of nothing else costs no
// more), and asks for each line's bytes this many turns ahead of its own.
class LinesAhead {
public:
    LinesAhead(std::span<const std::string_view> lines, const LineShapes& shapes) : lines(lines), shapes(shapes) {}
    // Calls visit(line, ordinal) for each line added, in their order, before Add returns or at
    // the latest in Finish.
    template <typename Visit>
    void Add(uint32_t line, uint32_t ordinal, Visit&& visit)
    {
        batch.push_back({line, ordinal});
        if (batch.size() == kBatch)
            Finish(visit);
    }
    template <typename Visit>
    void Finish(Visit&& visit)
    {
        for (std::size_t k = 0; k < batch.size(); ++k) {
            if (k + kAhead < batch.size())
                __builtin_prefetch(lines[batch[k + kAhead].line].data() + shapes[batch[k + kAhead].line].lead);
            visit(batch[k].line, batch[k].ordinal);
        }
        batch.clear();
    }

private:
    static constexpr std::size_t kAhead = 16;
    static constexpr std::size_t kBatch = 4096;
    struct Ordinal {
        uint32_t line;
        uint32_t ordinal;  // counted in non-blank lines
    };
    std::span<const std::string_view> lines;
    const LineShapes& shapes;
    std::vector<Ordinal> batch;
};

// How often each shape occurs: open addressing over the shapes' hashes, which are never 0.
class ShapeCounts {
public:
    explicit ShapeCounts(std::size_t shapes)
    {
        std::size_t size = 16;
        while (size < 2 * shapes)
            size *= 2;
        keys.assign(size, 0);
        counts.assign(size, 0);
    }
    uint32_t& operator[](uint64_t hash)
    {
        std::size_t slot = std::size_t(hash ^ (hash >> 29)) & (keys.size() - 1);
        while (keys[slot] != 0 && keys[slot] != hash)
            slot = (slot + 1) & (keys.size() - 1);
        keys[slot] = hash;
        return counts[slot];
    }

private:
    std::vector<uint64_t> keys;
    std::vector<uint32_t> counts;
};

// A line as page furniture repeats it: without its outer spaces, every run of digits standing
// for any number. `value` is the last number in it, the page number of a header, or the first
// of a page counted against the pages of the whole ("Strana 12 z 300", "12/300").
struct FurnitureKey {
    uint64_t hash = 0;
    int64_t value = -1;
    bool digits = false;
    bool ofAll = false;  // value is the first of two numbers, counted against the second
};

// A digit as OCR misreads it, inside a number: "l2", "1O".
int OcrDigit(char c) noexcept
{
    return c == 'l' || c == 'I' ? 1 : c == 'O' || c == 'o' ? 0 : -1;
}

int64_t ReadNumber(std::string_view word) noexcept;

// A page number between two marks alike, "* 12 *", and the same where the marks are read as
// digits: a PDF tool that knows no Unicode for the font's dashes gives "3 12 3" for "– 12 –".
// -1 for any other line.
int64_t FlankedNumber(std::string_view trimmed) noexcept
{
    constexpr std::size_t kMark = 3;
    if (trimmed.size() > 2 * kMark + 7)
        return -1;
    const std::size_t first = trimmed.find(' ');
    const std::size_t last = trimmed.rfind(' ');
    if (first == std::string_view::npos || first == 0 || first > kMark)
        return -1;
    const std::string_view left = trimmed.substr(0, first);
    const std::string_view right = trimmed.substr(last + 1);
    if (left != right)
        return -1;
    for (const char c : left)
        if (IsLetterByte(uint8_t(c)))
            return -1;
    std::string_view middle = trimmed.substr(first, last - first);
    while (!middle.empty() && middle.front() == ' ')
        middle.remove_prefix(1);
    while (!middle.empty() && middle.back() == ' ')
        middle.remove_suffix(1);
    return ReadNumber(middle);
}

// Whether the words between two numbers count the first against the second: "z", "ze", "of",
// "/" (a page of all the pages).
bool CountsAgainst(std::string_view between) noexcept
{
    between = TrimTrailingSpaces(between.substr(LeadingSpaceCount(between)));
    return between == "/" || between == "z" || between == "ze" || between == "of" || between == "Z" ||
           between == "ZE" || between == "OF";
}

FurnitureKey KeyOf(std::string_view trimmed) noexcept
{
    FurnitureKey key;
    uint64_t h = 1469598103934665603ull;
    const std::size_t n = trimmed.size();
    // Most lines hold no digit, and so no number however OCR read it: their bytes are taken
    // without a branch on each, which text of short words would mostly mispredict.
    std::size_t digits = 0;
    for (const char c : trimmed)
        digits += IsDigit(c) ? 1 : 0;
    if (digits == 0) {
        for (const char c : trimmed) {
            const auto byte = uint8_t(uint8_t(c) == 0x96 || uint8_t(c) == 0x97 ? '-' : c);
            const uint64_t next = ((h << 7) | (h >> 57)) + byte;
            h = c == ' ' ? h : next;
        }
        h *= 0x9E3779B97F4A7C15ull;
        key.hash = h | 1;
        return key;
    }
    int numbers = 0;
    int64_t firstValue = -1;
    std::size_t afterFirst = 0;
    std::size_t secondStart = 0;
    for (std::size_t i = 0; i < n;) {
        char c = trimmed[i];
        if (IsDigit(c) || (OcrDigit(c) >= 0 && i + 1 < n && IsDigit(trimmed[i + 1]))) {
            const std::size_t start = i;
            int64_t value = 0;
            for (; i < n && (IsDigit(trimmed[i]) || OcrDigit(trimmed[i]) >= 0); ++i)
                if (value < 1'000'000'000)
                    value = value * 10 + (IsDigit(trimmed[i]) ? trimmed[i] - '0' : OcrDigit(trimmed[i]));
            if (++numbers == 1) {
                firstValue = value;
                afterFirst = i;
            } else if (numbers == 2) {
                secondStart = start;
            }
            key.value = value;
            key.digits = true;
            c = '#';
        } else if (c == ' ') {
            // Spaces do not count: a running head spaces its number out to the margin, and
            // OCR reads "– 57 –" as "— 57—".
            ++i;
            continue;
        } else {
            ++i;
            if (uint8_t(c) == 0x96 || uint8_t(c) == 0x97)  // en and em dashes
                c = '-';
        }
        // Rotate and add: one step per byte, where a multiply would make each wait for the last.
        h = ((h << 7) | (h >> 57)) + uint8_t(c);
    }
    if (key.digits)
        if (const int64_t flanked = FlankedNumber(trimmed); flanked >= 0)
            key.value = flanked;
    if (numbers == 2 && CountsAgainst(trimmed.substr(afterFirst, secondStart - afterFirst))) {
        key.value = firstValue;
        key.ofAll = true;
    }
    h *= 0x9E3779B97F4A7C15ull;  // mixes once what the steps did not
    key.hash = h | 1;  // 0 marks a line not looked at
    return key;
}

// The lines of one key, in order; `ordinal` counts non-blank lines, the page rhythm.
struct Group {
    bool digits = false;
    std::vector<uint32_t> lines;
    std::vector<uint32_t> ordinals;
    std::vector<bool> inside;  // the line stands inside a paragraph, where no heading can
    // The lines' numbers, read only where they hold some: from the group's first line with a
    // number on, one a line, those before it none (-1), as a key without a number has it. A
    // book of one-character lines has nearly all its lines in groups without.
    std::vector<int64_t> values;
};

struct Rhythm {
    double period = 0;               // non-blank lines per page; per two pages for a line
                                     // without a number that stands on every other page
    bool numbered = false;
    std::vector<uint32_t> members;   // lines of the group that are page furniture
    std::vector<uint32_t> ordinals;  // theirs, counted in non-blank lines
};

bool DigitMisread(int64_t read, int64_t expected);

// std::llround of a count of lines by a page's, which is never negative, without the call
// into the library: page rhythms round some for every pair of page lines they weigh.
inline int64_t RoundedPages(double pages) noexcept
{
    if (!(pages >= 0 && pages < 0x1p52))
        return std::llround(pages);
    const auto whole = int64_t(pages);
    return whole + (pages - double(whole) >= 0.5 ? 1 : 0);
}

// The longest run of the group's lines that keeps a page rhythm: steady steps of non-blank
// lines and, for numbers, counting up. A line of the same shape off the beat (a chapter
// number, a chapter title equal to the running header) falls out of the run.
Rhythm FindRhythm(const Group& g, std::size_t nonBlank)
{
    const std::size_t m = g.ordinals.size();
    if (m < 3)
        return {};
    // A number that never changes (a date, a year in a running head) counts no pages: the line
    // keeps a rhythm as a header without one does.
    const bool numbered = g.digits && std::adjacent_find(g.values.begin(), g.values.end(), std::not_equal_to<>()) != g.values.end();
    std::vector<double> steps;
    for (std::size_t i = 0; i + 1 < m; ++i) {
        const double gap = double(g.ordinals[i + 1] - g.ordinals[i]);
        if (!numbered) {
            steps.push_back(gap);
        } else if (const int64_t dv = g.values[i + 1] - g.values[i]; dv == 1 || dv == 2) {
            steps.push_back(gap / double(dv));
        }
    }
    if (steps.size() < 2)
        return {};
    std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
    const double period = steps[steps.size() / 2];
    if (period < kMinPage || period > kMaxPage)
        return {};
    const double tolerance = std::max(2.0, (numbered ? kNumberedPageTolerance : kPageTolerance) * period);
    std::vector<uint32_t> count(m, 1);
    std::vector<double> cost(m, 0);
    std::vector<int64_t> previous(m, -1);
    std::vector<int64_t> linkPages(m, 0);  // the pages from the previous line of the run
    // A number tells how many pages went by without the line (a chapter's first page often has
    // no head: four pages for a head of every other page); without one, only a few may.
    const int64_t mostPages = numbered ? 6 : 3;
    for (std::size_t j = 1; j < m; ++j) {
        int looked = 0;
        for (std::size_t i = j; i-- > 0 && looked < 64; ++looked) {
            const double gap = double(g.ordinals[j] - g.ordinals[i]);
            if (gap > (double(mostPages) + 0.5) * period + tolerance)
                break;
            int64_t pages = 0;
            bool misread = false;
            if (numbered)
                pages = g.values[j] - g.values[i];
            else
                pages = std::max<int64_t>(1, RoundedPages(gap / period));
            // A scan's page number that OCR read a digit wrong ("90" for 30, "39" for 33) still
            // stands closely on the beat: the pages are those the lines between say, and one of
            // the two numbers is that many pages off the other but for one digit.
            if (numbered) {
                const int64_t counted = RoundedPages(gap / period);
                const bool off = pages < 1 || pages > mostPages || pages >= counted + 2 ||
                                 gap > (double(pages) + 0.5) * period;
                if (off && counted >= 1 && counted <= mostPages &&
                    std::abs(gap - double(counted) * period) <=
                        std::max(2.0, kBetweenParagraphsTolerance * period) * double(counted) &&
                    (DigitMisread(g.values[j], g.values[i] + counted) || DigitMisread(g.values[i], g.values[j] - counted))) {
                    pages = counted;
                    misread = true;
                }
            }
            if (pages < 1 || pages > mostPages)
                continue;
            const double deviation = std::abs(gap - double(pages) * period);
            // A page may end early (a chapter ends on it), never much later; a number tells
            // how many pages passed. Without one, only the tolerance allows a short page: a
            // line like the header standing off the beat (a chapter title) must not take the
            // header's place, and costs more where it could.
            const bool shortPage = numbered && !misread && gap < double(pages) * period;
            const double allowed =
                numbered || g.inside[j] ? tolerance : std::max(2.0, kBetweenParagraphsTolerance * period);
            if (deviation > allowed * double(pages) && !shortPage)
                continue;
            const uint32_t c = count[i] + 1;
            // Of two runs as long, the one whose lines stand inside paragraphs more often.
            const double k = cost[i] + deviation / period + double(pages - 1) * 0.5 +
                             (deviation > tolerance * double(pages) ? 1.0 : 0.0) +
                             (numbered || g.inside[j] ? 0.0 : 0.3) + (misread ? 0.5 : 0.0);
            if (c > count[j] || (c == count[j] && k < cost[j])) {
                count[j] = c;
                cost[j] = k;
                previous[j] = int64_t(i);
                linkPages[j] = pages;
            }
        }
    }
    std::size_t best = 0;
    for (std::size_t j = 1; j < m; ++j)
        if (count[j] > count[best] || (count[j] == count[best] && cost[j] < cost[best]))
            best = j;
    if (count[best] < 3)
        return {};
    Rhythm rhythm;
    rhythm.period = period;
    rhythm.numbered = numbered;
    for (int64_t j = int64_t(best); j >= 0; j = previous[std::size_t(j)])
        rhythm.members.push_back(uint32_t(j));
    std::reverse(rhythm.members.begin(), rhythm.members.end());
    // The pages from one line of the run to the next: 1, or 2 for a header of every other page.
    std::vector<int64_t> pages;
    for (std::size_t k = 1; k < rhythm.members.size(); ++k) {
        const std::size_t i = rhythm.members[k - 1];
        const std::size_t j = rhythm.members[k];
        pages.push_back(numbered ? linkPages[j]
                                 : std::max<int64_t>(1, RoundedPages(double(g.ordinals[j] - g.ordinals[i]) / period)));
    }
    std::vector<int64_t> sorted = pages;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const int64_t usual = sorted[sorted.size() / 2];
    int64_t skipped = 0;
    for (const int64_t p : pages)
        skipped += std::max<int64_t>(0, p - usual);
    // Page lines run through the book, and few pages lack one; a refrain or a few
    // evenly spaced headings do neither.
    const double span = double(g.ordinals[rhythm.members.back()] - g.ordinals[rhythm.members.front()]);
    if (span < 0.2 * double(nonBlank) || double(skipped) > 0.25 * double(usual) * double(pages.size()))
        return {};
    // Full pages spread narrowly around their mean, and most pages are full.
    double sum = 0;
    double squares = 0;
    std::size_t full = 0;
    for (std::size_t k = 1; k < rhythm.members.size(); ++k) {
        const double perPage = double(g.ordinals[rhythm.members[k]] - g.ordinals[rhythm.members[k - 1]]) /
                               double(pages[k - 1]);
        if (perPage < period - tolerance)
            continue;
        sum += perPage;
        squares += perPage * perPage;
        ++full;
    }
    if (full < 2 || 2 * full < pages.size())
        return {};
    const double mean = sum / double(full);
    const double variance = std::max(0.0, squares / double(full) - mean * mean);
    if (std::sqrt(variance) > kPageVariation * mean)
        return {};
    // A line without a number is a running header only if nearly every time it stands on the
    // beat: scene breaks "* * *" fall on it now and then, a header misses it only where a
    // chapter title happens to read the same.
    if (!numbered && double(rhythm.members.size()) < 0.8 * double(m))
        return {};
    for (uint32_t& member : rhythm.members) {
        rhythm.ordinals.push_back(g.ordinals[member]);
        member = g.lines[member];
    }
    return rhythm;
}

// A number as OCR may read it: digits, with "l", "I", "O" or "o" for some of them ("l2", "1O").
// -1 for anything else; a word of those letters alone is no number ("I" is a chapter).
int64_t ReadNumber(std::string_view word) noexcept
{
    int64_t value = 0;
    bool digit = false;
    if (word.empty() || word.size() > 5)
        return -1;
    for (const char c : word) {
        const int d = IsDigit(c) ? c - '0' : OcrDigit(c);
        if (d < 0)
            return -1;
        digit = digit || IsDigit(c);
        value = value * 10 + d;
    }
    return digit ? value : -1;
}

// The numbers a line of page furniture may carry as its page number: the line itself, or its
// first and its last word ("12    TITLE OF BOOK", "CHAPTER NAME    13", "2    9" of chapter 2),
// between dashes or brackets if it likes; -1 where there is none.
std::pair<int64_t, int64_t> PageNumberOf(std::string_view trimmed) noexcept
{
    const auto strip = [](std::string_view word) {
        while (!word.empty() && (word.front() == '-' || word.front() == '[' || word.front() == '(' ||
                                 uint8_t(word.front()) == 0x96 || uint8_t(word.front()) == 0x97 || word.front() == ' '))
            word.remove_prefix(1);
        while (!word.empty() && (word.back() == '-' || word.back() == ']' || word.back() == ')' ||
                                 uint8_t(word.back()) == 0x96 || uint8_t(word.back()) == 0x97 || word.back() == ' '))
            word.remove_suffix(1);
        return word;
    };
    if (const int64_t whole = ReadNumber(strip(trimmed)); whole >= 0)
        return {whole, whole};
    if (const int64_t flanked = FlankedNumber(trimmed); flanked >= 0)
        return {flanked, flanked};
    if (const FurnitureKey key = KeyOf(trimmed); key.ofAll)
        return {key.value, key.value};
    const std::size_t firstSpace = trimmed.find(' ');
    if (firstSpace == std::string_view::npos)
        return {-1, -1};
    return {ReadNumber(trimmed.substr(0, firstSpace)), ReadNumber(trimmed.substr(trimmed.rfind(' ') + 1))};
}

// The form the book's page numbers stand in alone ("12", "– 12 –"): what stands around the
// number in its page lines that hold their page's very number and no letter, where seven in
// ten share it; and whether most of them stand at their page's top.
struct NumberForm {
    std::string prefix;
    std::string suffix;
    bool top = false;
};

std::optional<NumberForm> UsualNumberForm(std::span<const std::string_view> lines, const LineShapes& shapes,
                                          const std::vector<std::size_t>& starts, int64_t offset,
                                          const LineRoles& roles)
{
    const std::size_t pages = starts.size() - 1;
    std::map<std::pair<std::string, std::string>, std::size_t> forms;
    std::size_t numbers = 0;
    std::size_t atTop = 0;
    for (std::size_t p = 0; p < pages; ++p)
        for (std::size_t i = starts[p]; i < starts[p + 1]; ++i) {
            if (roles[i] != LineRole::PageLine)
                continue;
            const std::string_view text = shapes[i].Trimmed(lines[i]);
            const std::size_t digits = text.find_first_of("0123456789");
            if (digits == std::string_view::npos)
                continue;
            ++numbers;
            std::size_t end = digits;
            while (end < text.size() && IsDigit(text[end]))
                ++end;
            const std::string_view number = text.substr(digits, end - digits);
            if (number.size() > 6 || std::stoll(std::string(number)) != int64_t(p) + offset ||
                text.find_first_of("0123456789", end) != std::string_view::npos ||
                std::ranges::any_of(text, [](char c) { return IsLetterByte(uint8_t(c)); }))
                continue;
            ++forms[{std::string(text.substr(0, digits)), std::string(text.substr(end))}];
            atTop += i == starts[p] || std::all_of(roles.begin() + std::ptrdiff_t(starts[p]),
                                                   roles.begin() + std::ptrdiff_t(i),
                                                   [](LineRole r) { return r != LineRole::Text; });
        }
    const auto usual = std::max_element(forms.begin(), forms.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
    if (usual == forms.end() || usual->second < 3 || 10 * usual->second < 7 * numbers)
        return std::nullopt;
    return NumberForm{usual->first.first, usual->first.second, 2 * atTop > usual->second};
}

// Whether a page holds a page line with a digit in it.
bool HasNumberedPageLine(std::span<const std::string_view> lines, const LineShapes& shapes, const LineRoles& roles,
                         std::size_t from, std::size_t to, std::size_t except = SIZE_MAX)
{
    for (std::size_t i = from; i < to; ++i)
        if (i != except && roles[i] == LineRole::PageLine &&
            shapes[i].Trimmed(lines[i]).find_first_of("0123456789") != std::string_view::npos)
            return true;
    return false;
}

// pdftotext reads a page set in two columns column by column, and the number at the foot of
// its left column (an even page's, at the outer edge) comes out with that column, in the
// middle of the page between two halves of a sentence; so does the number at the head of its
// right column (an odd page's), between blank lines. Such a line goes where it is the book's
// usual form with the very number the page's place gives, the page has no numbered page line
// of its own, text or a blank line stands right above it and a blank line below.
void FindNumbersInsidePages(std::span<const std::string_view> lines, const LineShapes& shapes,
                            const std::vector<std::size_t>& starts, int64_t offset, const NumberForm& form,
                            LineRoles& roles)
{
    for (std::size_t p = 0; p + 1 < starts.size(); ++p) {
        if (HasNumberedPageLine(lines, shapes, roles, starts[p], starts[p + 1]))
            continue;
        const std::string number = form.prefix + std::to_string(int64_t(p) + offset) + form.suffix;
        for (std::size_t i = starts[p] + 1; i + 1 < starts[p + 1]; ++i)
            if (roles[i] == LineRole::Text && (roles[i - 1] == LineRole::Text || roles[i - 1] == LineRole::Blank) &&
                roles[i + 1] == LineRole::Blank &&
                shapes[i].Trimmed(lines[i]) == number) {
                roles[i] = LineRole::PageLine;
                break;
            }
    }
}

// pdftotext now and then sets a page's foot number on the page's last line of text ("...Ar– 46
// –", "...text 46"), a head number on its first; where it stood right against a word, the
// hyphen that broke the word was taken out with the line end. Such a number goes where the
// book's page numbers stand alone in one form, the page has no numbered page line of its own,
// and the line ends (or starts) with that form and the very number the page's place gives: the
// rest of the line stays, with the hyphen back. A running head or foot that repeats stays
// furniture.
void CutGluedNumbers(std::span<const std::string_view> lines, const LineShapes& shapes,
                     const std::vector<std::size_t>& starts, int64_t offset, const NumberForm& usual,
                     LineRoles& roles, std::vector<LineCut>& cuts)
{
    const std::size_t pages = starts.size() - 1;
    const auto& [prefix, suffix, top] = usual;
    std::unordered_map<uint64_t, std::size_t> shapesOfPageLines;
    for (std::size_t i = 0; i < roles.size(); ++i)
        if (roles[i] == LineRole::PageLine)
            ++shapesOfPageLines[KeyOf(shapes[i].Trimmed(lines[i])).hash];
    const auto hasLetter = [](std::string_view text) {
        return std::ranges::any_of(text, [](char c) { return IsLetterByte(uint8_t(c)); });
    };
    for (std::size_t p = 0; p < pages; ++p) {
        // The page's first or last line that is not blank.
        std::size_t line = SIZE_MAX;
        for (std::size_t i = starts[p]; i < starts[p + 1]; ++i) {
            if (roles[i] == LineRole::Blank)
                continue;
            if (line == SIZE_MAX || !top)
                line = i;
        }
        if (line == SIZE_MAX)
            continue;
        // A running head without a number is no number of the page's own.
        const std::string_view text = shapes[line].Trimmed(lines[line]);
        const std::string form = prefix + std::to_string(int64_t(p) + offset) + suffix;
        if (HasNumberedPageLine(lines, shapes, roles, starts[p], starts[p + 1], line) || text.size() <= form.size() + 1)
            continue;
        // A line taken for furniture by a number at its end holds more than a running foot
        // would, and its shape stands on no other page.
        if (roles[line] == LineRole::PageLine && shapesOfPageLines[KeyOf(text).hash] > 1)
            continue;
        const std::string lead(lines[line].substr(0, shapes[line].lead));
        std::string kept;
        if (top) {
            if (!text.starts_with(form) || text[form.size()] != ' ')
                continue;
            kept = lead + std::string(text.substr(form.size() + 1 + LeadingSpaceCount(text.substr(form.size() + 1))));
        } else {
            if (!text.ends_with(form))
                continue;
            const std::string_view rest = text.substr(0, text.size() - form.size());
            const uint8_t before = uint8_t(rest.back());
            if (before == ' ')
                kept = lead + std::string(TrimTrailingSpaces(rest));
            else if (IsLetterByte(before))
                kept = lead + std::string(rest) + "-";  // the word goes on on the next page
            else if (before == '-')
                kept = lead + std::string(rest);
            else
                continue;
        }
        if (!hasLetter(kept))
            continue;
        roles[line] = LineRole::Text;
        cuts.push_back({uint32_t(line), std::move(kept), form, top});
    }
}

// pdftotext's default mode reads a page set in two columns a column at a time, and now and
// then puts the running head between them, with a blank line on either side: in the middle of
// the page, and of a sentence. A line there that is a running head the book repeats at its
// pages' edges goes too, where the sentence above it runs on below it: a chapter's heading of
// the same words stands between paragraphs. `heads`: the heads' shapes, with their lengths.
void FindHeadsInsidePages(std::span<const std::string_view> lines, const LineShapes& shapes,
                          const std::vector<std::size_t>& starts,
                          const std::unordered_map<uint64_t, uint32_t>& heads, LineRoles& roles)
{
    const auto runsOn = [&](std::size_t upper, std::size_t lower) {
        const uint8_t last = shapes[upper].last;
        const uint8_t first = shapes[lower].first;
        return (IsLetterByte(last) || last == ',' || last == '-') && IsLowercaseLetter(first);
    };
    for (std::size_t p = 0; p + 1 < starts.size(); ++p)
        for (std::size_t i = starts[p] + 1; i + 1 < starts[p + 1]; ++i) {
            if (roles[i] != LineRole::Text)
                continue;
            // (Hashed only where the length is a head's: most lines are not.)
            const std::string_view text = shapes[i].Trimmed(lines[i]);
            if (std::ranges::none_of(heads, [&](const auto& h) { return h.second == text.size(); }))
                continue;
            const auto head = heads.find(KeyOf(text).hash);
            if (head == heads.end() || head->second != text.size())
                continue;
            std::size_t above = i - 1;
            while (above > starts[p] && roles[above] == LineRole::Blank)
                --above;
            std::size_t below = i + 1;
            while (below + 1 < starts[p + 1] && roles[below] == LineRole::Blank)
                ++below;
            // Set apart by blank lines, as the tool sets the head: a line of the paragraph that
            // happens to read as the head has none.
            if (above + 1 < i && below > i + 1 && roles[above] == LineRole::Text && roles[below] == LineRole::Text &&
                runsOn(above, below))
                roles[i] = LineRole::PageLine;
        }
}

// A PDF's text marks where each page begins with a form feed: page furniture is then what
// stands at the top or the foot of the pages, a number counting up with them, or a line that
// many pages carry in the same place. Nothing else is, then: a chapter's number counts up too.
// `feeds`: the lines that start with a form feed, in order.
bool FindPageLinesByFeeds(std::span<const std::string_view> lines, const LineShapes& shapes, LineRoles& roles,
                          std::vector<LineCut>& cuts, const std::vector<uint32_t>& feeds)
{
    const std::size_t n = lines.size();
    std::vector<std::size_t> starts;  // the first line of every page
    starts.push_back(0);
    for (const uint32_t line : feeds)
        if (line > 0)
            starts.push_back(line);
    if (starts.size() < 4)
        return false;
    starts.push_back(n);
    // The two non-blank lines at the top of each page and the two at its foot.
    constexpr std::size_t kPlaces = 2;
    struct Place {
        uint32_t line;
        uint32_t page;
        int64_t number;  // at its start
        int64_t last;    // at its end
        uint64_t key;
        bool top;
    };
    std::vector<Place> places;
    for (std::size_t p = 0; p + 1 < starts.size(); ++p) {
        std::size_t taken = 0;
        std::size_t firstTaken = n;
        for (std::size_t i = starts[p]; i < starts[p + 1] && taken < kPlaces; ++i)
            if (roles[i] == LineRole::Text) {
                places.push_back({uint32_t(i), uint32_t(p), -1, -1, 0, true});
                firstTaken = std::min(firstTaken, i);
                ++taken;
            }
        taken = 0;
        for (std::size_t i = starts[p + 1]; i-- > starts[p] && taken < kPlaces;)
            if (roles[i] == LineRole::Text && i > firstTaken + 1) {
                places.push_back({uint32_t(i), uint32_t(p), -1, -1, 0, false});
                ++taken;
            }
    }
    std::unordered_map<int64_t, uint32_t> offsets;  // page number less the page's index
    ShapeCounts keys(places.size());
    for (Place& place : places) {
        const std::string_view trimmed = shapes[place.line].Trimmed(lines[place.line]);
        std::tie(place.number, place.last) = PageNumberOf(trimmed);
        place.key = KeyOf(trimmed).hash;
        if (place.number >= 0)
            ++offsets[place.number - int64_t(place.page)];
        if (place.last >= 0 && place.last != place.number)
            ++offsets[place.last - int64_t(place.page)];
        ++keys[place.key];
    }
    int64_t offset = 0;
    uint32_t most = 0;
    for (const auto& [value, count] : offsets)
        if (count > most || (count == most && value < offset)) {
            offset = value;
            most = count;
        }
    const std::size_t pages = starts.size() - 1;
    const bool numbered = 10 * std::size_t(most) >= 3 * pages;
    bool found = false;
    for (const Place& place : places) {
        // A number one off its page's: OCR misread a digit, or a page went missing.
        const auto fits = [&](int64_t number) {
            return number >= 0 && std::abs(number - int64_t(place.page) - offset) <= 1;
        };
        const bool counted = numbered && (fits(place.number) || fits(place.last));
        // A bare number repeats as a shape on every page: chapter numbers too, so only its
        // count tells.
        const bool repeated = place.number < 0 && place.last < 0 && keys[place.key] >= std::max<std::size_t>(3, pages / 5);
        if (counted || repeated) {
            roles[place.line] = LineRole::PageLine;
            found = true;
        }
    }
    // The running heads without a number, as the pages' edges show them.
    std::unordered_map<uint64_t, uint32_t> heads;
    for (const Place& place : places)
        if (roles[place.line] == LineRole::PageLine && place.number < 0 && place.last < 0)
            heads.emplace(place.key, uint32_t(shapes[place.line].Trimmed(lines[place.line]).size()));
    if (!heads.empty())
        FindHeadsInsidePages(lines, shapes, starts, heads, roles);
    // A line above the page number at the top of a page is part of the head: a chapter's
    // number or name over the page's.
    for (std::size_t k = 1; k < places.size(); ++k)
        if (places[k].top && places[k - 1].top && places[k].page == places[k - 1].page &&
            roles[places[k].line] == LineRole::PageLine && (places[k].number >= 0 || places[k].last >= 0))
            roles[places[k - 1].line] = LineRole::PageLine;
    if (numbered)
        if (const std::optional<NumberForm> form = UsualNumberForm(lines, shapes, starts, offset, roles)) {
            FindNumbersInsidePages(lines, shapes, starts, offset, *form, roles);
            CutGluedNumbers(lines, shapes, starts, offset, *form, roles, cuts);
        }
    return found || !cuts.empty();
}

// A page line ends a page: a line without a number, between paragraphs, that follows only a
// few lines of the book's start is its title (or its author) read like the running header.
void KeepTitles(std::span<const std::string_view> lines, const LineShapes& shapes, const std::vector<bool>& inside,
                LineRoles& roles)
{
    std::vector<uint32_t> ordinals;  // of the page lines, counted in non-blank lines
    uint32_t ordinal = 0;
    for (std::size_t i = 0; i < roles.size(); ++i) {
        if (roles[i] == LineRole::Blank)
            continue;
        ++ordinal;
        if (roles[i] == LineRole::PageLine)
            ordinals.push_back(ordinal);
    }
    if (ordinals.size() < 3)
        return;
    std::vector<uint32_t> gaps;
    for (std::size_t k = 1; k < ordinals.size(); ++k)
        gaps.push_back(ordinals[k] - ordinals[k - 1]);
    std::nth_element(gaps.begin(), gaps.begin() + std::ptrdiff_t(gaps.size() / 2), gaps.end());
    // Several page lines of one page (a header and a number) stand close together.
    const double page = double(std::max<uint32_t>(gaps[gaps.size() / 2], 1));
    // A bare number there is the first page's only where the next page's counts on from it: a
    // chapter's "1" above the first page's "5" is the chapter's.
    const auto countsOn = [&](std::size_t line, uint32_t at, int64_t value) {
        uint32_t o = at;
        for (std::size_t j = line + 1; j < roles.size(); ++j) {
            if (roles[j] == LineRole::Blank)
                continue;
            ++o;
            if (roles[j] != LineRole::PageLine)
                continue;
            const FurnitureKey next = KeyOf(shapes[j].Trimmed(lines[j]));
            if (!next.digits)
                continue;
            const int64_t pages = std::max<int64_t>(1, RoundedPages(double(o - at) / page));
            return next.value - value >= 1 && next.value - value <= pages + 1;
        }
        return true;
    };
    ordinal = 0;
    for (std::size_t i = 0; i < roles.size(); ++i) {
        if (roles[i] == LineRole::Blank)
            continue;
        ++ordinal;
        if (roles[i] != LineRole::PageLine)
            continue;
        if (inside[i] || double(ordinal - 1) >= (1 - kPageTolerance) * page)
            break;
        const std::string_view text = shapes[i].Trimmed(lines[i]);
        if (const FurnitureKey key = KeyOf(text);
            key.digits && !(std::ranges::all_of(text, IsDigit) && !countsOn(i, ordinal, key.value)))
            break;
        roles[i] = LineRole::Text;
    }
}

// Whether a line has a blank line before it and after it, as two bits. OCR keeps a head at the
// top apart from the page below it and a number at the foot from the page above, where a
// chapter's number or title has blank lines on both sides.
int BlankSides(const LineRoles& roles, std::size_t i)
{
    return (i > 0 && roles[i - 1] == LineRole::Blank ? 1 : 0) +
           (i + 1 < roles.size() && roles[i + 1] == LineRole::Blank ? 2 : 0);
}

// The blank sides of most of the lines counted, or -1 where fewer than 70% share theirs.
int UsualSides(const std::array<std::size_t, 4>& bySides)
{
    const auto usual = std::max_element(bySides.begin(), bySides.end());
    const std::size_t total = bySides[0] + bySides[1] + bySides[2] + bySides[3];
    return total > 0 && 10 * *usual >= 7 * total ? int(usual - bySides.begin()) : -1;
}

// Whether OCR may have read the page number `expected` as `read`: one digit wrong, or one
// lost ("4" for "41").
bool OneDigitOff(int64_t read, int64_t expected)
{
    if (read < 0 || read == expected)
        return false;
    const std::string a = std::to_string(read);
    const std::string b = std::to_string(expected);
    if (a.size() == b.size()) {
        std::size_t differ = 0;
        for (std::size_t k = 0; k < a.size(); ++k)
            differ += a[k] != b[k] ? 1 : 0;
        return differ == 1;
    }
    if (a.size() + 1 != b.size())
        return false;
    for (std::size_t k = 0; k < b.size(); ++k)
        if (b.substr(0, k) + b.substr(k + 1) == a)
            return true;
    return false;
}

// Whether a scan's page number `expected` may have been read as `read`: one digit of two or
// more wrong ("90" for 30), the others right. A digit lost, or a number of one digit, is as
// likely a chapter's number ("2" over page 12, "3" over page 8).
bool DigitMisread(int64_t read, int64_t expected)
{
    return expected >= 10 && OneDigitOff(read, expected) &&
           std::to_string(read).size() == std::to_string(expected).size();
}

// A book's first line is a page line only where the rest of the book says so: a text that
// starts in the middle of a book (some pages of it) starts with the page's head. Its shape is
// that of the next page line of the shape, and its number is that one's less the pages between:
// a chapter's title or number at the top of a book reads otherwise. A head whose words OCR
// lost but its number ("27" for "XVII 27") has a shape of its own: a number alone is taken
// where the very next page line counts on from it, whatever that one's shape. Not a "1": the
// first chapter's number above page 2 reads so.
void FindFirstPageLine(std::span<const std::string_view> lines, const LineShapes& shapes, double period,
                       double tolerance, std::size_t longest, LineRoles& roles)
{
    const auto first = std::size_t(std::find(roles.begin(), roles.end(), LineRole::Text) - roles.begin());
    if (first == roles.size() || shapes[first].length - shapes[first].lead > longest + 3)
        return;
    const std::string_view text = shapes[first].Trimmed(lines[first]);
    const FurnitureKey key = KeyOf(text);
    if (!key.digits)
        return;
    bool nextOnly = ReadNumber(text) >= 2;
    const auto countsOn = [&](uint32_t ordinal, int64_t value) {
        const int64_t pages = RoundedPages(double(ordinal - 1) / period);
        return pages >= 1 && pages <= 2 && std::abs(double(ordinal - 1) - double(pages) * period) <= tolerance &&
               key.value == value - pages;
    };
    uint32_t ordinal = 1;
    for (std::size_t i = first + 1; i < roles.size(); ++i) {
        if (roles[i] == LineRole::Blank)
            continue;
        ++ordinal;
        if (roles[i] != LineRole::PageLine)
            continue;
        const std::string_view other = shapes[i].Trimmed(lines[i]);
        const FurnitureKey same = KeyOf(other);
        if (same.hash == key.hash) {
            if (countsOn(ordinal, same.value))
                roles[first] = LineRole::PageLine;
            return;
        }
        if (nextOnly) {
            const auto [head, foot] = PageNumberOf(other);
            if (countsOn(ordinal, head) || countsOn(ordinal, foot)) {
                roles[first] = LineRole::PageLine;
                return;
            }
            nextOnly = false;
        }
    }
}

// The pages between two numbered page lines whose numbers skip some: their furniture did not
// repeat (a running head naming a chapter one or two pages long, a number OCR misread), but
// their numbers stand where the pages around them say, at the start or the end of a short
// line. Each line is looked at for the pages around it only, so the search stays linear.
void FindSkippedPages(std::span<const std::string_view> lines, const LineShapes& shapes, LineRoles& roles)
{
    struct Numbered {
        uint32_t line;
        uint32_t ordinal;  // counted in non-blank lines
        int64_t value;
        uint64_t shape;  // the key's hash: a page may carry two numbered lines, a head and a foot
    };
    std::vector<Numbered> numbered;
    std::size_t longest = 0;
    const auto sides = [&](std::size_t i) { return BlankSides(roles, i); };
    std::array<std::size_t, 4> bySides{};
    std::size_t lastText = 0;
    // The page lines' keys, read in two halves of a long book side by side (each counting the
    // lines from where the first half's end), each half's numbers then put behind the first's.
    struct alignas(64) Taken {  // (each half's on cache lines of its own)
        std::vector<Numbered> numbered;
        std::size_t longest = 0;
        std::array<std::size_t, 4> bySides{};
    };
    // A book of page lines nearly all gives the second half up, to be read after the first.
    Taken front, back;
    const auto look = [&](std::size_t from, std::size_t to, uint32_t o, Taken& t) {
        const auto visit = [&](uint32_t i, uint32_t at) {
            const FurnitureKey key = KeyOf(shapes[i].Trimmed(lines[i]));
            t.longest = std::max<std::size_t>(t.longest, shapes[i].length - shapes[i].lead);
            if (key.digits) {
                t.numbered.push_back({i, at, key.value, key.hash});
                ++t.bySides[std::size_t(sides(i))];
            }
        };
        LinesAhead pageLines(lines, shapes);
        std::size_t counted = from;  // the non-blank lines before it are in `o`
        for (std::size_t i = NextWithRole(roles, from, LineRole::PageLine);
             i < to && !(&t == &back && t.numbered.size() > kNotedMost);
             i = NextWithRole(roles, i + 1, LineRole::PageLine)) {
            o += uint32_t(NonBlankLines(roles, counted, i + 1));
            counted = i + 1;
            pageLines.Add(uint32_t(i), o, visit);
        }
        pageLines.Finish(visit);
    };
    const std::size_t n = roles.size();
    const std::size_t mid = n / 2;
    std::exception_ptr failure;
    SideBySide(
        n >= kWorthASecondThread, [&] { look(0, mid, 0, front); },
        [&]() noexcept {
            try {
                look(mid, n, uint32_t(NonBlankLines(roles, 0, mid)), back);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (failure)
        std::rethrow_exception(failure);
    if (back.numbered.size() > kNotedMost) {
        back = Taken{};
        look(mid, n, uint32_t(NonBlankLines(roles, 0, mid)), front);
    }
    numbered = std::move(front.numbered);
    numbered.insert(numbered.end(), back.numbered.begin(), back.numbered.end());
    longest = std::max(front.longest, back.longest);
    for (std::size_t k = 0; k < bySides.size(); ++k)
        bySides[k] = front.bySides[k] + back.bySides[k];
    for (std::size_t i = n; i-- > 0;)
        if (roles[i] != LineRole::Blank) {
            lastText = i;
            break;
        }
    // A number a digit off must also stand as the book's page numbers do.
    const int pageSides = UsualSides(bySides);
    // Each page line from the one of its shape before it: a foot and the next page's head are
    // a line apart and a page's number apart.
    std::vector<double> perPage;
    std::unordered_map<uint64_t, std::size_t> lastOfShape;
    for (std::size_t k = 0; k < numbered.size(); ++k) {
        const auto [last, isFirst] = lastOfShape.try_emplace(numbered[k].shape, k);
        if (isFirst)
            continue;
        const Numbered& before = numbered[std::exchange(last->second, k)];
        if (const int64_t pages = numbered[k].value - before.value; pages >= 1 && pages <= 3)
            perPage.push_back(double(numbered[k].ordinal - before.ordinal) / double(pages));
    }
    if (perPage.size() < 2)
        return;
    std::nth_element(perPage.begin(), perPage.begin() + std::ptrdiff_t(perPage.size() / 2), perPage.end());
    const double period = perPage[perPage.size() / 2];
    const double tolerance = std::max(3.0, 0.25 * period);
    // A page line taken although OCR read its number a digit wrong counts as the number its
    // place gives, so that the pages around it are counted from it.
    for (std::size_t k = 0; k < numbered.size(); ++k) {
        const Numbered* near = k > 0 ? &numbered[k - 1] : numbered.size() > 1 ? &numbered[1] : nullptr;
        if (near == nullptr)
            break;
        const double gap = double(numbered[k].ordinal) - double(near->ordinal);
        const int64_t pages = RoundedPages(gap / period);
        const int64_t step = numbered[k].value - near->value;
        if (pages != 0 && (step == 0 || step / pages < 1 || step / pages > 4) &&
            DigitMisread(numbered[k].value, near->value + pages))
            numbered[k].value = near->value + pages;
    }
    struct Candidate {
        uint32_t line;
        uint32_t ordinal;
        int64_t first;
        int64_t last;
    };
    // The short lines after line `from` (of ordinal `o`) and before line `to` that start or end
    // with a number; the book's first line is none.
    std::vector<Candidate> between;
    const auto collect = [&](std::size_t from, uint32_t o, std::size_t to) {
        between.clear();
        for (std::size_t i = from; i < to; ++i) {
            if (roles[i] == LineRole::Blank)
                continue;
            ++o;
            if (roles[i] != LineRole::Text || o == 1 || shapes[i].length - shapes[i].lead > longest + 3)
                continue;
            const auto [first, last] = PageNumberOf(shapes[i].Trimmed(lines[i]));
            if (first >= 0 || last >= 0)
                between.push_back({uint32_t(i), o, first, last});
        }
    };
    // Marks the line of page `v` found where its page begins: from `fromA` or `fromB` (counted
    // from either side: a short page, a chapter's end, on one side moves one count only). The
    // numbers read right are taken first, so that none of them is taken for a misread one.
    const auto mark = [&](int64_t v, double fromA, double fromB, bool misreadToo) {
        if (v < 1)  // no book numbers a page 0 (a chapter's "1" above page 1 is no misread "0")
            return;
        const double low = std::min(fromA, fromB) - tolerance;
        const double high = std::max(fromA, fromB) + tolerance;
        const double expected = (fromA + fromB) / 2;
        const auto distance = [&](const Candidate& c) { return std::abs(double(c.ordinal) - expected); };
        const Candidate* best = nullptr;
        bool bestExact = false;
        std::size_t misread = 0;
        for (const Candidate& c : between) {
            if (double(c.ordinal) < low || double(c.ordinal) > high || roles[c.line] != LineRole::Text)
                continue;
            const bool exact = c.first == v || c.last == v;
            // The book's last line has no side below it.
            const int mask = c.line >= lastText ? 1 : 3;
            if (!exact && (!misreadToo || pageSides < 0 || (sides(c.line) & mask) != (pageSides & mask) ||
                           (!OneDigitOff(c.first, v) && !OneDigitOff(c.last, v))))
                continue;
            misread += exact ? 0 : 1;
            if (!best || (exact && !bestExact) || (exact == bestExact && distance(c) < distance(*best))) {
                best = &c;
                bestExact = exact;
            }
        }
        // Of two numbers a digit off ("12" for 72 over a chapter's "32"), nothing tells which.
        if (best && (bestExact || misread == 1))
            roles[best->line] = LineRole::PageLine;
    };
    for (std::size_t k = 1; k < numbered.size(); ++k) {
        const Numbered& a = numbered[k - 1];
        const Numbered& b = numbered[k];
        if (b.value - a.value < 2 || b.value - a.value > 4)
            continue;
        collect(a.line + 1, a.ordinal, b.line);
        for (const bool misreadToo : {false, true})
            for (int64_t v = a.value + 1; v < b.value; ++v)
                mark(v, double(a.ordinal) + double(v - a.value) * period,
                     double(b.ordinal) - double(b.value - v) * period, misreadToo);
    }
    // The page before the first numbered one and the page after the last, where a number
    // should stand but the book's furniture did not. A book whose first line is the head of
    // the page before has that page's number there, and a number under it is a chapter's.
    FindFirstPageLine(lines, shapes, period, tolerance, longest, roles);
    const Numbered& first = numbered.front();
    const Numbered& last = numbered.back();
    const auto firstText = std::find(roles.begin(), roles.end(), LineRole::Text);
    const auto top = std::size_t(std::find(roles.begin(), firstText, LineRole::PageLine) - roles.begin());
    if (top == std::size_t(firstText - roles.begin()) || KeyOf(shapes[top].Trimmed(lines[top])).value != first.value - 1) {
        collect(0, 0, first.line);
        const double before = double(first.ordinal) - period;
        mark(first.value - 1, before, before, true);
    }
    collect(last.line + 1, last.ordinal, roles.size());
    const double after = double(last.ordinal) + period;
    mark(last.value + 1, after, after, true);
}

// Whether OCR may have read the running head `head` as `line`: spaces aside, a character or
// two changed, lost or added (one in a short head; a head of a few letters must read right).
bool NearlyEqual(std::string_view head, std::string_view line)
{
    std::string a;
    std::string b;
    for (const char c : head)
        if (c != ' ')
            a += c;
    for (const char c : line)
        if (c != ' ')
            b += c;
    const std::size_t allowed = a.size() >= 10 ? 2 : a.size() >= 6 ? 1 : 0;
    if (allowed == 0 || a == b || b.size() + allowed < a.size() || b.size() > a.size() + allowed)
        return false;
    // Edit distance, row by row.
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        std::size_t best = row[0];
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
            best = std::min(best, row[j]);
        }
        if (best > allowed)
            return false;
    }
    return row[b.size()] <= allowed;
}

// A running head without a number that OCR misread on a page or two is no longer of its
// shape, and its run skips those pages: where the run says it stands, a line that reads
// nearly like it and has blank lines on the sides its run has them is it. Only the lines of
// the pages skipped are looked at.
void FindMisreadHeads(std::span<const std::string_view> lines, const LineShapes& shapes, const Rhythm& rhythm,
                      LineRoles& roles)
{
    std::array<std::size_t, 4> bySides{};
    for (const uint32_t line : rhythm.members)
        ++bySides[std::size_t(BlankSides(roles, line))];
    const int headSides = UsualSides(bySides);
    if (headSides < 0)
        return;
    const std::string_view head = shapes[rhythm.members.front()].Trimmed(lines[rhythm.members.front()]);
    const double tolerance = std::max(2.0, 0.25 * rhythm.period);
    for (std::size_t k = 1; k < rhythm.members.size(); ++k) {
        const double gap = double(rhythm.ordinals[k] - rhythm.ordinals[k - 1]);
        const int64_t pages = RoundedPages(gap / rhythm.period);
        if (pages < 2)
            continue;
        uint32_t ordinal = rhythm.ordinals[k - 1];
        for (std::size_t i = rhythm.members[k - 1] + 1; i < rhythm.members[k]; ++i) {
            if (roles[i] == LineRole::Blank)
                continue;
            ++ordinal;
            // The nearest skipped page's place, counted from the run's line before.
            const double place = std::round((double(ordinal) - double(rhythm.ordinals[k - 1])) / rhythm.period);
            const double expected = double(rhythm.ordinals[k - 1]) + place * rhythm.period;
            if (place < 1 || place >= double(pages) || std::abs(double(ordinal) - expected) > tolerance ||
                roles[i] != LineRole::Text || BlankSides(roles, i) != headSides)
                continue;
            const std::string_view line = shapes[i].Trimmed(lines[i]);
            if (line.size() + 4 >= head.size() && line.size() <= head.size() + 4 && NearlyEqual(head, line))
                roles[i] = LineRole::PageLine;
        }
    }
}

// Marks the page lines: repeated shapes in a page rhythm, and the numbers between dashes that
// the plain glue always removes.
// `inside` tells of each repeated line whether it stands inside a paragraph.
// `dashed`: the lines that start and end with a hyphen, in order.
void FindPageLines(std::span<const std::string_view> lines, const LineShapes& shapes, int32_t width,
                   LineRoles& roles, std::vector<bool>& inside, const std::vector<uint32_t>& dashed)
{
    const std::size_t n = lines.size();
    inside.assign(n, false);
    std::vector<uint64_t> hashes;  // of the lines looked at, blank ones included
    ShapeCounts counts(std::min(n, kDetectionLines));
    std::size_t nonBlank = 0;
    for (std::size_t i = 0; i < n && nonBlank < kDetectionLines; ++i) {
        hashes.push_back(0);
        if (roles[i] != LineRole::Text)
            continue;
        ++nonBlank;
        hashes[i] = KeyOf(shapes[i].Trimmed(lines[i])).hash;
        ++counts[hashes[i]];
    }
    std::unordered_map<uint64_t, Group> groups;
    std::array<bool, 256> firstBytes{};
    std::size_t shortest = SIZE_MAX;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < hashes.size(); ++i) {
        if (roles[i] != LineRole::Text || counts[hashes[i]] < 3)
            continue;
        const std::size_t size = shapes[i].length - shapes[i].lead;
        firstBytes[IsDigit(char(shapes[i].first)) ? uint8_t('0') : shapes[i].first] = true;
        shortest = std::min(shortest, size);
        longest = std::max(longest, size);
        groups[hashes[i]];
    }
    // The numbers between dashes that the plain glue always removes.
    const auto dashedNumbers = [&] {
        for (const uint32_t i : dashed)
            if (roles[i] == LineRole::Text && IsPageNumberLine(lines[i].substr(shapes[i].lead)))
                roles[i] = LineRole::PageLine;
    };
    if (groups.empty()) {
        dashedNumbers();
        return;
    }
    // Page numbers further on may have more digits.
    shortest = shortest > 3 ? shortest - 3 : 0;
    longest += 3;
    // The lines of the groups' shape, found in two halves of a long book side by side (each
    // counting its text lines from where the first half's end): the first half puts them in
    // their groups, the second in groups of its own, which then go behind the first's.
    const auto add = [](Group& g, uint32_t line, uint32_t o, const FurnitureKey& key) {
        g.digits = key.digits;
        if (o == 1)  // a page line ends a page of text: the book's first line is none
            return;
        if (!g.values.empty() || key.digits) {
            g.values.resize(g.lines.size(), -1);
            g.values.push_back(key.value);
        }
        g.lines.push_back(line);
        g.ordinals.push_back(o);
    };
    std::vector<std::pair<Group*, Group>> later;  // the second half's, few: one a shape
    // A book of furniture (every line a number, say) has its lines in the groups nearly all:
    // the second half gives up then, and is read after the first, as it always was, rather
    // than hold its lines twice.
    std::size_t noted = 0;
    bool abandoned = false;
    const auto look = [&](std::size_t from, std::size_t to, uint32_t ordinal, bool second) {
        const auto visit = [&](uint32_t i, uint32_t o) {
            const FurnitureKey key = KeyOf(shapes[i].Trimmed(lines[i]));
            // Only found here: no group is added while both halves run.
            const auto group = groups.find(key.hash);
            if (group == groups.end())
                return;
            Group* g = &group->second;
            if (second) {
                auto own = std::find_if(later.begin(), later.end(), [&](const auto& p) { return p.first == g; });
                if (own == later.end())
                    own = later.insert(later.end(), {g, Group{}});
                g = &own->second;
                abandoned = abandoned || ++noted > kNotedMost;
            }
            add(*g, i, o, key);
        };
        LinesAhead looked(lines, shapes);
        for (std::size_t i = from; i < to && !(second && abandoned); ++i) {
            if (roles[i] != LineRole::Text)
                continue;
            ++ordinal;
            const std::size_t size = shapes[i].length - shapes[i].lead;
            if (size < shortest || size > longest ||
                !firstBytes[IsDigit(char(shapes[i].first)) ? uint8_t('0') : shapes[i].first])
                continue;
            looked.Add(uint32_t(i), ordinal, visit);
        }
        looked.Finish(visit);
        return ordinal;
    };
    const std::size_t mid = n / 2;
    std::exception_ptr failure;
    SideBySide(
        n >= kWorthASecondThread, [&] { (void)look(0, mid, 0, false); },
        [&]() noexcept {
            try {
                const auto before = std::count(roles.begin(), roles.begin() + std::ptrdiff_t(mid), LineRole::Text);
                (void)look(mid, n, uint32_t(before), true);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (failure)
        std::rethrow_exception(failure);
    if (abandoned) {
        later.clear();
        (void)look(mid, n, uint32_t(std::count(roles.begin(), roles.begin() + std::ptrdiff_t(mid), LineRole::Text)),
                   false);
    }
    for (auto& [g, own] : later) {
        if (!own.values.empty() || !g->values.empty()) {
            g->values.resize(g->lines.size(), -1);
            own.values.insert(own.values.begin(), own.lines.size() - own.values.size(), -1);
        }
        g->digits = own.digits;
        g->lines.insert(g->lines.end(), own.lines.begin(), own.lines.end());
        g->ordinals.insert(g->ordinals.end(), own.ordinals.begin(), own.ordinals.end());
        g->values.insert(g->values.end(), own.values.begin(), own.values.end());
        own = Group{};
    }
    const uint32_t ordinal = uint32_t(std::count(roles.begin(), roles.end(), LineRole::Text));
    // Page furniture falls where the page ends, mostly inside a paragraph: the line before it
    // is full and the text goes on after it. A heading, a scene break or a refrain stands
    // between paragraphs, after a line that ends short.
    std::vector<bool> candidate(n, false);
    for (const auto& [hash, g] : groups)
        for (const uint32_t line : g.lines)
            candidate[line] = true;
    // Whether each candidate interrupts a paragraph, found in two passes over the book: the
    // nearest text lines either side that are no candidates, whatever runs of candidates (a
    // table of numbers, a thousand equal lines) lie between.
    if (width > 0) {
        std::vector<uint32_t> beforeLength;  // per candidate, of the text line before it, + 1
        uint32_t lastLength = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (candidate[i])
                beforeLength.push_back(lastLength);
            else if (roles[i] == LineRole::Text)
                lastLength = shapes[i].length + 1;
        }
        bool textAfter = false;
        uint32_t nextWord = 0;
        std::size_t k = beforeLength.size();
        for (std::size_t i = n; i-- > 0;) {
            if (candidate[i]) {
                --k;
                inside[i] = textAfter && beforeLength[k] > 0 && beforeLength[k] + nextWord > uint32_t(width);
            } else if (roles[i] == LineRole::Text) {
                textAfter = true;
                nextWord = shapes[i].firstWord;
            }
        }
    }
    const auto interrupts = [&](std::size_t line) { return bool(inside[line]); };
    std::vector<Rhythm> found;
    for (auto& [hash, g] : groups) {
        g.inside.reserve(g.lines.size());
        for (const uint32_t line : g.lines)
            g.inside.push_back(width > 0 && interrupts(line));
        Rhythm rhythm = FindRhythm(g, ordinal);
        if (rhythm.members.empty())
            continue;
        if (width > 0) {
            std::size_t interrupting = 0;
            for (const uint32_t line : rhythm.members)
                interrupting += interrupts(line) ? 1 : 0;
            if (10 * interrupting < 3 * rhythm.members.size())
                continue;
        }
        found.push_back(std::move(rhythm));
    }
    // A book has one page length: the furniture that appears most gives it, and other
    // furniture must appear on every page, or, without a number, on every other one (a
    // number gives its period per page already).
    std::sort(found.begin(), found.end(), [](const Rhythm& a, const Rhythm& b) {
        return a.members.size() > b.members.size() ||
               (a.members.size() == b.members.size() && a.members.front() < b.members.front());
    });
    int heads = 0;  // running heads without a number looked at for misreadings: two at most
    for (const Rhythm& rhythm : found) {
        const double ratio = rhythm.period / found.front().period;
        const bool steady = std::abs(ratio - 1) < 0.25 || (!rhythm.numbered && std::abs(ratio - 2) < 0.4) ||
                            (!found.front().numbered && std::abs(ratio - 0.5) < 0.1);
        if (!steady)
            continue;
        for (const uint32_t line : rhythm.members)
            roles[line] = LineRole::PageLine;
        if (!rhythm.numbered && heads++ < 2)
            FindMisreadHeads(lines, shapes, rhythm, roles);
    }
    FindSkippedPages(lines, shapes, roles);
    KeepTitles(lines, shapes, inside, roles);
    dashedNumbers();
}

// The blank lines on both sides of a page line that the two sides have in common came with
// it; in a book that puts them before nearly all its page lines and none after, all those
// before it (a page that ends short leaves more above its foot); after only, or a number of
// them on each side, those the side usually has. A blank line left over is a paragraph break
// of the text. Blank lines between two page lines go with them, and so do those between a
// page line and the next page's feed.
void ShareBlankLines(const LineShapes& shapes, LineRoles& roles, const std::vector<bool>& inside)
{
    const std::size_t n = roles.size();
    // Calls visit(first, last, before, after) for each run of page lines (first .. last, with
    // only blank lines between them) and the blank lines before and after it.
    const auto eachRun = [&](auto&& visit) {
        for (std::size_t i = NextWithRole(roles, 0, LineRole::PageLine); i < n;) {
            std::size_t last = i;
            for (std::size_t j = i + 1; j < n && roles[j] != LineRole::Text; ++j)
                if (roles[j] == LineRole::PageLine)
                    last = j;
            std::size_t before = 0;
            while (before < i && roles[i - 1 - before] == LineRole::Blank)
                ++before;
            std::size_t after = 0;
            while (last + 1 + after < n && roles[last + 1 + after] == LineRole::Blank)
                ++after;
            visit(i, last, before, after);
            i = NextWithRole(roles, last + 1, LineRole::PageLine);
        }
    };
    // How many runs have at least k blank lines before them, and after them: of the runs inside
    // a paragraph, where no blank line is the text's, if there are enough of them.
    std::size_t interrupting = 0;
    eachRun([&](std::size_t first, std::size_t, std::size_t, std::size_t) { interrupting += inside[first] ? 1 : 0; });
    constexpr std::size_t kSides = 8;  // a printer's page: five blank lines at its foot, two above the next head
    std::array<std::size_t, kSides + 1> atLeastBefore{};
    std::array<std::size_t, kSides + 1> atLeastAfter{};
    std::size_t runs = 0;
    eachRun([&](std::size_t first, std::size_t, std::size_t before, std::size_t after) {
        if (interrupting >= 4 && !inside[first])
            return;
        ++runs;
        for (std::size_t k = 1; k <= std::min(before, kSides); ++k)
            ++atLeastBefore[k];
        for (std::size_t k = 1; k <= std::min(after, kSides); ++k)
            ++atLeastAfter[k];
    });
    // The blank lines a side nearly always has.
    const auto usual = [&](const std::array<std::size_t, kSides + 1>& atLeast) {
        std::size_t k = 0;
        while (k < kSides && runs >= 4 && 10 * atLeast[k + 1] >= 7 * runs)
            ++k;
        return k;
    };
    // One side only where the other is mostly bare: a book with blank lines around some
    // page lines and none around others has them on both sides or on neither.
    const auto oneSided = [&](std::size_t usualHere, const std::array<std::size_t, kSides + 1>& other) {
        return usualHere > 0 && 10 * other[1] <= 3 * runs;
    };
    const std::size_t usualBefore = usual(atLeastBefore);
    const std::size_t usualAfter = usual(atLeastAfter);
    const bool onlyBefore = oneSided(usualBefore, atLeastAfter);
    const bool onlyAfter = oneSided(usualAfter, atLeastBefore);
    eachRun([&](std::size_t first, std::size_t last, std::size_t before, std::size_t after) {
        for (std::size_t j = first; j < last; ++j)
            if (roles[j] == LineRole::Blank)
                roles[j] = LineRole::PageBlank;
        const std::size_t common = std::min(before, after);
        std::size_t goBefore = onlyBefore ? before : onlyAfter ? 0 : common;
        std::size_t goAfter = onlyAfter ? std::min(after, usualAfter) : onlyBefore ? 0 : common;
        if (usualBefore > 0 && usualAfter > 0) {  // both sides, as many as the book has there
            goBefore = std::min(before, usualBefore);
            goAfter = std::min(after, usualAfter);
        }
        // Blank lines between a foot line and the next page's feed end that page.
        if (last + 1 + after < n && shapes[last + 1 + after].feed)
            goAfter = after;
        for (std::size_t k = 1; k <= goBefore; ++k)
            roles[first - k] = LineRole::PageBlank;
        for (std::size_t k = 1; k <= goAfter; ++k)
            roles[last + k] = LineRole::PageBlank;
    });
}

// How many text lines have each length; longer lines count as kLongest.
constexpr std::size_t kLongest = 1024;
struct LineLengths {
    std::vector<uint32_t> histogram;
    std::size_t total = 0;  // text lines
};
LineLengths LengthHistogram(const LineShapes& shapes, const LineRoles& roles)
{
    LineLengths lengths{std::vector<uint32_t>(kLongest + 1, 0)};
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (roles[i] != LineRole::Text)
            continue;
        ++lengths.histogram[std::min<std::size_t>(shapes[i].length, kLongest)];
        ++lengths.total;
    }
    return lengths;
}

// The largest length that many lines have: greedy wrapping fills lines up to the width, so
// lengths pile up just below it; a few longer lines (an unbreakable word) do not count.
int32_t FindWidth(const LineLengths& lengths)
{
    const auto& [histogram, total] = lengths;
    if (total < 10)
        return 0;
    const std::size_t enough = std::max<std::size_t>(3, total / 200);
    std::size_t width = kLongest;
    while (width > 0 && histogram[width] < enough)
        --width;
    if (width < 10 || width == kLongest)
        return 0;
    // A wrapped book has most of its lines in the upper half of the width, and almost none
    // beyond it; a book of one paragraph per line has neither. And a wrapper fills lines up to
    // the width: the lengths pile up against it (one full line in seven or more ends right at
    // it), where lines cut at no width in particular thin out gradually.
    std::size_t upperHalf = 0;
    std::size_t beyond = 0;
    for (std::size_t len = width / 2 + 1; len <= kLongest; ++len)
        (len <= width ? upperHalf : beyond) += histogram[len];
    const std::size_t atWidth = histogram[width] + histogram[width - 1] + histogram[width - 2];
    if (double(upperHalf) < 0.6 * double(total) || double(beyond) > 0.02 * double(total) ||
        double(atWidth) < 0.1 * double(total))
        return 0;
    return int32_t(width);
}

// A wrapper never leaves room for the next word, so inside a paragraph (a line ending in a
// letter or a comma, the next one starting in lower case) the next word does not fit. Where
// it does in many such breaks, the lines only look wrapped: justified text in a proportional
// face whose lengths gather closely, or a text wrapped by its bytes in another encoding.
bool WrappedAt(const LineShapes& shapes, const LineRoles& roles, int32_t width)
{
    std::size_t inside = 0;
    std::size_t fitting = 0;
    for (std::size_t i = 1; i < shapes.size(); ++i) {
        if (roles[i] != LineRole::Text || roles[i - 1] != LineRole::Text)
            continue;
        const LineShape& up = shapes[i - 1];
        if (!(IsLetterByte(up.last) || up.last == ',') || !IsLowercase(char(shapes[i].first)))
            continue;
        ++inside;
        fitting += NextWordFits(up, shapes[i], width) ? 1 : 0;
    }
    return inside < 50 || fitting * 5 < inside;
}

// Justified text in a proportional font (a PDF's text) has no one width in characters: its
// full lines spread some 15% around their usual length. What the book shows is then the
// shortest length of a usual full line (a line that ends shorter than that with room for the
// next word was ended on purpose), and the length from which on a line is surely full. Zeros
// when most lines do not gather around one length.
std::pair<int32_t, int32_t> FindSpreadWidth(const LineLengths& lengths)
{
    const std::vector<uint32_t>& histogram = lengths.histogram;
    const std::size_t total = lengths.total;
    if (total < 50)
        return {};
    // The length below which a share of the lines from `from` to `to` stays.
    const auto percentile = [&](std::size_t from, double share, std::size_t to = kLongest) {
        std::size_t count = 0;
        for (std::size_t len = from; len <= to; ++len)
            count += histogram[len];
        std::size_t seen = 0;
        for (std::size_t len = from; len <= to; ++len) {
            seen += histogram[len];
            if (double(seen) >= share * double(count))
                return len;
        }
        return kLongest;
    };
    const auto gathered = [&](std::size_t usual) {
        if (usual < 25 || usual == kLongest)
            return false;
        std::size_t near = 0;
        for (std::size_t len = usual * 8 / 10; len <= std::min(kLongest, usual * 12 / 10); ++len)
            near += histogram[len];
        return double(near) >= 0.5 * double(total);
    };
    // Most lines are full ones, even where dialogue makes many short paragraphs.
    std::size_t usual = percentile(0, 0.75);
    // An extraction that ran many a full line together with the next (where it took out a
    // hyphen) has so many lines of twice the length that they move the upper lengths: the
    // full lines are still most of those up to half again the middle length.
    if (!gathered(usual) && usual != kLongest)
        usual = percentile(0, 0.75, std::min(kLongest, percentile(0, 0.5) * 3 / 2));
    if (!gathered(usual))
        return {};
    return {int32_t(percentile(usual * 8 / 10, 0.05)), int32_t(percentile(usual * 8 / 10, 0.5))};
}

void FindParagraphMark(const LineShapes& shapes, Layout& layout)
{
    // What the lines [from, to) show, each break with the text line above it.
    struct alignas(64) Counts {  // (each half's on cache lines of its own)
        std::array<std::size_t, 17> indents{};
        // Lines as far in as the one above them, that sentence running on into them.
        std::array<std::size_t, 17> runOn{};
        std::size_t text = 0;
        std::size_t blankBreaks = 0;     // runs of blank lines between text
        std::size_t fittingBreaks = 0;   // breaks between text lines where the next word would have fitted
        std::size_t sentenceBlanks = 0;  // runs of blank lines a sentence goes on across
        std::size_t wordBlanks = 0;      // runs of blank lines below a line ending in a letter or digit
    };
    const auto count = [&](Counts& c, std::size_t from, std::size_t to) {
        const TextLineAbove above = TextLineBefore(layout.roles, from);
        std::size_t previous = above.line;  // the last text line
        bool blankSince = above.blankBetween;
        for (std::size_t i = from; i < to; ++i) {
            const LineRole role = layout.roles[i];
            if (role == LineRole::Blank)
                blankSince = true;
            if (role != LineRole::Text)
                continue;
            ++c.text;
            const std::size_t lead = shapes[i].Indent();
            if (lead >= 1 && lead <= 16) {
                ++c.indents[lead];
                if (previous != SIZE_MAX && !blankSince && shapes[previous].Indent() == lead &&
                    (IsLetterByte(shapes[previous].last) || shapes[previous].last == ',') &&
                    IsLowercase(char(shapes[i].first)))
                    ++c.runOn[lead];
            }
            if (previous != SIZE_MAX) {
                if (blankSince) {
                    ++c.blankBreaks;
                    c.sentenceBlanks +=
                        !IsSentenceEnd(char(shapes[previous].last)) && IsLowercase(char(shapes[i].first));
                    c.wordBlanks += IsLetterByte(shapes[previous].last) || IsDigit(char(shapes[previous].last));
                } else if (layout.width > 0 && shapes[previous].last != '-' &&
                           NextWordFits(shapes[previous], shapes[i], layout.width)) {
                    ++c.fittingBreaks;
                }
            }
            previous = i;
            blankSince = false;
        }
    };
    // Counts, the same in any order: a long book's two halves on two cores.
    Counts halves[2];
    InHalves(shapes.size(), [&](std::size_t from, std::size_t to) { count(halves[from == 0 ? 0 : 1], from, to); });
    std::array<std::size_t, 17>& indents = halves[0].indents;
    std::array<std::size_t, 17>& runOn = halves[0].runOn;
    for (std::size_t k = 0; k < indents.size(); ++k) {
        indents[k] += halves[1].indents[k];
        runOn[k] += halves[1].runOn[k];
    }
    const std::size_t text = halves[0].text + halves[1].text;
    const std::size_t blankBreaks = halves[0].blankBreaks + halves[1].blankBreaks;
    const std::size_t fittingBreaks = halves[0].fittingBreaks + halves[1].fittingBreaks;
    const std::size_t sentenceBlanks = halves[0].sentenceBlanks + halves[1].sentenceBlanks;
    const std::size_t wordBlanks = halves[0].wordBlanks + halves[1].wordBlanks;
    const auto most = std::max_element(indents.begin() + 1, indents.end());
    // An indent starts paragraphs; leading spaces that the lines inside paragraphs share too
    // are a margin left on them (one that could not be taken off the whole book).
    if (*most >= std::max<std::size_t>(3, text * 3 / 100) && runOn[std::size_t(most - indents.begin())] * 10 <= *most) {
        layout.mark = ParagraphMark::Indent;
        layout.indent = int32_t(most - indents.begin());
    } else if (blankBreaks >= std::max<std::size_t>(2, text / (layout.fullFrom > 0 ? 20 : 50)) &&
               fittingBreaks * 4 <= blankBreaks && sentenceBlanks * 10 < blankBreaks && wordBlanks * 3 < blankBreaks) {
        // A book whose blank lines mark its paragraphs has hardly one inside a sentence; a tool
        // that leaves one between the blocks it saw on the page has many. Nor do most of them
        // stand below a line without a stop: blank lines around a book's headings alone stand
        // below every heading ("KAPITOLA 2", "II") and above it, below a chapter's last line.
        layout.mark = ParagraphMark::Blank;
    }
}

// OCR now and then splits a paragraph with a blank line: a full line that ends inside a
// sentence, a blank line, and the sentence going on in lowercase. That blank line is none of
// the text's; a line that ends short, or a sentence's end, keeps it. Where blank lines do not
// mark the book's paragraphs (a tool that leaves one between the blocks it grouped the page's
// lines into, some of them cut inside a paragraph), one after a full line goes where the
// sentence goes on, in lowercase or with a name: the widths decide that break as any other.
// The same holds for the blank lines a page line leaves over: a page that ends short above its
// foot (the typesetter kept a paragraph's last lines together on the next page) puts a blank
// line there in the middle of a sentence.
void DropBlanksInsideParagraphs(const LineShapes& shapes, Layout& layout)
{
    if (layout.width == 0)
        return;
    LineRoles& roles = layout.roles;
    const std::size_t n = roles.size();
    for (std::size_t i = NextWithRole(roles, 1, LineRole::Blank); i + 1 < n;
         i = NextWithRole(roles, i + 1, LineRole::Blank)) {
        if (roles[i - 1] != LineRole::Text)
            continue;
        // The lines between this text line and the next: one blank line, or blank lines
        // beside page lines.
        std::size_t next = i + 1;
        bool pageLines = false;
        while (next < n && roles[next] != LineRole::Text) {
            pageLines = pageLines || roles[next] == LineRole::PageLine;
            ++next;
        }
        if (next == n || (next != i + 1 && !pageLines))
            continue;
        const LineShape& up = shapes[i - 1];
        const LineShape& low = shapes[next];
        const bool full = layout.fullFrom > 0 ? up.length >= uint32_t(layout.width)
                                              : up.length + 1 + uint32_t(low.firstWord) > uint32_t(layout.width);
        const bool inSentence = !IsSentenceEnd(char(up.last));
        const bool goesOn = IsLowercase(char(low.first));
        if (full && (layout.mark == ParagraphMark::Blank ? inSentence && goesOn
                                                          : goesOn || (inSentence && IsLetterByte(low.first))))
            for (std::size_t k = i; k < next; ++k)
                if (roles[k] == LineRole::Blank)
                    roles[k] = LineRole::PageBlank;
        i = next - 1;
    }
}

}  // namespace

LineShape ShapeOfLine(std::string_view line) noexcept
{
    LineShape shape;
    const std::size_t length = TrimTrailingSpaces(line).size();
    const std::size_t feed = !line.empty() && line[0] == '\f' ? 1 : 0;
    std::size_t lead = std::min(feed + LeadingSpaceCount(line.substr(feed)), length);
    if (lead > 65535 || length > UINT32_MAX)  // no line of a book: taken as text
        lead = 0;
    const auto word = std::size_t(NextSpace(line.data() + lead, line.data() + length) - line.data());
    shape.length = uint32_t(std::min<std::size_t>(length, UINT32_MAX));
    shape.lead = uint16_t(lead);
    shape.feed = uint8_t(lead >= feed ? feed : 0);
    shape.firstWord = uint16_t(std::min<std::size_t>(word - lead, 65535));
    if (length > lead) {
        shape.first = uint8_t(line[lead]);
        shape.last = uint8_t(line[length - 1]);
        if (length - lead >= 2)
            shape.beforeLast = uint8_t(line[length - 2]);
    }
    return shape;
}

namespace {

// How far up from a page's last line its footnotes may start, and how far up from them its
// text is searched for their marks.
constexpr std::size_t kNoteLines = 40;
constexpr std::size_t kPageLines = 160;

// Stars number notes page by page in older books: "*" the first, "**" the second.
constexpr int kStars = 1000;

// The number a footnote starts with: 1 to 999, or kStars and the count of its stars (up to
// three), either with a ")" behind it as older books set it. Alone on its line, as pdftotext
// writes a superscript, or set against the note's first word, a capital or a quotation mark,
// as other tools do ("1Letí"), or behind a ")" before the text after a space ("1) Viz"); 0
// where the line starts no note. A bare number and a space before a text, as pdftotext writes
// a note in a small face, is what a line of any text may begin with too: `spaced` tells it,
// and the text must begin as a sentence does.
int NoteNumber(std::string_view trimmed, bool* spaced = nullptr) noexcept
{
    std::size_t n = 0;
    int number = 0;
    if (!trimmed.empty() && trimmed[0] == '*') {
        while (n < trimmed.size() && n < 4 && trimmed[n] == '*')
            ++n;
        if (n > 3)
            return 0;
        number = kStars + int(n);
    } else {
        while (n < trimmed.size() && n < 4 && IsDigit(trimmed[n]))
            number = number * 10 + (trimmed[n++] - '0');
        if (n == 0 || n > 3 || trimmed[0] == '0')
            return 0;
    }
    const bool closed = n < trimmed.size() && trimmed[n] == ')';
    n += closed ? 1 : 0;
    if (n == trimmed.size())
        return number;
    const auto next = uint8_t(trimmed[n]);
    if (IsCapital(char(next)) || next == 0x84)
        return number;
    if (next == ' ' && n + 1 < trimmed.size() && trimmed[n + 1] != ' ') {
        if (closed)
            return number;
        if (spaced && number < kStars && (IsCapital(trimmed[n + 1]) || uint8_t(trimmed[n + 1]) == 0x84)) {
            *spaced = true;
            return number;
        }
    }
    return 0;
}

// A note's number alone, its text on the lines below.
bool BareNoteNumber(std::string_view trimmed) noexcept
{
    return NoteNumber(trimmed) > 0 &&
           std::ranges::all_of(trimmed, [](char c) { return IsDigit(c) || c == '*' || c == ')'; });
}

// Whether the line holds the mark of note `number`: its digits or stars set against the word
// or the punctuation before them, as a superscript comes out of a PDF ("hlavy3", "mužem.“3").
bool HoldsNoteMark(std::string_view line, int number)
{
    char digits[4];
    const int length = number > kStars ? 0 : std::snprintf(digits, sizeof digits, "%d", number);
    const std::string_view mark = number > kStars ? std::string_view("***", std::size_t(number - kStars))
                                                  : std::string_view(digits, std::size_t(length));
    for (std::size_t at = line.find(mark, 1); at != std::string_view::npos; at = line.find(mark, at + 1)) {
        const auto before = uint8_t(line[at - 1]);
        const bool set = IsLetterByte(before) ||
                         std::string_view(".,;:!?\"')\x93\x94\x85\x96\x97\xBB").find(char(before)) != std::string_view::npos;
        const std::size_t end = at + mark.size();
        if (set && (end == line.size() || (!IsDigit(line[end]) && line[end] != '*')))
            return true;
    }
    return false;
}

// The footnotes at the pages' feet. Where a page ends inside a paragraph, its notes stand
// between the paragraph's two parts; they are told by their numbers, each of which the page's
// text above shows set against a word, counting on from the book's last note or starting
// again at 1, and by what follows the first of them down to the page's end: notes alone.
// `feeds`: the lines that start with a form feed, in order; `numbered`: those that start with
// a digit from 1 or a star, in order.
void FindNotes(std::span<const std::string_view> lines, const LineShapes& shapes, LineRoles& roles,
               const std::vector<uint32_t>& feeds, const std::vector<uint32_t>& numbered)
{
    const std::size_t n = roles.size();
    const auto pageLine = [&](std::size_t i) { return roles[i] == LineRole::PageLine; };
    // A page's first line, from a line of it on.
    const auto pageStart = [&](std::size_t from) {
        std::size_t i = from;
        while (i > 0 && from - i < kPageLines && !shapes[i].feed && !pageLine(i - 1))
            --i;
        return i;
    };
    const auto trimmed = [&](std::size_t i) { return shapes[i].Trimmed(lines[i]); };
    // A note that starts with its number and a space is one where the page's text marks that
    // number once, and no line of it starts so: a text whose tool wrote some mark as a digit
    // ("„" as "3") has it everywhere.
    const auto onlyMark = [&](std::size_t noteLine, int number) {
        if (noteLine == 0)
            return false;
        char digits[8];
        const std::string_view mark(digits, std::size_t(std::snprintf(digits, sizeof digits, "%d ", number)));
        int marks = 0;
        for (std::size_t k = pageStart(noteLine - 1); k < noteLine && marks < 2; ++k) {
            if (roles[k] != LineRole::Text)
                continue;
            if (trimmed(k).starts_with(mark))
                return false;
            marks += HoldsNoteMark(lines[k], number) ? 1 : 0;
        }
        return marks == 1;
    };
    int lastNote = 0;
    // A page's last text line stands before page lines or a new page's feed, blank lines
    // between: each of those lines in turn (few, where most of a book is text), and the text
    // line before it.
    const auto blank = [&](std::size_t i) { return roles[i] == LineRole::Blank || roles[i] == LineRole::PageBlank; };
    std::size_t nextFeed = 0;
    std::size_t nextNumbered = 0;
    std::size_t nextPageLine = NextWithRole(roles, 0, LineRole::PageLine);
    for (std::size_t from = 0;;) {
        while (nextPageLine < n && nextPageLine <= from)
            nextPageLine = NextWithRole(roles, nextPageLine + 1, LineRole::PageLine);
        while (nextFeed < feeds.size() && (feeds[nextFeed] <= from || blank(feeds[nextFeed])))
            ++nextFeed;
        const std::size_t next = std::min(nextPageLine, nextFeed < feeds.size() ? feeds[nextFeed] : n);
        if (next >= n)
            break;
        std::size_t end = next - 1;
        while (end > from && blank(end))
            --end;
        from = next;
        if (roles[end] != LineRole::Text)
            continue;
        // A note starts with its number: a page without a line that does at its foot has none.
        while (nextNumbered < numbered.size() && numbered[nextNumbered] + kNoteLines <= end)
            ++nextNumbered;
        if (nextNumbered == numbered.size() || numbered[nextNumbered] > end)
            continue;
        // The notes' first line, the topmost that holds a note's number the page's text marks.
        std::size_t first = n;
        int firstNumber = 0;
        std::size_t top = end;
        for (std::size_t i = end; i + kNoteLines > end && !shapes[i].feed; --i) {
            if (roles[i] != LineRole::Text && roles[i] != LineRole::Blank)
                break;
            top = i;
            if (i == 0)
                break;
        }
        for (std::size_t i = top; i <= end; ++i) {
            const uint8_t c = shapes[i].first;
            if (roles[i] != LineRole::Text || ((c < '1' || c > '9') && c != '*'))
                continue;
            bool spaced = false;
            const int number = NoteNumber(trimmed(i), &spaced);
            if (number == 0 || !(number % kStars == 1 || (number > lastNote && number <= lastNote + 5)))
                continue;
            if (spaced && !onlyMark(i, number))
                continue;
            std::size_t above = i;
            bool marked = false;
            for (std::size_t k = i; k > 0 && !marked;) {
                --k;
                if (pageLine(k) || i - k > kPageLines)
                    break;
                marked = roles[k] == LineRole::Text && HoldsNoteMark(lines[k], number);
                above = k;
                if (shapes[k].feed)
                    break;
            }
            if (!marked || above == i)
                continue;
            first = i;
            firstNumber = number;
            break;
        }
        if (first == n)
            continue;
        // The text above the notes, where each later note's mark stands too.
        const std::size_t start = pageStart(first - 1);
        const auto marked = [&](int number) {
            for (std::size_t k = start; k < first; ++k)
                if (roles[k] == LineRole::Text && HoldsNoteMark(lines[k], number))
                    return true;
            return false;
        };
        // Down to the page's end: each note its number and at least a line of text.
        std::vector<std::size_t> starts{first};
        int number = firstNumber;
        bool bare = BareNoteNumber(trimmed(first));
        bool whole = true;
        for (std::size_t i = first + 1; i <= end && whole; ++i) {
            if (roles[i] != LineRole::Text)
                continue;
            const std::string_view text = trimmed(i);
            bool spaced = false;
            if (NoteNumber(text, &spaced) == number + 1 && marked(number + 1) && (!spaced || onlyMark(first, number + 1))) {
                whole = !bare;
                starts.push_back(i);
                ++number;
                bare = BareNoteNumber(text);
            } else {
                bare = false;
            }
        }
        // Notes fill a page's foot, not the page: the text above them is the longer part.
        std::size_t noteLines = 0;
        std::size_t textLines = 0;
        for (std::size_t i = start; i <= end; ++i)
            if (roles[i] == LineRole::Text)
                ++(i < first ? textLines : noteLines);
        if (!whole || bare || noteLines > textLines)
            continue;
        for (std::size_t i = first; i <= end; ++i)
            roles[i] = LineRole::Note;
        for (const std::size_t i : starts)
            roles[i] = LineRole::NoteStart;
        for (std::size_t i = end + 1; i < next; ++i)
            if (roles[i] == LineRole::Blank)
                roles[i] = LineRole::Note;
        lastNote = number;
    }
}

}  // namespace

TextLineAbove TextLineBefore(const LineRoles& roles, std::size_t from) noexcept
{
    TextLineAbove above;
    for (std::size_t j = from; j-- > 0;) {
        if (roles[j] == LineRole::Text) {
            above.line = j;
            break;
        }
        above.blankBetween = above.blankBetween || roles[j] == LineRole::Blank;
    }
    return above;
}

namespace {

// Czech typesetting keeps a one-letter preposition or conjunction ("v", "k", "a"...) off a
// line's end, tied to the word after it. A book set so never ends a line with one, though as
// many of its lines go on with one as a book set otherwise ends with one: there the word that
// did not fit on the line above was the pair, the letter and the word after it. (A text of a
// paragraph a line has hardly a line going on in lower case, so it shows no ties.)
constexpr std::string_view kTieable = "ksvzaiou";
constexpr std::size_t kTieLines = 40'000;  // lines a book shows its ties in
constexpr int kLeastTiedStarts = 40;       // lines going on with a tied letter, at least
constexpr int kTiedStartsPerEnd = 20;      // of those per line ending with it, at least

void TieOneLetterWords(std::span<const std::string_view> lines, LineShapes& shapes, const LineRoles& roles)
{
    std::array<int, 256> starts{};
    std::array<int, 256> ends{};
    std::array<bool, 256> tieable{};
    for (const char c : kTieable)
        tieable[uint8_t(c)] = true;
    std::size_t seen = 0;
    for (std::size_t i = 0; i < shapes.size() && seen < kTieLines; ++i) {
        if (roles[i] != LineRole::Text)
            continue;
        ++seen;
        const LineShape& s = shapes[i];
        if (s.length - s.lead < 3)
            continue;
        if (s.firstWord == 1 && tieable[s.first])
            ++starts[s.first];
        if (s.beforeLast == ' ' && tieable[s.last])
            ++ends[s.last];
    }
    // Each letter that ends hardly a line of those it goes on with; together enough of them to
    // tell (a book may tie the prepositions only, and let "a" end a line).
    std::array<bool, 256> tied{};
    int tiedStarts = 0;
    for (const char c : kTieable) {
        const auto k = uint8_t(c);
        // The capital with its letter: "A", "V" start sentences.
        // (One line ending with it is let pass: a paragraph may end so, as "… já taky i".)
        tied[k] = tied[k & ~0x20u] = (ends[k] - 1) * kTiedStartsPerEnd <= starts[k];
        tiedStarts += tied[k] ? starts[k] : 0;
    }
    if (tiedStarts < kLeastTiedStarts)
        return;
    InHalves(shapes.size(), [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            LineShape& s = shapes[i];
            if (roles[i] != LineRole::Text || s.firstWord == 0 || s.firstWord > 2)
                continue;
            const std::string_view line = s.Trimmed(lines[i]);
            // The letter, or the letter after an opening quotation mark or bracket: "„a".
            const bool opened = s.firstWord == 2 && (s.first == 0x84 || s.first == 0x82 || s.first == '(');
            if (!(s.firstWord == 1 || opened) || !tied[uint8_t(line[s.firstWord - 1])])
                continue;
            // The letters tied one to the next, as far as the first other word ("v a les").
            std::size_t end = s.firstWord;
            for (bool letter = true; letter;) {
                std::size_t from = end;
                while (from < line.size() && line[from] == ' ')
                    ++from;
                if (from == line.size())
                    break;
                end = from;
                while (end < line.size() && line[end] != ' ')
                    ++end;
                letter = end == from + 1 && tied[uint8_t(line[from])];
            }
            s.firstWord = uint16_t(std::min<std::size_t>(end, 65535));
        }
    });
}

// A page is set at 50 to 100 characters a line; the text of a wide page with its margins
// reaches 130. A longer line is a paragraph, or two lines an extraction ran together, or a line
// of a text wrapped wider still.
constexpr uint32_t kLongestPageLine = 160;
// Broken books hold under a tenth of their text in such lines (lines run together now and
// then); a glued book over a half, dialogue and all.
constexpr double kParagraphLinesShare = 0.25;
// Lines wrapped at one width pile up just under it: even at 300 characters, most lines longer
// than a page's are within a tenth of the longest. Paragraphs are as long as they come; a few
// hundredths of them are as close.
constexpr double kWrappedPile = 0.3;

// What the lines show as they come, read in one pass: each of the passes that wants it would
// read all the shapes of a long book again. (On cache lines of its own: each half of a long
// book counts into one at every line.)
struct alignas(64) FirstLook {
    uint64_t characters = 0;          // of all lines, without their leading spaces
    uint64_t inLong = 0;              // of those longer than a page's line
    std::vector<uint32_t> longLines;  // their lengths
    std::vector<uint32_t> feeds;      // the lines that start with a form feed
    std::vector<uint32_t> dashed;     // the lines that start and end with a hyphen
    std::vector<uint32_t> numbered;   // the lines that start with a digit from 1, or a star
    LineLengths lengths{std::vector<uint32_t>(kLongest + 1, 0)};  // of the text lines

    void Add(uint32_t line, const LineShape& shape, LineRole role)
    {
        const uint32_t length = shape.length - shape.lead;
        characters += length;
        if (length > kLongestPageLine) {
            inLong += length;
            longLines.push_back(length);
        }
        if (shape.feed)
            feeds.push_back(line);
        if (shape.first == '-' && shape.last == '-')
            dashed.push_back(line);
        if ((shape.first >= '1' && shape.first <= '9') || shape.first == '*')
            numbered.push_back(line);
        if (role == LineRole::Text) {
            ++lengths.histogram[std::min<std::size_t>(shape.length, kLongest)];
            ++lengths.total;
        }
    }
    // The same of the lines after those this one read, which `later` read.
    void Append(const FirstLook& later)
    {
        characters += later.characters;
        inLong += later.inLong;
        longLines.insert(longLines.end(), later.longLines.begin(), later.longLines.end());
        feeds.insert(feeds.end(), later.feeds.begin(), later.feeds.end());
        dashed.insert(dashed.end(), later.dashed.begin(), later.dashed.end());
        numbered.insert(numbered.end(), later.numbered.begin(), later.numbered.end());
        for (std::size_t k = 0; k <= kLongest; ++k)
            lengths.histogram[k] += later.lengths.histogram[k];
        lengths.total += later.lengths.total;
    }
};

bool LinesAreParagraphs(const FirstLook& look)
{
    if (look.characters == 0 || double(look.inLong) <= kParagraphLinesShare * double(look.characters))
        return false;
    // The longest but for a few that an extraction ran together.
    std::vector<uint32_t> longLines = look.longLines;
    const auto top = longLines.begin() + std::ptrdiff_t(longLines.size() * 95 / 100);
    std::nth_element(longLines.begin(), top, longLines.end());
    const double longest = *top;
    const auto piled = std::count_if(longLines.begin(), longLines.end(), [&](uint32_t length) {
        return double(length) >= 0.9 * longest && double(length) <= longest;
    });
    return double(piled) < kWrappedPile * double(longLines.size());
}

}  // namespace

Layout AnalyseLayout(std::span<const std::string_view> lines, LineShapes&& takenShapes, LineRoles&& takenRoles)
{
    Layout layout;
    const bool taken = takenShapes.size() == lines.size() && takenRoles.size() == lines.size();
    if (taken) {
        layout.shapes = std::move(takenShapes);
        layout.roles = std::move(takenRoles);
    } else {
        layout.shapes.resize(lines.size());
        layout.roles.resize(lines.size(), LineRole::Text);
    }
    FirstLook halves[2];
    InHalves(lines.size(), [&](std::size_t from, std::size_t to) {
        FirstLook& look = halves[from == 0 ? 0 : 1];
        for (std::size_t i = from; i < to; ++i) {
            if (!taken) {
                layout.shapes[i] = ShapeOfLine(lines[i]);
                if (layout.shapes[i].Blank())
                    layout.roles[i] = LineRole::Blank;
            }
            look.Add(uint32_t(i), layout.shapes[i], layout.roles[i]);
        }
    });
    FirstLook& look = halves[0];
    look.Append(halves[1]);
    const LineShapes& shapes = layout.shapes;
    // A number standing alone between such lines is a chapter's: with lines as long as
    // paragraphs, no rhythm of lines tells pages.
    if (LinesAreParagraphs(look)) {
        layout.linesAreParagraphs = true;
        return layout;
    }
    // The width first from all lines: the few page lines do not move it. (The pages by their
    // feeds take none from the lines but where they find some.)
    std::vector<bool> inside;
    if (!FindPageLinesByFeeds(lines, shapes, layout.roles, layout.cuts, look.feeds))
        FindPageLines(lines, shapes,
                      FindWidth(NextWithRole(layout.roles, 0, LineRole::PageLine) == lines.size()
                                    ? look.lengths
                                    : LengthHistogram(shapes, layout.roles)),
                      layout.roles, inside, look.dashed);
    else
        inside.assign(lines.size(), false);
    for (const LineCut& cut : layout.cuts)
        layout.shapes[cut.line] = ShapeOfLine(cut.text);
    if (!layout.cuts.empty()) {  // the cut lines read anew
        FirstLook again;
        for (std::size_t i = 0; i < lines.size(); ++i)
            again.Add(uint32_t(i), shapes[i], layout.roles[i]);
        look.feeds = std::move(again.feeds);
        look.numbered = std::move(again.numbered);
    }
    ShareBlankLines(shapes, layout.roles, inside);
    FindNotes(lines, shapes, layout.roles, look.feeds, look.numbered);
    const LineLengths lengths = LengthHistogram(shapes, layout.roles);
    layout.width = FindWidth(lengths);
    if (layout.width > 0 && !WrappedAt(shapes, layout.roles, layout.width))
        layout.width = 0;
    if (layout.width == 0) {
        std::tie(layout.width, layout.fullFrom) = FindSpreadWidth(lengths);
    }
    TieOneLetterWords(lines, layout.shapes, layout.roles);
    FindParagraphMark(shapes, layout);
    DropBlanksInsideParagraphs(shapes, layout);
    return layout;
}

}  // namespace lepotex
