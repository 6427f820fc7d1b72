#include "engine/SplitCarons.h"

#include <algorithm>
#include <array>
#include <vector>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/LineList.h"

namespace lepotex {

namespace {

constexpr uint8_t kApostrophe = 0x92;  // U+2019 in Windows-1250
// The letters a face may build of a letter and the apostrophe, and what they stand for.
struct Caron {
    char base;
    uint8_t letter;
};
constexpr std::array<Caron, 3> kCarons{{{'t', 0x9D}, {'d', 0xEF}, {'l', 0xBE}}};
// The book is read as far as this for the evidence; the mending then goes over all of it.
constexpr std::size_t kEvidenceBytes = std::size_t(4) << 20;
// A letter the extraction splits shows as the pair many times more often than whole.
constexpr int64_t kPairsPerLetter = 10;
constexpr int64_t kLeastPairs = 2;
// Czech and Slovak text holds a hundred or so of its other accented letters per "ť" or "ď".
constexpr int64_t kAccentedPerPair = 20;

bool IsAccentedLetter(uint8_t byte)
{
    switch (byte) {
    case 0xE1: case 0xC1:  // á
    case 0xE8: case 0xC8:  // č
    case 0xE9: case 0xC9:  // é
    case 0xEC: case 0xCC:  // ě
    case 0xED: case 0xCD:  // í
    case 0xF8: case 0xD8:  // ř
    case 0x9A: case 0x8A:  // š
    case 0xFA: case 0xDA:  // ú
    case 0xF9: case 0xD9:  // ů
    case 0xFD: case 0xDD:  // ý
    case 0x9E: case 0x8E:  // ž
        return true;
    default:
        return false;
    }
}

bool IsBreakHyphen(uint8_t byte) { return byte == '-' || byte == 0xAC || byte == 0xAD; }

int CaronOf(char base)
{
    for (std::size_t k = 0; k < kCarons.size(); ++k)
        if (kCarons[k].base == base)
            return int(k);
    return -1;
}

template <typename Each>
void EachApostrophe(std::string_view line, Each&& each)
{
    const char* at = line.data();
    const char* const end = at + line.size();
    while (at < end) {
        const void* found = std::memchr(at, kApostrophe, std::size_t(end - at));
        if (!found)
            return;
        const std::size_t pos = std::size_t(static_cast<const char*>(found) - line.data());
        each(pos);
        at = static_cast<const char*>(found) + 1;
    }
}

}  // namespace

namespace {

// One entry a word of `line` (piece `index` of the list) with mended letters.
void RecordMendedWords(std::string_view line, uint32_t index, const std::vector<MendedLetter>& letters,
                       std::vector<CaronMend>& mends)
{
    // One entry a word, told by the word as it was and as it is.
    for (std::size_t k = 0; k < letters.size();) {
        // A form feed starts a page of PDF text: no letter of the word.
        constexpr const char* kParts = " \t\f\r\n";
        const std::size_t space = line.find_last_of(kParts, letters[k].at);
        const std::size_t start = space == std::string::npos ? 0 : space + 1;
        std::size_t end = std::min(line.find_first_of(kParts, letters[k].at), line.size());
        // A word broken at the line's end: its hyphen is the join's to tell of.
        if (end == line.size() && end - 1 > letters[k].at && IsBreakHyphen(uint8_t(line[end - 1])))
            --end;
        CaronMend& word = mends.emplace_back();
        word.line = index;
        word.at = uint32_t(start);
        word.after = line.substr(start, end - start);
        for (std::size_t at = start; at < end; ++at) {
            if (k < letters.size() && letters[k].at == at)
                word.before += letters[k++].before;
            else
                word.before += line[at];
        }
    }
}

}  // namespace

int64_t StoreMendedLine(LineList& list, std::size_t i, std::string& line, std::size_t from,
                        const std::vector<MendedLetter>& letters, std::vector<CaronMend>* mends)
{
    if (letters.empty())
        return 0;
    line.append(list.pieces[i].substr(from));
    list.pieces[i] = list.arena.Store(line);
    if (mends)
        RecordMendedWords(line, uint32_t(i), letters, *mends);
    return int64_t(letters.size());
}

int64_t MendSplitCarons(LineList& list, std::vector<CaronMend>* mends)
{
    LineViews& pieces = list.pieces;
    // Most books have no apostrophe after these letters: one quick look for the byte decides.
    std::array<int64_t, kCarons.size()> pairs{};
    std::size_t evidenceEnd = 0;
    int64_t anyPairs = 0;
    for (std::size_t bytes = 0; evidenceEnd < pieces.size() && bytes < kEvidenceBytes; ++evidenceEnd) {
        const std::string_view line = pieces[evidenceEnd];
        EachApostrophe(line, [&](std::size_t pos) {
            if (const int k = pos > 0 ? CaronOf(line[pos - 1]) : -1; k >= 0) {
                ++pairs[std::size_t(k)];
                ++anyPairs;
            }
        });
        bytes += line.size() + 1;
    }
    if (anyPairs < kLeastPairs)
        return 0;
    std::array<int64_t, kCarons.size()> whole{};
    int64_t accented = 0;
    for (std::size_t i = 0; i < evidenceEnd; ++i)
        for (const char c : pieces[i]) {
            const auto byte = uint8_t(c);
            accented += IsAccentedLetter(byte);
            for (std::size_t k = 0; k < kCarons.size(); ++k)
                whole[k] += byte == kCarons[k].letter;
        }
    if (accented < kAccentedPerPair * anyPairs)
        return 0;
    std::array<bool, kCarons.size()> mend{};
    bool any = false;
    for (std::size_t k = 0; k < kCarons.size(); ++k) {
        mend[k] = pairs[k] >= kLeastPairs && whole[k] * kPairsPerLetter <= pairs[k];
        any = any || mend[k];
    }
    if (!any)
        return 0;

    int64_t mended = 0;
    std::string line;
    std::vector<MendedLetter> letters;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string_view piece = pieces[i];
        std::size_t from = 0;
        letters.clear();
        EachApostrophe(piece, [&](std::size_t pos) {
            const int k = pos > 0 ? CaronOf(piece[pos - 1]) : -1;
            if (k < 0 || !mend[std::size_t(k)])
                return;
            if (letters.empty())
                line.clear();
            line.append(piece.substr(from, pos - 1 - from));
            letters.push_back({line.size(), {kCarons[std::size_t(k)].base, char(kApostrophe)}});
            line.push_back(char(kCarons[std::size_t(k)].letter));
            from = pos + 1;
        });
        mended += StoreMendedLine(list, i, line, from, letters, mends);
    }
    return mended;
}

}  // namespace lepotex
