#include "engine/SpacingAccents.h"

#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex {

namespace {

// The accents and the Czech letters each makes with the letter after it (Windows-1250). The
// ring is the one the code page lacks: a conversion writes it as "?", or as the degree sign
// that looks the same.
struct Accent {
    uint8_t mark;
    const char* bases;
    const char* letters;
};
constexpr std::array<Accent, 4> kAccents{{
    {0xA1, "CDENRSTZcdenrstz", "\xC8\xCF\xCC\xD2\xD8\x8A\x8D\x8E\xE8\xEF\xEC\xF2\xF8\x9A\x9D\x9E"},
    {0xB4, "AEIOUYaeiouy", "\xC1\xC9\xCD\xD3\xDA\xDD\xE1\xE9\xED\xF3\xFA\xFD"},
    {0xB0, "Uu", "\xD9\xF9"},
    {'?', "Uu", "\xD9\xF9"},
}};
constexpr std::size_t kSlots = 16 + 12 + 2 + 2;
constexpr std::size_t kEvidenceBytes = std::size_t(4) << 20;
// A letter the extraction splits shows as the pair many times more often than whole, and a
// book that spells so has hundreds of such pairs; a few stray accents are someone's typing.
constexpr int64_t kPairsPerLetter = 10;
constexpr int64_t kLeastPairs = 2;
constexpr int64_t kLeastInBook = 20;

constexpr std::array<uint8_t, 256> kAccentOf = [] {
    std::array<uint8_t, 256> of{};
    for (std::size_t k = 0; k < kAccents.size(); ++k)
        of[kAccents[k].mark] = uint8_t(k + 1);
    return of;
}();

bool IsLetterByte(char c) { return kLetterBytes[uint8_t(c)]; }

// The slot of the letter the accent at `pos` makes with the byte after it, or -1. The ring's
// stand-ins are taken only inside a word (a question mark is followed by a space or a quote),
// or after a space that a letter comes before, since no Czech word starts with "ů".
int SlotAt(std::string_view line, std::size_t pos)
{
    const uint8_t k = kAccentOf[uint8_t(line[pos])];
    if (k == 0 || pos + 1 >= line.size())
        return -1;
    const Accent& accent = kAccents[k - 1];
    const char* at = std::strchr(accent.bases, line[pos + 1]);
    if (!at || line[pos + 1] == '\0')
        return -1;
    if (k >= 3 && !(pos > 0 && IsLetterByte(line[pos - 1])) &&
        !(pos > 1 && line[pos - 1] == ' ' && IsLetterByte(line[pos - 2])))
        return -1;
    std::size_t slot = std::size_t(at - accent.bases);
    for (uint8_t j = 1; j < k; ++j)
        slot += std::strlen(kAccents[j - 1].bases);
    return int(slot);
}

char LetterOf(int slot)
{
    for (const Accent& accent : kAccents) {
        const auto n = int(std::strlen(accent.bases));
        if (slot < n)
            return accent.letters[slot];
        slot -= n;
    }
    return '?';
}

// "ě" and "ů" never start a Czech word: a space before them is the tool's.
bool NeverStartsAWord(char letter)
{
    switch (uint8_t(letter)) {
    case 0xCC: case 0xEC: case 0xD9: case 0xF9:
        return true;
    default:
        return false;
    }
}

// "ň" starts a handful of words (ňadra, ňákej): a space before it is the tool's only in a
// book that shows the tool leaves such spaces.
bool SeldomStartsAWord(char letter) { return uint8_t(letter) == 0xD2 || uint8_t(letter) == 0xF2; }

bool IsOpening(char c) { return c == '(' || c == '[' || uint8_t(c) == 0x84 || uint8_t(c) == 0x82; }

// The first byte of the line from `from` on that is an accent, or the line's end: most lines
// hold none, and are read 16 bytes at a time where the processor can.
std::size_t NextAccent(std::string_view line, std::size_t from)
{
#ifdef __SSE2__
    static_assert(kAccents.size() == 4);
    const __m128i marks[4] = {_mm_set1_epi8(char(kAccents[0].mark)), _mm_set1_epi8(char(kAccents[1].mark)),
                              _mm_set1_epi8(char(kAccents[2].mark)), _mm_set1_epi8(char(kAccents[3].mark))};
    for (; from + 16 <= line.size(); from += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + from));
        const __m128i found = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, marks[0]), _mm_cmpeq_epi8(bytes, marks[1])),
                                           _mm_or_si128(_mm_cmpeq_epi8(bytes, marks[2]), _mm_cmpeq_epi8(bytes, marks[3])));
        if (const auto mask = unsigned(_mm_movemask_epi8(found)); mask != 0)
            return from + std::size_t(std::countr_zero(mask));
    }
