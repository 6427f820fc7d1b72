#include "engine/JoinedHyphens.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/Hyphenation.h"
#include "engine/InHalves.h"
#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {

namespace {

// The book's first lines tell its width and whether its lines were run together.
constexpr std::size_t kSampleLines = 40'000;
// As far as the words a hyphen's place is checked against are counted.
constexpr std::size_t kEvidenceBytes = std::size_t(4) << 20;
// A line of a proportional face holds this many characters more or fewer than the usual one.
constexpr double kLineSpread = 0.15;
// No book's full line is longer.
constexpr uint32_t kLongestFullLine = 1000;
// No word of Czech is longer: a longer one is words an extraction ran together.
constexpr std::size_t kLongestWord = 24;

// Looked up once: a word is lowered byte by byte, and most words of such a book are.
const std::array<uint8_t, 256>& kLowerOf = LowerCaseTable();
uint8_t Low(uint8_t byte) { return kLowerOf[byte]; }
bool IsLower(uint8_t byte) { return IsLetterByte(byte) && Low(byte) == byte; }
bool IsUpper(uint8_t byte) { return IsLetterByte(byte) && Low(byte) != byte; }

// Each word of the line, hyphens inside it included: `each(start, word)`.
template <typename Each>
void EachWord(std::string_view line, Each&& each)
{
    std::size_t i = 0;
    while (i < line.size()) {
        if (!IsLetterByte(uint8_t(line[i]))) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < line.size() &&
               (IsLetterByte(uint8_t(line[end])) ||
                (line[end] == '-' && end + 1 < line.size() && IsLetterByte(uint8_t(line[end + 1])))))
            ++end;
        each(i, line.substr(i, end - i));
        i = end;
    }
}

// The usual length of a full line, where the book's lines are of one width and pdftotext ran
// some of them together, having taken the hyphen off the word broken between them; 0 otherwise.
// `sampleEnd`: the end of the lines it was told by, whose words WordsRunTogether then reads.
double RunTogetherWidth(const LineViews& pieces, std::size_t& sampleEnd)
{
    std::vector<uint32_t> lengths;
    std::size_t hyphenEnds = 0;
    std::size_t i = 0;
    for (; i < pieces.size() && lengths.size() < kSampleLines; ++i) {
        const std::string_view line = TrimTrailingSpaces(pieces[i]);
        if (line.empty())
            continue;
        lengths.push_back(uint32_t(line.size()));
        hyphenEnds += line.size() >= 2 && line.back() == '-' && IsLetterByte(uint8_t(line[line.size() - 2]));
    }
    sampleEnd = i;
    if (lengths.size() < 100)
        return 0;
    // The usual full line among the lines around the commonest length: a book that breaks
    // many words (a narrow page, a word processor's two letters after a break) runs a fifth
    // of its lines together or more, and those would take the place of its full lines.
    //
    // How many lines have each length, and up to each length.
    std::vector<uint32_t> upTo(kLongestFullLine + 2, 0);
    for (const uint32_t length : lengths)
        ++upTo[std::min(length, kLongestFullLine + 1)];
    for (std::size_t k = 1; k < upTo.size(); ++k)
        upTo[k] += upTo[k - 1];
    const auto within = [&](double from, double to) {  // lines of lengths [from, to]
        const auto low = std::size_t(std::ceil(from));
        const auto high = std::min(std::size_t(std::floor(to)), std::size_t(kLongestFullLine));
        return high < low ? 0u : upTo[high] - (low > 0 ? upTo[low - 1] : 0u);
    };
    uint32_t commonest = 0;
    uint32_t most = 0;
    for (uint32_t length = 20; length <= kLongestFullLine; ++length)
        if (const uint32_t lines = within(0.9 * length, 1.1 * length); lines > most) {
            most = lines;
            commonest = length;
        }
    const uint32_t around = within(0.8 * commonest, 1.2 * commonest);
    if (around < 20)
        return 0;
    // The length a fifth of them are longer than.
    const auto from = std::size_t(std::ceil(0.8 * commonest));
    const uint32_t before = upTo[from - 1];
    std::size_t at = from;
    while (upTo[at] - before <= around * 4 / 5)
        ++at;
    const double width = double(at);
    if (width < 20)
        return 0;
    std::size_t full = 0;
    std::size_t runTogether = 0;
    for (const uint32_t length : lengths) {
        full += length >= 0.75 * width && length <= 1.2 * width;
        runTogether += length > 1.45 * width;
    }
    // Lines of one width, some of them twice as long, and hardly a hyphen left at a line end.
    if (2 * full < lengths.size() || runTogether < 5 || 200 * runTogether < lengths.size() || hyphenEnds > runTogether)
        return 0;
    return width;
}

