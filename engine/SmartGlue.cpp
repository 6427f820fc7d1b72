#include "engine/SmartGlue.h"

#include <algorithm>
#include <exception>
#include <array>
#include <bitset>
#include <cmath>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/CharSets.h"
#include "engine/Hyphenation.h"
#include "engine/InHalves.h"
#include "engine/LineTests.h"
#include "engine/LineWidths.h"

namespace lepotex {
namespace {

// Where the lines are measured, the odds (log) added to what the book's breaks show: a break
// that is no blank line nor indent ends a paragraph somewhat more often than the breaks the
// widths decide surely tell (a last line whose spaces shrank counts among the full ones there),
// less so once the looks are weighed by how the breaks came out (the ends missed then still
// count as going on), and hardly ever where the book marks its paragraphs with an indent. And
// how much the lower line's room may tell of a lost indent, at most.
constexpr float kEndOdds = 0.5f;
constexpr float kWeighedEndOdds = 0.25f;
constexpr float kIndentOdds = -4.0f;
constexpr float kFirstLineWeight = 3.0f;

// How much of a text is read for the words it writes joined.
constexpr std::size_t kEvidenceBytes = std::size_t(4) << 20;
// How many breaks with two letters after them the book's own words must show as a wrapper's,
// and by how much they must outnumber those it writes with the hyphen.
constexpr std::size_t kShortBreaksShown = 5;
constexpr std::size_t kShortBreaksOutnumber = 3;
// A pass over lines far apart in the book (the words broken at a line end) asks for the bytes
// of the line this many turns ahead: each would wait for memory otherwise.
constexpr std::size_t kAhead = 16;

std::string_view Content(std::string_view line) noexcept
{
    line.remove_prefix(LeadingSpaceCount(line));
    return TrimTrailingSpaces(line);
}

bool IsUppercaseLetter(uint8_t byte) noexcept { return IsLetterByte(byte) && ToLowerByte(byte) != byte; }

// What ends a line broken at a hyphen: the hyphen, the "¬" of some scanners and converters, and
// the soft hyphen, which marks a break point only and never stays.
constexpr uint8_t kNotSign = 0xAC;
constexpr uint8_t kSoftHyphen = 0xAD;
bool IsLineEndHyphen(uint8_t byte) noexcept { return byte == '-' || byte == kNotSign || byte == kSoftHyphen; }

// A line whose "¬" at the end stays, as the hyphen it stands for.
std::string_view WithHyphen(std::string_view line, Arena& arena)
{
    char* copy = arena.Allocate(line.size());
    std::memcpy(copy, line.data(), line.size());
    copy[line.size() - 1] = '-';
    return {copy, line.size()};
}

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

// How often chosen words stand in the book, in lower case. A book is read in one pass; a word
// is looked up only when its first and last letters and its length could make it one of those
// chosen.
class WordCounter {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    // The slot that counts the word; kNone for a word too long to be looked for.
    uint32_t Want(std::string_view word)
    {
        if (word.empty() || word.size() >= kLongest)
            return kNone;
        firstBytes[uint8_t(word[0])][word.size()] = true;
        lastBytes[uint8_t(word.back())][word.size()] = true;
        const auto [entry, added] = slots.try_emplace(std::string(word), uint32_t(counts.size()));
        if (added)
            counts.push_back(0);
        return entry->second;
    }
    bool Empty() const { return slots.empty(); }
    uint32_t Count(uint32_t slot) const { return slot == kNone ? 0 : counts[slot]; }
    // What a copy of this counter, made before either counted anything, counted of other lines.
    void Add(const WordCounter& copy)
    {
        for (std::size_t slot = 0; slot < counts.size(); ++slot)
            counts[slot] += copy.counts[slot];
    }

    // Every word of the line, a word being what stands between spaces less the punctuation
    // around it. `skipFirst`: the line continues a word broken at the line above, so its first
    // word is only a part; a word broken at the line's end is none either.
    void CountWords(std::string_view line, bool skipFirst)
    {
        const char* p = line.data();
        const char* const end = p + line.size();
        if (skipFirst)
            p = NextSpace(p, end);
        while (p < end) {
            while (p < end && *p == ' ')
                ++p;
            const char* first = p;
            p = NextSpace(p, end);
            const char* last = p;
            if (last == end && first < last && IsLineEndHyphen(uint8_t(last[-1])))
                break;
            while (first < last && !IsLetterByte(uint8_t(*first)))
                ++first;
            while (last > first && !IsLetterByte(uint8_t(last[-1])))
                --last;
            Look(first, last);
        }
    }

    // Only the words with a hyphen inside, found through the hyphens: far fewer than words.
    void CountHyphenated(std::string_view line)
    {
        if (line.empty())  // a blank line's view may have no bytes at all
            return;
        const char* const begin = line.data();
        const char* const end = begin + line.size();
        for (const char* dash = begin; (dash = static_cast<const char*>(
                                            std::memchr(dash, '-', std::size_t(end - dash)))) != nullptr;) {
            if (dash == begin || dash + 1 == end || !IsLetterByte(uint8_t(dash[-1])) ||
                !IsLetterByte(uint8_t(dash[1]))) {
                ++dash;
                continue;
            }
            const char* first = dash;
            while (first > begin && (IsLetterByte(uint8_t(first[-1])) || first[-1] == '-'))
                --first;
            const char* last = dash;
            while (last < end && (IsLetterByte(uint8_t(*last)) || *last == '-'))
                ++last;
            while (last > first && last[-1] == '-')  // the line's own break
                --last;
            Look(first, last);
            dash = last;
        }
    }

private:
    void Look(const char* first, const char* last)
    {
        const auto size = std::size_t(last - first);
        if (size == 0 || size >= kLongest || !firstBytes[lower[uint8_t(*first)]][size] ||
            !lastBytes[lower[uint8_t(last[-1])]][size])
            return;
        buffer.assign(first, size);
        for (char& c : buffer)
            c = char(lower[uint8_t(c)]);
        if (const auto found = slots.find(std::string_view(buffer)); found != slots.end())
            ++counts[found->second];
    }