#endif
    while (from < line.size() && kAccentOf[uint8_t(line[from])] == 0)
        ++from;
    return from;
}

template <typename Each>
void EachAccent(std::string_view line, Each&& each)
{
    for (std::size_t pos = NextAccent(line, 0); pos + 1 < line.size(); pos = NextAccent(line, pos + 1))
        if (const int slot = SlotAt(line, pos); slot >= 0)
            each(pos, slot);
}

}  // namespace

int64_t MendSpacingAccents(LineList& list, std::vector<CaronMend>* mends)
{
    LineViews& pieces = list.pieces;
    std::array<int64_t, kSlots> pairs{};
    int64_t anyPairs = 0;
    int64_t neverFirst = 0;  // pairs that make "ě" or "ů"
    int64_t spaced = 0;      // of those, after a letter and a space
    std::size_t evidenceEnd = 0;
    for (std::size_t bytes = 0; evidenceEnd < pieces.size() && bytes < kEvidenceBytes; ++evidenceEnd) {
        const std::string_view line = pieces[evidenceEnd];
        EachAccent(line, [&](std::size_t pos, int slot) {
            ++pairs[std::size_t(slot)];
            ++anyPairs;
            if (NeverStartsAWord(LetterOf(slot))) {
                ++neverFirst;
                spaced += pos >= 2 && line[pos - 1] == ' ' && IsLetterByte(line[pos - 2]);
            }
        });
        bytes += line.size() + 1;
    }
    if (anyPairs < kLeastInBook)
        return 0;
    std::array<int64_t, 256> bytesSeen{};
    int64_t otherQuestions = 0;  // "?" between letters, the second no "u"
    for (std::size_t i = 0; i < evidenceEnd; ++i) {
        const std::string_view line = pieces[i];
        for (std::size_t at = 0; at < line.size(); ++at) {
            ++bytesSeen[uint8_t(line[at])];
            otherQuestions += line[at] == '?' && at > 0 && at + 1 < line.size() && IsLetterByte(line[at - 1]) &&
                              IsLetterByte(line[at + 1]) && (line[at + 1] | 0x20) != 'u';
        }
    }
    std::array<bool, kSlots> mend{};
    int64_t mendable = 0;
    for (std::size_t s = 0; s < kSlots; ++s)
        mend[s] = pairs[s] >= kLeastPairs && bytesSeen[uint8_t(LetterOf(int(s)))] * kPairsPerLetter <= pairs[s];
    // A text whose conversion lost every letter it lacked to "?" has it before all letters,
    // not only before "u": there it is no ring.
    for (std::size_t s = kSlots - 2; s < kSlots; ++s)
        mend[s] = mend[s] && otherQuestions * kPairsPerLetter <= pairs[s];
    for (std::size_t s = 0; s < kSlots; ++s)
        mendable += mend[s] ? pairs[s] : 0;
    if (mendable < kLeastInBook)
        return 0;
    const bool toolsSpaces = spaced >= kLeastPairs && spaced * 4 >= neverFirst;

    int64_t mended = 0;
    std::string line;
    std::vector<MendedLetter> letters;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        std::size_t from = 0;
        letters.clear();
        EachAccent(piece, [&](std::size_t pos, int slot) {
            if (!mend[std::size_t(slot)] || pos < from)
                return;
            if (letters.empty())
                line.clear();
            line.append(piece.substr(from, pos - from));
            const char letter = LetterOf(slot);
            std::string before(piece.substr(pos, 2));
            const std::size_t n = line.size();
            if (n >= 2 && line[n - 1] == ' ' &&
                (((NeverStartsAWord(letter) || (toolsSpaces && SeldomStartsAWord(letter))) && IsLetterByte(line[n - 2])) ||
                 IsOpening(line[n - 2]))) {
                line.pop_back();
                before.insert(before.begin(), ' ');
            }
            letters.push_back({line.size(), std::move(before)});
            line.push_back(letter);
            from = pos + 2;
        });
        mended += StoreMendedLine(list, i, line, from, letters, mends);
    }
    return mended;
}

}  // namespace lepotex