// Words written without the spaces between them are another extraction's fault: where the
// words of RunTogetherWidth's lines show it, no hyphen is put back.
struct WordsRunTogether {
    std::size_t words = 0;
    std::size_t overlong = 0;
    void Count(std::string_view word)
    {
        ++words;
        overlong += word.size() > kLongestWord;
    }
    bool Shown() const { return 100 * overlong > words; }
};

// Each word of the line that reaches into a place where a line of the book may have ended:
// `each(start, word)`. Most words of a line stand elsewhere, and are not looked at.
template <typename Each>
void EachWordWhereALineEnded(std::string_view line, double width, Each&& each)
{
    const auto inWord = [&](std::size_t at) { return IsLetterByte(uint8_t(line[at])) || line[at] == '-'; };
    std::size_t done = 0;  // the words before it were handed on
    for (int lines = 1;; ++lines) {
        const double reach = kLineSpread * width * lines;
        auto from = std::size_t(std::max(0.0, lines * width - reach));
        if (from >= line.size())
            return;
        // Further on, the places run together: the rest of the line is one.
        auto to = 2 * reach >= width ? line.size() : std::min(line.size(), std::size_t(lines * width + reach) + 1);
        while (from > done && inWord(from - 1))
            --from;
        from = std::max(from, done);
        while (to < line.size() && inWord(to))
            ++to;
        EachWord(line.substr(from, to - from), [&](std::size_t start, std::string_view word) { each(from + start, word); });
        done = to;
        if (to == line.size())
            return;
    }
}

// Where a line of the book may have ended: about one, two or more widths into a line.
bool MayHaveEnded(std::size_t at, double width)
{
    const double lines = std::round(double(at) / width);
    return lines >= 1 && std::abs(double(at) - lines * width) <= kLineSpread * width * lines;
}

// The place in `word` (of the line, from `start`) where the hyphen it lost stood, where the word
// itself shows it: a capital after small letters ("ParkáňNány"), a part said twice beside the
// same part ("oh-ohoh"), a part that starts with the one before it said again ("ne-nenemohu").
std::size_t SpelledHyphen(std::string_view word, std::size_t start, double width)
{
    if (word.find('-') == std::string_view::npos) {  // nearly every word: no part to repeat
        for (std::size_t c = 3; c + 1 < word.size(); ++c)
            if (IsUpper(uint8_t(word[c])) && IsLower(uint8_t(word[c - 1])) && IsLower(uint8_t(word[c + 1])) &&
                MayHaveEnded(start + c, width))
                return start + c;
        return std::string_view::npos;
    }
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t dash = word.find('-', from);
        parts.push_back(word.substr(from, dash == std::string_view::npos ? std::string_view::npos : dash - from));
        if (dash == std::string_view::npos)
            break;
        from = dash + 1;
    }
    std::size_t offset = start;
    for (std::size_t k = 0; k < parts.size(); offset += parts[k].size() + 1, ++k) {
        const std::string_view part = parts[k];
        for (std::size_t c = 3; c + 1 < part.size(); ++c)
            if (IsUpper(uint8_t(part[c])) && IsLower(uint8_t(part[c - 1])) && IsLower(uint8_t(part[c + 1])) &&
                MayHaveEnded(offset + c, width))
                return offset + c;
        const std::string lower = Lowered(part);
        const std::size_t half = lower.size() / 2;
        if (lower.size() >= 4 && lower.size() % 2 == 0 && lower.compare(0, half, lower, half, half) == 0 &&
            MayHaveEnded(offset + half, width)) {
            const bool before = k > 0 && Lowered(parts[k - 1]) == lower.substr(0, half);
            const bool after = k + 1 < parts.size() && Lowered(parts[k + 1]) == lower.substr(0, half);
            if (before || after)
                return offset + half;
        }
        if (k > 0) {
            const std::string said = Lowered(parts[k - 1]);
            const std::size_t n = said.size();
            const std::string_view rest(lower);
            // Laughter says it more often still ("ha-hahaha"), and tells nothing.
            if (n >= 2 && rest.size() > 2 * n && rest.starts_with(said) && rest.substr(n).starts_with(said) &&
                !rest.substr(2 * n).starts_with(said) && MayHaveEnded(offset + n, width))
                return offset + n;
        }
    }
    return std::string_view::npos;
}

bool EndsInVowel(std::string_view lower)
{
    switch (uint8_t(lower.back())) {
    case 'a': case 'e': case 'i': case 'o': case 'u': case 'y': case 0xEC:  // ě
        return true;
    default:
        return false;
    }
}