    static constexpr std::size_t kLongest = 64;
    const std::array<uint8_t, 256>& lower = LowerCaseTable();
    // The lengths of the words wanted, by their first and by their last byte: most words of a
    // book are none of them, and these two looks tell it before a hash is taken.
    std::array<std::bitset<kLongest>, 256> firstBytes{};
    std::array<std::bitset<kLongest>, 256> lastBytes{};
    std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> slots;
    std::vector<uint32_t> counts;
    std::string buffer = std::string(kLongest, ' ');  // room for any word looked up: counting never allocates
};

// The word broken at a line end is spelled with hyphens anyway: the fragment already holds one
// ("Kře-mi-|čitan"), or the second part goes on with one ("ne-|smír-ně"), but for the
// particle "-li" ("Nepře-|stane-li").
bool SpelledWithHyphens(std::string_view upper, std::string_view fragment, std::string_view lower,
                        std::string_view tail) noexcept
{
    const std::size_t before = upper.size() - 1 - fragment.size();  // where the fragment starts
    const bool upperHolds = before >= 2 && upper[before - 1] == '-' && IsLetterByte(uint8_t(upper[before - 2]));
    const bool lowerHolds = tail.size() + 1 < lower.size() && lower[tail.size()] == '-' &&
                            IsLetterByte(uint8_t(lower[tail.size() + 1])) &&
                            Lowered(Tail(lower.substr(tail.size() + 1))) != "li";
    return upperHolds || lowerHolds;
}

// A compound adjective of two equal parts, the first one ending in -sko or -cko
// ("česko-německý", "byrokraticko-aristokratický"): the second part is an adjective too.
bool CompoundAdjective(std::string_view fragment, std::string_view tail)
{
    // The hard declension only: the soft one ends nouns as well ("pesko-váním").
    static constexpr std::string_view kEndings[] = {"\xFD",   "\xE1",   "\xE9",    "\xE9m",  "\xFDm",
                                                    "\xFD" "ch", "\xFDmi", "\xE9ho", "\xE9mu"};
    if (fragment.size() < 4 || tail.size() < 5)
        return false;
    const std::string first = Lowered(fragment.substr(fragment.size() - 3));
    if (first != "sko" && first != "cko")
        return false;
    const std::string second = Lowered(tail);
    for (const std::string_view ending : kEndings)
        if (std::string_view(second).ends_with(ending))
            return true;
    return false;
}

// The hyphen decision once the patterns have spoken (`legal`, or nothing when they are
// missing) and the book's words are counted.
bool KeepHyphen(std::string_view fragment, std::string_view tail, std::optional<bool> legal,
                const WordEvidence& evidence, bool spelled, bool shortBreaks)
{
    // Czech typesetting leaves no fewer letters on either side: "je-li", "chcete-li". A word
    // processor leaves two after the break, and where the book shows its wrapper did so
    // (`shortBreaks`), such a break is weighed as any other.
    if (fragment.size() < kLettersBeforeBreak || tail.size() < kLettersAfterAnyBreak ||
        (tail.size() < kLettersAfterBreak && !shortBreaks))
        return true;
    if (evidence.hyphenated != evidence.joined)
        return evidence.hyphenated > evidence.joined;
    // The particle, where the book writes the word neither way elsewhere: "přijde-li"; but a
    // verb's past ("vstoupi-|li") where the book knows it as "vstoupil" and no "vstoupi".
    if (tail.size() < kLettersAfterBreak && Lowered(tail) == "li")
        return evidence.fragment > 0 || evidence.past == 0;
    if (spelled)
        return true;
    // A stammer repeats the start of a word: "roz-rozhrnout", and for two letters, which
    // begin many a word twice ("nenechali"), where what follows the repeat is a word the book
    // knows: "ne-nemohu".
    if (Lowered(tail).starts_with(Lowered(fragment)) && (fragment.size() > 2 || evidence.tail > 0))
        return true;
    if (CompoundAdjective(fragment, tail))
        return true;
    // A wrapper that leaves two letters after its breaks hyphenates by patterns of its own, and
    // breaks now and then where ours would not ("si-|lnici"): such a book's breaks are its
    // wrapper's unless the word shows otherwise.
    if (shortBreaks)
        return false;
    return legal.has_value() && !*legal;  // without patterns, the plain glue's answer
}

std::optional<bool> LegalBreak(Hyphenator& hyphenator, std::string_view fragment, std::string_view tail)
{
    if (!hyphenator.Loaded())
        return std::nullopt;
    return hyphenator.IsBreakPoint(std::string(fragment) + std::string(tail), fragment.size(), kLettersAfterAnyBreak);
}

// The line tests that do not look at the break itself: a no-glue entry at the line's start, a
// line wholly in capitals.
bool KeptApart(std::string_view line, const NoGlueMatcher& noGlue, const Settings& settings)
{
    return noGlue.StartsAnyOf(line) || (settings.noCaps && IsAllCapitals(line));
}

// OCR reads a stray mark between paragraphs as a line of its own: "6", "1“", ":4", "v",
// "» ? »". Such a line stands between blank lines, is a few bytes with no two letters in a
// row, and is no scene break (marks only), no roman numeral. A bare number is a chapter's
// where it counts on from the last one taken, or a later one counts on from it before it
// comes again; one that repeats without counting is a speck. A speck goes with the paragraph
// before it: it makes no paragraph, and the next one still starts as the book has it.
// Inside a sentence, where the text line above it runs on in the one below it, such a short
// line is OCR's noise even with two letters in a row, where no two are small ones ("MM",
// "Z MM 4", "2%: 1"; a line of verse, "hej,", is no noise), and it is no row of marks: the
// sentence goes on through it, and it stays where it stood.
constexpr std::size_t kSpeckBytes = 8;
constexpr std::size_t kCountAhead = 64;  // bare numbers looked ahead for one counting on

// The upper line's sentence goes on in the lower one: it ends in a letter or a comma, and
// the lower one starts in lower case.
bool RunsOn(const LineShape& upper, const LineShape& lower) noexcept
{
    return (IsLetterByte(upper.last) || upper.last == ',') && IsLowercaseLetter(lower.first);
}

std::vector<bool> FindSpecks(std::span<const std::string_view> lines, const Layout& layout)
{
    const std::size_t n = lines.size();
    std::vector<bool> specks(n, false);
    if (layout.linesAreParagraphs)
        return specks;  // a short line there is a paragraph as short
    const auto alone = [&](std::size_t i) {
        std::size_t a = i;
        while (a > 0 && (layout.roles[a - 1] == LineRole::PageLine || layout.roles[a - 1] == LineRole::PageBlank))
            --a;
        std::size_t b = i + 1;
        while (b < n && (layout.roles[b] == LineRole::PageLine || layout.roles[b] == LineRole::PageBlank))
            ++b;
        return (a == 0 || layout.roles[a - 1] == LineRole::Blank) && (b == n || layout.roles[b] == LineRole::Blank);
    };
    // The text lines above and below line i, past blank lines and page furniture, run on.
    const auto insideSentence = [&](std::size_t i) {
        std::size_t a = i;
        while (a > 0 && layout.roles[a - 1] != LineRole::Text)
            --a;
        std::size_t b = i + 1;
        while (b < n && layout.roles[b] != LineRole::Text)
            ++b;
        return a > 0 && b < n && RunsOn(layout.shapes[a - 1], layout.shapes[b]);
    };
    struct Number {
        std::size_t line;
        int64_t value;
    };
    std::vector<Number> numbers;
    for (std::size_t i = 0; i < n; ++i) {
        // (The length from the shape: most lines are longer, and their views are not read.)
        const LineShape& shape = layout.shapes[i];
        if (layout.roles[i] != LineRole::Text || shape.length - shape.lead > kSpeckBytes || !alone(i))
            continue;
        const std::string_view text = shape.Trimmed(lines[i]);
        bool twoLetters = false;
        bool twoSmall = false;  // two small letters in a row
        bool marksOnly = true;
        bool roman = true;
        bool bare = true;  // digits, and a full stop after them
        bool digits = false;
        bool capitals = false;
        int64_t value = 0;
        for (std::size_t k = 0; k < text.size(); ++k) {
            const uint8_t c = uint8_t(text[k]);
            twoLetters = twoLetters || (k > 0 && IsLetterByte(c) && IsLetterByte(uint8_t(text[k - 1])));
            twoSmall = twoSmall || (k > 0 && IsLowercaseLetter(c) && IsLowercaseLetter(uint8_t(text[k - 1])));
            marksOnly = marksOnly && std::strchr(" *#~+=_-.\x95\x96\x97\xa7\xb7", c) != nullptr && c != 0;
            roman = roman && c != 0 && std::strchr("IVXLCDM.", c) != nullptr;
            const bool digit = c >= '0' && c <= '9';
            digits = digits || digit;
            capitals = capitals || IsUppercaseLetter(c);
            if (digit && value < 1'000'000)
                value = value * 10 + (c - '0');
            bare = bare && (digit || (c == '.' && k + 1 == text.size() && k > 0));
        }
        if (twoLetters || marksOnly || roman || (capitals && !digits)) {
            if (!marksOnly && !twoSmall && insideSentence(i))
                specks[i] = true;
            continue;
        }
        if (bare)
            numbers.push_back({i, value});
        else
            specks[i] = true;
    }
    const auto countsOn = [](int64_t from, int64_t to) { return to > from && to <= from + 2; };
    // A count starts where a later number counts on before this one comes again.
    const auto starts = [&](std::size_t k) {
        for (std::size_t j = k + 1; j < numbers.size() && j <= k + kCountAhead; ++j) {
            if (numbers[j].value == numbers[k].value)
                return false;
            if (countsOn(numbers[k].value, numbers[j].value))
                return true;
        }
        return false;
    };
    std::optional<int64_t> chapter;
    for (std::size_t k = 0; k < numbers.size(); ++k) {
        if ((chapter && countsOn(*chapter, numbers[k].value)) || starts(k))
            chapter = numbers[k].value;
        else
            specks[numbers[k].line] = true;
    }
    return specks;
}

}  // namespace

namespace {

// In a book whose paragraphs are indented, headings set at the edge ("II", "KAPITOLA
// PRVNÍ", "* * *") under a sentence's end and over a paragraph's first line: each its own
// paragraph, though the widths read a line at the edge under a short one as a paragraph going
// on in a book that breaks lines early now and then (fold counts a Czech letter of UTF-8 as
// two). A run of them is a title and its subtitle. Empty where the paragraphs are not indented.
constexpr std::size_t kHeadingLines = 4;

std::vector<bool> FindEdgeHeadings(std::span<const std::string_view> lines, const Layout& layout)
{
    if (layout.mark != ParagraphMark::Indent || layout.indent <= 0 || layout.width <= 0)
        return {};
    const std::size_t n = layout.roles.size();
    std::vector<bool> headings(n, false);
    // Shorter than the book's full lines; within two thirds of them unless in capitals or
    // numbered, as a chapter's title is.
    const auto headingLike = [&](std::size_t i) {
        const LineShape& s = layout.shapes[i];
        const uint32_t length = s.length - s.lead;
        if (s.Indent() != 0 || length == 0 || length >= uint32_t(layout.width))
            return false;
        if (s.first == '*')
            return s.last == '*';
        const bool numbered = s.last == '.' && length <= 6 &&
                              (IsDecimalDigit(char(s.beforeLast)) || std::strchr("IVXLC", char(s.beforeLast)) != nullptr);
        if (!(IsUppercaseLetter(s.first) || IsDecimalDigit(char(s.first))) ||
            !(IsLetterByte(s.last) || IsDecimalDigit(char(s.last)) || numbered))
            return false;
        if (3 * length <= 2 * uint32_t(layout.width) || IsDecimalDigit(char(s.first)))
            return true;
        return std::ranges::none_of(s.Trimmed(lines[i]), [](char c) {
            return IsLetterByte(uint8_t(c)) && !IsUppercaseLetter(uint8_t(c));
        });
    };
    // Runs of heading-like lines with only furniture between them, under a sentence's end, a
    // paragraph of one line, a blank line or the book's start.
    bool underEnd = true;
    std::vector<std::size_t> run;
    const auto close = [&](bool firstLineBelow) {
        if (firstLineBelow && underEnd)
            for (const std::size_t line : run)
                headings[line] = true;
        run.clear();
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (layout.roles[i] == LineRole::Blank) {
            close(true);
            underEnd = true;
            continue;
        }
        if (layout.roles[i] != LineRole::Text)
            continue;
        const LineShape& s = layout.shapes[i];
        if ((underEnd || !run.empty()) && headingLike(i)) {
            // More lines than a title and its subtitles are verse, or a list.
            if (run.size() == kHeadingLines) {
                run.clear();
                underEnd = false;
                continue;
            }
            run.push_back(i);
            continue;
        }
        close(2 * s.Indent() >= uint32_t(layout.indent));
        // A short first line is a paragraph of one line: a wrapper would have filled it.
        underEnd = (IsSentenceEnd(char(s.last)) && s.last != '-') ||
                   (2 * s.Indent() >= uint32_t(layout.indent) && 3 * (s.length - s.lead) <= 2 * uint32_t(layout.width));
    }
    close(true);
    return headings;
}

// Where the lines are measured: whether the upper one ends its paragraph, by how the break
// looks, how well the line's room fits a paragraph's last line rather than a full one, and the
// lower one a first line. `upperStarts`: the upper line begins a paragraph, so its room holds
// the indent the book's first lines leave; `layout`: what each line is, and the length from
// which on a line is full.
bool EndsByWidth(std::size_t upper, const LineShape& up, std::size_t lower, const LineShape& low, bool upperStarts,
                 float endOdds, const WidthModel& widths, const Layout& layout)
{
    const float spread = widths.fullSpread;
    const float room = widths.Slack(upper) - (upperStarts ? widths.firstLine : 0.0f);
    const auto normal = [&](float x, float mean) { return -0.5f * ((x - mean) / spread) * ((x - mean) / spread); };
    // A last line leaves any room from none (a little less where its spaces shrank) to all;
    // a full line's room lies around the usual, and now and then anywhere (a line the
    // widths miss). Ragged lines leave none less than the widths miss, last or full.
    const float last = widths.ragged ? widths.RaggedShort(room) : room < -spread ? normal(room, -spread) : 0.0f;
    const float next = widths.lines[lower].firstWord + widths.space;
    const float full = widths.ragged ? widths.RaggedRoom(room, next) : widths.FullRoom(room, next);
    float odds = widths.endOdds[WidthModel::EndOf(up)][WidthModel::StartOf(low)] + last - full + endOdds;
    if (widths.firstLine <= 0)
        return odds > 0;
    const float below = widths.Slack(lower);
    if (widths.ragged) {
        // A ragged first line leaves the indent and up to its next word, any other full line
        // up to that word; a line before a blank one or the end is a last line itself.
        std::size_t after = lower + 1;
        while (after < layout.roles.size() && layout.roles[after] != LineRole::Text &&
               layout.roles[after] != LineRole::Blank)
            ++after;
        if (after < layout.roles.size() && layout.roles[after] == LineRole::Text) {
            const float following = widths.lines[after].firstWord + widths.space;
            odds += std::clamp(widths.RaggedRoom(below - widths.firstLine, following) -
                                   widths.RaggedRoom(below, following),
                               -kFirstLineWeight, kFirstLineWeight);
        }
        return odds > 0;
    }
    // A lower line that leaves more room than a first line would is a last line itself, and
    // tells nothing of an indent.
    if (below < widths.fullCentre + widths.firstLine + 2 * spread) {
        // How many lines the extraction ran together in the lower one, by its characters.
        const float lowerMeasures =
            std::max(1.0f, std::round(float(low.length - low.lead) / float(layout.fullFrom)));
        odds += std::clamp(widths.FirstLineOdds(below, lowerMeasures), -kFirstLineWeight, kFirstLineWeight);
    }
    return odds > 0;
}

// DecideBreak over the lines' shapes: the bytes of the lines themselves are read only where the
// layout does not decide.
BreakDecision Decide(std::string_view upper, const LineShape& up, std::string_view lower, const LineShape& low,
                     const Layout& layout, const Settings& settings, const NoGlueMatcher& noGlue,
                     const WidthModel* widths = nullptr, std::size_t upIndex = 0, std::size_t lowIndex = 0,
                     bool upperStarts = false, bool* byWidth = nullptr)
{
    if (layout.linesAreParagraphs)
        return BreakDecision::Paragraph;
    // In a measured book's text a line may start with a space or two where its first letter
    // stood a little further right: much less than the book's indent is none.
    const bool measured = widths != nullptr && widths->Known();
    if (layout.mark == ParagraphMark::Indent && low.Indent() > 0 && (!measured || 2 * low.Indent() >= layout.indent))
        return BreakDecision::Paragraph;
    if (up.length - up.lead >= 2 && IsLineEndHyphen(up.last) && up.beforeLast != ' ' && up.beforeLast != '-') {
        const uint8_t before = up.beforeLast;
        const uint8_t first = low.first;
        if (IsLetterByte(before) && IsLowercaseLetter(first))
            return BreakDecision::Hyphen;
        // A word in capitals broken like any other: "ČLO-|VĚK".
        if (IsUppercaseLetter(before) && IsUppercaseLetter(first) && low.length - low.lead >= 2 &&
            IsUppercaseLetter(uint8_t(lower[low.lead + 1])))
            return BreakDecision::Hyphen;
        // A compound that goes on in capitals or digits: "Frýdek-Místek", "1914-1918".
        if ((IsLetterByte(before) || (before >= '0' && before <= '9')) &&
            (IsLetterByte(first) || (first >= '0' && first <= '9')))
            return BreakDecision::Adjoin;
    }
    if (measured) {
        const std::string_view upText = up.Trimmed(upper);
        const std::string_view lowText = low.Trimmed(lower);
        if (layout.mark == ParagraphMark::Neither &&
            (KeptApart(upText, noGlue, settings) || KeptApart(lowText, noGlue, settings)))
            return BreakDecision::Paragraph;
        const float odds = layout.mark == ParagraphMark::Indent ? kIndentOdds
                           : widths->looksByBreaks                  ? kWeighedEndOdds
                                                                    : kEndOdds;
        if (byWidth != nullptr)
            *byWidth = true;
        return EndsByWidth(upIndex, up, lowIndex, low, upperStarts, odds, *widths, layout)
                   ? BreakDecision::Paragraph
                   : BreakDecision::Join;
    }
    // A greedy wrapper would have put the next word on this line had it fitted.
    if (layout.width > 0 && NextWordFits(up, low, layout.width))
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
    const std::string_view upText = up.Trimmed(upper);
    const std::string_view lowText = low.Trimmed(lower);
    // A full line that ends a sentence mostly goes on with the paragraph: the width has said
    // what the punctuation would guess. Headings still keep apart.
    if (KeptApart(upText, noGlue, settings) || KeptApart(lowText, noGlue, settings))
        return BreakDecision::Paragraph;
    // Without a width the rest of the line tests (CanGlueLines) decide; below the usual full
    // line of justified text, whether a sentence ends there (a number at the break is no sign).
    if (layout.width == 0)
        return BreakAllowsGlue(upText.back(), lowText.front()) ? BreakDecision::Join : BreakDecision::Paragraph;
    // A full line of a text wrapped to a width: how its break looks, where the text says how.
    if (layout.fullFrom == 0 && widths != nullptr && widths->looksByWords)
        return widths->endOdds[WidthModel::EndOf(up)][WidthModel::StartOf(low)] > 0 ? BreakDecision::Paragraph
                                                                                    : BreakDecision::Join;
    const bool full = up.length >= uint32_t(layout.fullFrom);
    return full || !(IsSentenceEnd(upText.back()) && !IsLowercase(lowText.front())) ? BreakDecision::Join
                                                                                   : BreakDecision::Paragraph;
}

// Whether a line is one of the text's, as the glue walks them: furniture is passed over, and
// a blank line is counted among those that stand before the next text line.
bool IsTextLine(LineRole role, std::size_t& blanks)
{
    switch (role) {
    case LineRole::PageLine:
    case LineRole::PageBlank:
    case LineRole::NoteStart:
    case LineRole::Note:
        return false;
    case LineRole::Blank:
        ++blanks;
        return false;
    case LineRole::Text:
        break;
    }
    return true;
}

// The odds of each look of a break once more, from how the book's breaks come out decided by
// the first ones: learnt where the widths decide surely, they take the paragraphs' nearly full
// last lines whose spaces measure as shrunk for lines that go on, and so weigh the looks that
// nearly always end a paragraph (a closed quotation above an opening one) too lightly. The
// lines are walked as GlueByLayout walks them, as far as a long book's breaks go: a longer
// text, a collection of books, shows its looks in them too.
constexpr double kLookBreaks = 1 << 15;

void WeighLooksByBreaks(std::span<const std::string_view> lines, const Layout& layout, const Settings& settings,
                        const NoGlueMatcher& noGlue, const std::vector<bool>& specks,
                        const std::vector<bool>& headings, WidthModel& widths)
{
    WidthModel::LookCounts ends{};
    WidthModel::LookCounts goesOn{};
    double endCount = 0;
    double breaks = 0;
    std::size_t previous = 0;
    bool afterText = false;
    bool upperStarts = true;
    std::size_t blanks = 0;
    for (std::size_t i = 0; i < lines.size() && breaks < kLookBreaks; ++i) {
        if (!IsTextLine(layout.roles[i], blanks))
            continue;
        const bool speck = afterText && specks[i];
        BreakDecision decision = speck ? BreakDecision::Join : BreakDecision::Paragraph;
        bool byWidth = false;
        if (afterText && !speck && (headings.empty() || !headings[i]))
            decision = Decide(lines[previous], layout.shapes[previous], lines[i], layout.shapes[i], layout, settings,
                              noGlue, &widths, previous, i, upperStarts, &byWidth);
        if (speck)
            blanks = 0;
        if (byWidth && blanks == 0) {
            const bool end = decision == BreakDecision::Paragraph;
            ++(end ? ends : goesOn)[WidthModel::EndOf(layout.shapes[previous])][WidthModel::StartOf(layout.shapes[i])];
            endCount += end ? 1 : 0;
            ++breaks;
        }
        upperStarts = !afterText || blanks > 0 || decision == BreakDecision::Paragraph;
        blanks = 0;
        previous = i;
        afterText = true;
    }
    if (breaks > 0) {
        widths.WeighLooks(ends, goesOn, std::log((endCount + 1) / (breaks - endCount + 1)));
        widths.looksByBreaks = true;
    }
}

}  // namespace

BreakDecision DecideBreak(std::string_view upper, std::string_view lower, const Layout& layout,
                          const Settings& settings)
{
    return Decide(upper, ShapeOfLine(upper), lower, ShapeOfLine(lower), layout, settings,
                  NoGlueMatcher(settings.noGlue));
}

bool HyphenKept(std::string_view upper, std::string_view lower, Hyphenator& hyphenator, const WordEvidence& evidence,
                bool shortBreaks)
{
    const std::string_view up = Content(upper);
    const std::string_view low = Content(lower);
    const std::string_view fragment = Fragment(up);
    const std::string_view tail = Tail(low);
    return KeepHyphen(fragment, tail, LegalBreak(hyphenator, fragment, tail), evidence,
                      SpelledWithHyphens(up, fragment, low, tail), shortBreaks);
}

int64_t GlueByLayout(LineList& list, const Settings& settings, LineWidthList&& ready)
{
    const std::size_t n = list.pieces.size();
    Layout layout = AnalyseLayout(list.pieces, std::move(list.shapes), std::move(list.roles));
    layout.fullLines = list.fullLines;
    list.linesAreParagraphs = layout.linesAreParagraphs;
    for (const LineCut& cut : layout.cuts)
        list.pieces[cut.line] = list.arena.Store(cut.text);
    const NoGlueMatcher noGlue(settings.noGlue);
    // The specks and headings are found beside the measuring, which starts with a long look at
    // a few lines.
    WidthModel widths;
    std::vector<bool> specks;
    std::vector<bool> headings;
    bool specksFound = false;
    SideBySide(
        n >= kWorthASecondThread && layout.fullFrom > 0,
        [&] {
            if (layout.fullFrom > 0)
                widths = MeasureLines(list.pieces, layout, std::move(ready));
        },
        [&] {
            try {
                specks = FindSpecks(list.pieces, layout);
                headings = FindEdgeHeadings(list.pieces, layout);
                specksFound = true;
            } catch (...) {
                // Memory ran out: found again below, where the failure is reported.
            }
        });
    if (!specksFound) {
        specks = FindSpecks(list.pieces, layout);
        headings = FindEdgeHeadings(list.pieces, layout);
    }
    LineWidthList().swap(ready);  // where no widths were measured
    if (widths.Known())
        WeighLooksByBreaks(list.pieces, layout, settings, noGlue, specks, headings, widths);
    else if (layout.width > 0 && layout.fullFrom == 0 && layout.mark == ParagraphMark::Neither)
        WeighLooksByWords(list.pieces, layout, widths);

    // Where no decision asks how the one before it went (the room a paragraph's first line
    // leaves is not weighed), a long book's lines are walked in two halves side by side, each
    // deciding its breaks from the text line above. Only where the lines were wrapped to a
    // width: lines of a few bytes cost more to walk in halves, moved together after, than in one.
    LineViews& pieces = list.pieces;
    const bool independent =
        n >= kWorthASecondThread && layout.width > 0 && !(widths.Known() && widths.firstLine != 0);
    const auto decide = [&](std::string_view upper, std::size_t up, std::size_t low, bool upperStarts) {
        return Decide(upper, layout.shapes[up], pieces[low], layout.shapes[low], layout, settings, noGlue, &widths,
                      up, low, upperStarts);
    };

    // The list is rewritten in place: a kept line never moves down, and the views of the two
    // lines a decision looks at are kept aside before their places are overwritten.
    list.flags.assign(n, 0);
    list.joins = 0;
    // What a walk over lines [from, to) made of them, written from piece `kept` on.
    // Each half's on cache lines of its own: the two update theirs at every line.
    struct alignas(64) Walked {
        std::size_t kept = 0;
        std::size_t joins = 0;
        std::vector<uint32_t> hyphens;    // words broken at a hyphen: the upper line's piece
        std::vector<uint32_t> notSigned;  // pieces to be given the hyphen their "¬" stands for
        bool leadingSpace = false;        // a kept line begins with a space (its lead too long to count)
        std::vector<uint32_t> notes;      // the lines of the footnotes passed, not yet written
    };
    // `afterText`, `previous`, `previousLine`: the walk starts after a text line, that one, as
    // the book has it. `deferred`: the pieces "¬" ends are noted, to be given their hyphen in
    // the list's arena afterwards.
    const auto walk = [&](std::size_t from, std::size_t to, std::size_t kept, bool afterText, std::size_t previous,
                          std::string_view previousLine, bool deferred, Walked& w) {
        bool upperStarts = true;  // the last text line begins a paragraph
        std::size_t blanks = 0;   // blank lines since it, not yet written
        std::size_t beforeSpeck = n;  // the text line above the specks just passed, if any
        // The footnotes passed go behind the paragraph, each a paragraph of its own, its number
        // and its lines joined. Their lines were passed over, so there is room for them.
        std::vector<std::string_view> noteLines;
        const auto writeNotes = [&] {
            for (std::size_t k = 0; k < w.notes.size(); ++k) {
                pieces[kept] = noteLines[k];
                const bool goesOn = k + 1 < w.notes.size() && layout.roles[w.notes[k + 1]] != LineRole::NoteStart;
                if (goesOn && IsLineEndHyphen(layout.shapes[w.notes[k]].last) &&
                    IsLowercaseLetter(layout.shapes[w.notes[k + 1]].first)) {
                    list.flags[kept] = LineList::kAdjoinsNext;
                    w.hyphens.push_back(uint32_t(kept));
                } else {
                    list.flags[kept] = goesOn ? LineList::kJoinsNext : 0;
                }
                w.joins += goesOn ? 1 : 0;
                ++kept;
            }
            w.notes.clear();
            noteLines.clear();
        };
        for (std::size_t i = from; i < to; ++i) {
            const std::string_view line = pieces[i];
            if (layout.roles[i] == LineRole::NoteStart || layout.roles[i] == LineRole::Note) {
                if (!layout.shapes[i].Blank()) {
                    w.notes.push_back(uint32_t(i));
                    noteLines.push_back(layout.shapes[i].Trimmed(line));
                }
                continue;
            }
            if (!IsTextLine(layout.roles[i], blanks))
                continue;
            w.leadingSpace = w.leadingSpace || layout.shapes[i].first == ' ';
            const bool speck = afterText && specks[i];
            BreakDecision decision = BreakDecision::Paragraph;
            if (speck)
                decision = BreakDecision::Join;
            else if (afterText && (headings.empty() || !headings[i]))
                decision = decide(previousLine, previous, i, upperStarts);
            // A speck inside a sentence: the line above it runs on below it, blank lines or not.
            const bool through = !speck && afterText && beforeSpeck < i && blanks > 0 &&
                                 RunsOn(layout.shapes[beforeSpeck], layout.shapes[i]);
            if (through)
                decision = BreakDecision::Join;
            beforeSpeck = !speck ? n : beforeSpeck < i ? beforeSpeck : previous;
            // Where blank lines mark no paragraph, one between a line the widths say goes on
            // and the rest of its sentence is the extraction's: MuPDF sets one before a line
            // whose spaces were stretched far.
            const bool torn = !speck && afterText && blanks == 1 && layout.mark != ParagraphMark::Blank &&
                              decision == BreakDecision::Join && RunsOn(layout.shapes[previous], layout.shapes[i]);
            if (speck || through || torn)
                blanks = 0;
            upperStarts = !afterText || blanks > 0 || decision == BreakDecision::Paragraph;
            // A word broken at a hyphen goes on after blank lines too, as in the plain glue: a
            // page ended there with blank lines on one side only.
            if (!w.notes.empty() && ((blanks > 0 && decision != BreakDecision::Hyphen) ||
                                     (afterText && decision == BreakDecision::Paragraph)))
                writeNotes();
            if (blanks > 0 && decision != BreakDecision::Hyphen) {
                afterText = false;
                for (; blanks > 0; --blanks)
                    pieces[kept++] = {};
            }
            blanks = 0;
            if (afterText) {
                uint8_t flag = 0;
                switch (decision) {
                case BreakDecision::Paragraph:
                    break;
                case BreakDecision::Join:
                    flag = LineList::kJoinsNext;
                    break;
                case BreakDecision::Adjoin:
                    flag = layout.shapes[previous].last == kSoftHyphen ? LineList::kHyphenNext : LineList::kAdjoinsNext;
                    if (layout.shapes[previous].last == kNotSign) {
                        if (deferred)
                            w.notSigned.push_back(uint32_t(kept - 1));
                        else
                            pieces[kept - 1] = WithHyphen(pieces[kept - 1], list.arena);
                    }
                    break;
                case BreakDecision::Hyphen:
                    flag = LineList::kAdjoinsNext;  // until the book's words are counted
                    w.hyphens.push_back(uint32_t(kept - 1));
                    break;
                }
                if (flag) {
                    list.flags[kept - 1] = flag;
                    ++w.joins;
                }
            }
            pieces[kept++] = layout.shapes[i].Trimmed(line);
            previous = i;
            previousLine = line;
            afterText = true;
        }
        writeNotes();
        if (to == n)
            for (; blanks > 0; --blanks)
                pieces[kept++] = {};
        w.kept = kept;
    };
    // The second half starts at a text line right below another that begins a paragraph: there
    // the walk writes nothing behind its own line. Each half rewrites its own part of the list;
    // the second's is then moved down behind the first's.
    std::size_t split = 0;
    if (independent)
        for (std::size_t i = std::max<std::size_t>(n / 2, 1); i < n && i < n / 2 + kWorthASecondThread; ++i)
            if (layout.roles[i] == LineRole::Text && layout.roles[i - 1] == LineRole::Text && !specks[i] &&
                decide(pieces[i - 1], i - 1, i, false) == BreakDecision::Paragraph) {
                split = i;
                break;
            }
    Walked front, back;
    if (split == 0) {
        walk(0, n, 0, false, 0, {}, false, front);
    } else {
        // Read before the first half may write over it.
        const std::string_view aboveSplit = pieces[split - 1];
        std::exception_ptr failure;
        SideBySide(
            true, [&] { walk(0, split, 0, false, 0, {}, false, front); },
            [&]() noexcept {
                try {
                    walk(split, n, split, true, split - 1, aboveSplit, true, back);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
        if (failure)
            std::rethrow_exception(failure);
        const std::size_t moved = back.kept - split;
        const std::size_t by = split - front.kept;
        std::memmove(pieces.data() + front.kept, pieces.data() + split, moved * sizeof(pieces[0]));
        std::memmove(list.flags.data() + front.kept, list.flags.data() + split, moved * sizeof(list.flags[0]));
        for (const uint32_t piece : back.hyphens)
            front.hyphens.push_back(uint32_t(piece - by));
        for (const uint32_t piece : back.notSigned)
            pieces[piece - by] = WithHyphen(pieces[piece - by], list.arena);
        front.kept += moved;
        front.joins += back.joins;
        front.leadingSpace = front.leadingSpace || back.leadingSpace;
    }
    const std::size_t kept = front.kept;
    list.joins = front.joins;
    std::vector<uint32_t>& hyphens = front.hyphens;
    const bool leadingSpace = front.leadingSpace;
    pieces.resize(kept);
    list.flags.resize(kept);
    list.noLeadingSpaces = !leadingSpace;
    if (hyphens.empty())
        return int64_t(n);

    // Each broken word once: a book breaks the same word in the same place again and again.
    struct Word {
        std::string fragment;
        std::string tail;
        std::optional<bool> legal;  // none: no patterns, or too short to ask
        bool stammer = false;
        bool spelled = false;
        uint32_t hyphenated = WordCounter::kNone;
        uint32_t joined = WordCounter::kNone;
        uint32_t tailSlot = WordCounter::kNone;
        uint32_t fragmentSlot = WordCounter::kNone;
        uint32_t pastSlot = WordCounter::kNone;
        bool kept = true;
    };
    std::vector<uint32_t> wordOfBreak(hyphens.size());
    std::vector<uint8_t> hyphenBytes(hyphens.size());  // which kind of hyphen ends the upper line
    // The words of the breaks [from, to), each once, in the order they first come, with the
    // breaks' own slots in `wordOfBreak` indexes into them. (Each half's on cache lines of its
    // own: a book of many words adds to its map at most breaks.)
    struct alignas(64) Words {
        std::vector<Word> words;
        std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> wordOf;
    };
    const auto gather = [&](Words& into, std::size_t from, std::size_t to) {
        std::string key;
        for (std::size_t k = from; k < to; ++k) {
            if (k + kAhead < to) {
                const std::string_view ahead = pieces[hyphens[k + kAhead]];
                __builtin_prefetch(ahead.data() + ahead.size() - 1);
                __builtin_prefetch(pieces[hyphens[k + kAhead] + 1].data());
            }
            const std::string_view upper = pieces[hyphens[k]];
            const std::string_view lower = pieces[hyphens[k] + 1];
            hyphenBytes[k] = uint8_t(upper.back());
            const std::string_view fragment = Fragment(upper);
            const std::string_view tail = Tail(lower);
            key.assign(fragment).append(1, '-').append(tail);
            for (char& c : key)
                c = char(ToLowerByte(uint8_t(c)));
            const bool spelled = SpelledWithHyphens(upper, fragment, lower, tail);
            key += spelled ? '+' : ' ';
            const auto [entry, added] = into.wordOf.try_emplace(key, uint32_t(into.words.size()));
            wordOfBreak[k] = entry->second;
            if (added) {
                Word& w = into.words.emplace_back();
                w.fragment = key.substr(0, fragment.size());
                w.tail = key.substr(fragment.size() + 1, tail.size());
                w.spelled = spelled;
            }
        }
    };
    // A long book's breaks in two halves, on two cores; the second half's words then follow
    // the first's as they would have come in one pass.
    Words all, second;
    const std::size_t half = hyphens.size() / 2;
    std::exception_ptr failure;
    SideBySide(
        hyphens.size() >= kWorthASecondThread / 4, [&] { gather(all, 0, half); },
        [&]() noexcept {
            try {
                gather(second, half, hyphens.size());
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (failure)
        std::rethrow_exception(failure);
    {
        std::vector<uint32_t> into(second.words.size());
        for (std::size_t w = 0; w < second.words.size(); ++w) {
            Word& word = second.words[w];
            const std::string key = word.fragment + '-' + word.tail + (word.spelled ? '+' : ' ');
            const auto [entry, added] = all.wordOf.try_emplace(key, uint32_t(all.words.size()));
            into[w] = entry->second;
            if (added)
                all.words.push_back(std::move(word));
        }
        for (std::size_t k = half; k < hyphens.size(); ++k)
            wordOfBreak[k] = into[wordOfBreak[k]];
    }
    std::vector<Word>& words = all.words;
    std::string key;

    // The patterns first; the book is then asked only what could change their answer: how
    // often it hyphenates a word they would join, and how often it joins one they would not.
    Hyphenator hyphenator;
    WordCounter hyphenated;
    WordCounter joined;
    for (Word& w : words) {
        if (w.fragment.size() < kLettersBeforeBreak || w.tail.size() < kLettersAfterAnyBreak)
            continue;
        const bool shortTail = w.tail.size() < kLettersAfterBreak;
        w.legal = LegalBreak(hyphenator, w.fragment, w.tail);
        w.stammer = w.tail.starts_with(w.fragment);
        w.hyphenated = hyphenated.Want(key.assign(w.fragment).append(1, '-').append(w.tail));
        if (shortTail || !w.legal.value_or(true) || w.stammer || w.spelled || CompoundAdjective(w.fragment, w.tail))
            w.joined = joined.Want(key.assign(w.fragment).append(w.tail));
        if (w.stammer && w.tail.size() > w.fragment.size())
            w.tailSlot = joined.Want(w.tail.substr(w.fragment.size()));
        if (shortTail && w.tail == "li") {
            w.fragmentSlot = joined.Want(w.fragment);
            w.pastSlot = joined.Want(key.assign(w.fragment).append(1, 'l'));
        }
    }
    // Every word of a book is read; a longer text, a collection of books, is read as far as a
    // long book goes, so that the smart glue stays nearly as fast as the plain one.
    const auto eachPiece = [&](auto&& count) {
        std::size_t bytes = 0;
        for (std::size_t k = 0; k < kept && bytes < kEvidenceBytes; ++k) {
            count(k);
            bytes += pieces[k].size() + 1;
        }
    };
    if (!hyphenated.Empty()) {
        eachPiece([&](std::size_t k) { hyphenated.CountHyphenated(pieces[k]); });
        // Where the book hyphenates a word the patterns would join, its joined form counts too.
        for (Word& w : words)
            if (hyphenated.Count(w.hyphenated) > 0 && w.joined == WordCounter::kNone)
                w.joined = joined.Want(key.assign(w.fragment).append(w.tail));
    }
    if (!joined.Empty()) {
        std::vector<bool> continues(kept, false);
        for (const uint32_t piece : hyphens)
            continues[piece + 1] = true;
        // The words of a long book's first pieces are counted in two halves, on two cores.
        std::size_t read = 0;
        for (std::size_t bytes = 0; read < kept && bytes < kEvidenceBytes; ++read)
            bytes += pieces[read].size() + 1;
        WordCounter second = joined;
        const auto countWords = [&](WordCounter& counter, std::size_t from, std::size_t to) {
            for (std::size_t k = from; k < to; ++k)
                counter.CountWords(pieces[k], continues[k]);
        };
        SideBySide(
            n >= kWorthASecondThread, [&] { countWords(joined, 0, read / 2); },
            [&] { countWords(second, read / 2, read); });
        joined.Add(second);
    }
    // Whether the book's wrapper left two letters after a break: its breaks so that the book
    // writes joined elsewhere ("kte-|ré" beside "které") outnumber by far those it writes with
    // the hyphen ("je-|li"). Typesetting that leaves three shows one now and then, where a
    // word is stammered ("Kili-án" beside "Kilián").
    std::size_t wrapped = 0;
    std::size_t written = 0;
    for (std::size_t k = 0; k < hyphens.size(); ++k) {
        const Word& w = words[wordOfBreak[k]];
        if (w.fragment.size() < kLettersBeforeBreak || w.tail.size() != kLettersAfterAnyBreak)
            continue;
        const uint32_t joins = joined.Count(w.joined);
        const uint32_t hyphenations = hyphenated.Count(w.hyphenated);
        wrapped += joins > hyphenations ? 1 : 0;
        written += hyphenations > joins ? 1 : 0;
    }
    const bool shortBreaks = wrapped >= kShortBreaksShown && wrapped >= kShortBreaksOutnumber * written;
    list.twoLetterBreaks = shortBreaks;
    for (Word& w : words) {
        const WordEvidence evidence{joined.Count(w.joined), hyphenated.Count(w.hyphenated), joined.Count(w.tailSlot),
                                    joined.Count(w.fragmentSlot), joined.Count(w.pastSlot)};
        w.kept = KeepHyphen(w.fragment, w.tail, w.legal, evidence, w.spelled, shortBreaks);
    }
    for (std::size_t k = 0; k < hyphens.size(); ++k) {
        if (!words[wordOfBreak[k]].kept || hyphenBytes[k] == kSoftHyphen) {
            list.flags[hyphens[k]] = LineList::kHyphenNext;
        } else if (hyphenBytes[k] == kNotSign) {
            pieces[hyphens[k]] = WithHyphen(pieces[hyphens[k]], list.arena);
        }
    }
    return int64_t(n);
}

}  // namespace lepotex