// "máš|li": the particle after a word of the book, where "mášli" is no word of it and the first
// part no past tense ("kára|li" is "kárali", of "kárala") nor a noun's ("žid|li" is "židli", of
// "židle").
constexpr const char* kOtherForms[] = {"l", "la", "lo", "ly", "le", "l\xED"};
struct Particle {
    std::size_t line;
    std::size_t at;  // of the hyphen, in the line
    std::string stem;
    std::string joined;
    bool lowerStart;  // a name may end in "lli" ("Botticelli"), a Czech word does not
};

}  // namespace

int64_t RestoreJoinedHyphens(LineList& list, std::vector<CaronMend>* mends)
{
    LineViews& pieces = list.pieces;
    std::size_t sampleEnd = 0;
    const double width = RunTogetherWidth(pieces, sampleEnd);
    if (width == 0)
        return 0;

    // Every line is looked at: in two halves, side by side, in a long book.
    struct Found {
        std::vector<std::pair<std::size_t, std::size_t>> places;  // line, where the hyphen goes
        std::vector<Particle> particles;
        bool failed = false;  // no memory for them
    };
    std::array<Found, 2> halves;
    InHalves(pieces.size(), [&](std::size_t from, std::size_t to) {
        Found& found = halves[from == 0 ? 0 : 1];
        try {
            for (std::size_t i = from; i < to; ++i) {
                EachWordWhereALineEnded(TrimTrailingSpaces(pieces[i]), width, [&](std::size_t start, std::string_view word) {
                    if (word.size() > kLongestWord)
                        return;
                    if (const std::size_t at = SpelledHyphen(word, start, width); at != std::string_view::npos) {
                        found.places.emplace_back(i, at);
                        return;
                    }
                    if (word.size() < 5 || Low(uint8_t(word[word.size() - 2])) != 'l' ||
                        Low(uint8_t(word.back())) != 'i' || word.find('-') != std::string_view::npos)
                        return;
                    const std::string lower = Lowered(word);
                    const std::string stem = lower.substr(0, lower.size() - 2);
                    if (stem.size() < 3 || !MayHaveEnded(start + stem.size(), width))
                        return;
                    found.particles.push_back({i, start + stem.size(), stem, lower, IsLower(uint8_t(word[0]))});
                });
            }
        } catch (const std::bad_alloc&) {
            found.failed = true;
        }
    });
    if (halves[0].failed || halves[1].failed)
        return 0;  // the text stays as it came: no hyphen is put back rather than some
    std::vector<std::pair<std::size_t, std::size_t>> places = std::move(halves[0].places);
    places.insert(places.end(), halves[1].places.begin(), halves[1].places.end());
    std::vector<Particle> particles = std::move(halves[0].particles);
    particles.insert(particles.end(), std::make_move_iterator(halves[1].particles.begin()),
                     std::make_move_iterator(halves[1].particles.end()));

    // The words of the book's first lines, read once: whether they were run together, and
    // those that tell each particle's case, in its first megabytes.
    WordsRunTogether runTogether;
    const auto countSampleFrom = [&](std::size_t from) {
        for (std::size_t i = from; i < sampleEnd; ++i)
            EachWord(pieces[i], [&](std::size_t, std::string_view word) { runTogether.Count(word); });
    };
    if (particles.empty()) {
        countSampleFrom(0);
    } else {
        // The words that tell each particle's case, counted in the book's first megabytes.
        std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> counts;
        for (const Particle& p : particles) {
            counts.emplace(p.stem, 0);
            counts.emplace(p.stem + "-li", 0);
            counts.emplace(p.joined, 0);
            for (const char* ending : kOtherForms)
                counts.emplace(p.stem + ending, 0);
        }
        // The words counted by their first letter and length, then by a few bits of a quick
        // hash of them: most words of the book are none, and a book with many such places
        // wants words of nearly every first letter and length.
        std::vector<std::array<bool, kLongestWord + 1>> wanted(256);
        constexpr unsigned kMarkBits = 16;
        std::vector<uint64_t> marks(std::size_t(1) << (kMarkBits - 6), 0);
        const auto mark = [](uint32_t h) { return h >> (32 - kMarkBits); };
        const auto step = [](uint32_t h, uint8_t byte) { return (h ^ byte) * 16777619u; };
        for (const auto& [word, count] : counts) {
            wanted[uint8_t(word[0])][std::min(word.size(), kLongestWord)] = true;
            uint32_t h = 2166136261u;
            for (const char c : word)
                h = step(h, uint8_t(c));
            marks[mark(h) >> 6] |= uint64_t(1) << (mark(h) & 63);
        }
        uint32_t particlesWritten = 0;  // "-li" as the book writes it
        std::array<char, kLongestWord> lower;
        std::size_t i = 0;
        for (std::size_t bytes = 0; i < pieces.size() && bytes < kEvidenceBytes; ++i) {
            bytes += pieces[i].size() + 1;
            const bool sampled = i < sampleEnd;
            EachWord(pieces[i], [&](std::size_t, std::string_view word) {
                if (sampled)
                    runTogether.Count(word);
                if (word.size() > kLongestWord)
                    return;
                particlesWritten += word.size() > 3 && word[word.size() - 3] == '-' &&
                                    Low(uint8_t(word[word.size() - 2])) == 'l' &&
                                    Low(uint8_t(word.back())) == 'i';
                if (!wanted[Low(uint8_t(word[0]))][word.size()])
                    return;
                uint32_t h = 2166136261u;
                for (std::size_t k = 0; k < word.size(); ++k) {
                    lower[k] = char(Low(uint8_t(word[k])));
                    h = step(h, uint8_t(lower[k]));
                }
                if (!(marks[mark(h) >> 6] >> (mark(h) & 63) & 1))
                    return;
                if (const auto found = counts.find(std::string_view(lower.data(), word.size())); found != counts.end())
                    ++found->second;
            });
        }
        countSampleFrom(i);
        std::unordered_map<std::string, uint32_t> sites;
        for (const Particle& p : particles)
            ++sites[p.joined];
        for (const Particle& p : particles) {
            if (particlesWritten < 2 || counts[p.joined] > sites[p.joined])
                continue;
            // The book writes the word with the particle elsewhere: that tells enough.
            if (counts[p.stem + "-li"] > 0) {
                places.emplace_back(p.line, p.at);
                continue;
            }
            // Else the first part must be a word of the book, and read as no other form of the
            // joined word: a past tense's stem ends in a vowel ("chtě|li"), but for the past
            // tense itself ("byla|li").
            const std::string& stem = p.stem;
            // "nezaplatil|li": no Czech word ends in "lli", so the past tense needs no evidence.
            if (stem.back() == 'l' && p.lowerStart) {
                places.emplace_back(p.line, p.at);
                continue;
            }
            const bool pastEnding = stem[stem.size() - 2] == 'l' && (stem.back() == 'a' || stem.back() == 'o');
            // "chcete|li": no past tense ends in "-teli" (and "učiteli" has no word in front).
            const bool secondPerson = stem[stem.size() - 2] == 't' && stem.back() == 'e';
            bool other = EndsInVowel(stem) && !pastEnding && !secondPerson;
            for (const char* ending : kOtherForms)
                other = other || counts[stem + ending] > 0;
            if (counts[stem] > 0 && !other)
                places.emplace_back(p.line, p.at);
        }
    }
    if (runTogether.Shown() || places.empty())
        return 0;
    std::sort(places.begin(), places.end());

    std::vector<CaronMend> found;
    std::string line;
    for (std::size_t k = 0; k < places.size();) {
        const std::size_t i = places[k].first;
        const std::string_view old = pieces[i];
        line.clear();
        std::size_t from = 0;
        const std::size_t first = found.size();
        for (; k < places.size() && places[k].first == i; ++k) {
            const std::size_t at = places[k].second;
            line.append(old.substr(from, at - from));
            line.push_back('-');
            from = at;
            if (mends)
                found.push_back({uint32_t(i), uint32_t(at), {}, {}, true});
        }
        line.append(old.substr(from));
        pieces[i] = list.arena.Store(line);
        if (!mends)
            continue;
        // One entry a word, told by the word as it was and as it is.
        for (std::size_t m = first, added = 0; m < found.size(); ++m, ++added) {
            const std::size_t at = found[m].at + added;  // the hyphen, in the new line
            std::size_t start = at;
            while (start > 0 && (IsLetterByte(uint8_t(line[start - 1])) || line[start - 1] == '-'))
                --start;
            std::size_t end = at + 1;
            while (end < line.size() && (IsLetterByte(uint8_t(line[end])) || line[end] == '-'))
                ++end;
            found[m].at = uint32_t(start);
            found[m].after = line.substr(start, end - start);
            found[m].before = found[m].after;
            found[m].before.erase(at - start, 1);
        }
    }
    if (mends)
        mends->insert(mends->end(), found.begin(), found.end());
    return int64_t(places.size());
}

}  // namespace lepotex
