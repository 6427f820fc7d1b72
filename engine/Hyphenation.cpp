#include "engine/Hyphenation.h"

#include <hyphen.h>
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "editor/Windows1250.h"

// Generated at build time from the system's patterns (EmbedPatterns.cmake).
extern const unsigned char kCzechHyphenPatterns[];
extern const std::size_t kCzechHyphenPatternsSize;

namespace lepotex {


struct Hyphenator::Dictionary {
    HyphenDict* patterns = nullptr;
    ~Dictionary()
    {
        if (patterns)
            hnj_hyphen_free(patterns);
    }
};

namespace {

// The patterns are loaded once for the whole run: a book in the batch mode should not pay for
// reading them again, and the workers may share them (libhyphen only reads them).
std::shared_ptr<Hyphenator::Dictionary> LoadShared()
{
    static const std::shared_ptr<Hyphenator::Dictionary> loaded = [] {
        auto dictionary = std::make_shared<Hyphenator::Dictionary>();
        FILE* file = fmemopen(const_cast<unsigned char*>(kCzechHyphenPatterns), kCzechHyphenPatternsSize, "r");
        if (file) {
            dictionary->patterns = hnj_hyphen_load_file(file);
            std::fclose(file);
        }
        return dictionary->patterns ? dictionary : nullptr;
    }();
    return loaded;
}

}  // namespace

// The inverse of the program's one upper-case table.
const std::array<uint8_t, 256>& LowerCaseTable() noexcept
{
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b)
            t[std::size_t(b)] = uint8_t(b);
        for (int b = 0; b < 256; ++b)
            if (const uint8_t upper = ToUpperByte(uint8_t(b)); upper != b)
                t[upper] = uint8_t(b);
        return t;
    }();
    return table;
}

std::string Lowered(std::string_view word)
{
    const std::array<uint8_t, 256>& lower = LowerCaseTable();
    std::string lowered(word);
    for (char& c : lowered)
        c = char(lower[uint8_t(c)]);
    return lowered;
}

Hyphenator::Hyphenator() : dictionary(LoadShared())
{
    if (dictionary && !dictionary->patterns->utf8) {
        converter = iconv_open(dictionary->patterns->cset, "UTF-8");
        if (converter == reinterpret_cast<void*>(-1))
            dictionary.reset();  // patterns in a charset we cannot write: no break points
    }
}

Hyphenator::~Hyphenator()
{
    if (converter != reinterpret_cast<void*>(-1))
        iconv_close(static_cast<iconv_t>(converter));
}

bool Hyphenator::IsBreakPoint(std::string_view word, std::size_t at, std::size_t after)
{
    if (!dictionary || at < kLettersBeforeBreak || at + std::max(after, kLettersAfterAnyBreak) > word.size())
        return false;
    std::string lower(word);
    for (char& c : lower)
        c = char(ToLowerByte(uint8_t(c)));
    auto cached = cache.find(lower);
    if (cached == cache.end()) {
        // The patterns want the word in their own charset: through Unicode, then iconv.
        const std::string utf8 = Windows1250ToUtf8(lower);
        std::string converted;
        // For each letter, the index of its last byte in `converted`.
        std::vector<std::size_t> letterEnds;
        if (dictionary->patterns->utf8) {
            converted = utf8;
            for (std::size_t i = 0; i < utf8.size(); ++i)
                if (i + 1 == utf8.size() || (uint8_t(utf8[i + 1]) & 0xC0) != 0x80)
                    letterEnds.push_back(i);
        } else {
            converted.resize(utf8.size() * 2 + 8);
            char* in = const_cast<char*>(utf8.data());
            std::size_t inLeft = utf8.size();
            char* out = converted.data();
            std::size_t outLeft = converted.size();
            iconv(static_cast<iconv_t>(converter), nullptr, nullptr, nullptr, nullptr);
            if (iconv(static_cast<iconv_t>(converter), &in, &inLeft, &out, &outLeft) == std::size_t(-1))
                converted.clear();  // a letter the patterns cannot know
            else
                converted.resize(converted.size() - outLeft);
            if (converted.size() == lower.size())
                for (std::size_t i = 0; i < converted.size(); ++i)
                    letterEnds.push_back(i);
            else
                converted.clear();
        }
        std::string points(lower.size(), '0');
        if (!converted.empty()) {
            std::vector<char> hyphens(converted.size() + 5, 0);
            char** rep = nullptr;
            int* pos = nullptr;
            int* cut = nullptr;
            if (hnj_hyphen_hyphenate3(dictionary->patterns, converted.data(), int(converted.size()), hyphens.data(),
                                      nullptr, &rep, &pos, &cut, int(kLettersBeforeBreak), int(kLettersAfterAnyBreak), 1, 1) == 0) {
                for (std::size_t k = 0; k < letterEnds.size() && k < points.size(); ++k)
                    if (hyphens[letterEnds[k]] & 1)
                        points[k] = '1';
            }
            if (rep) {
                for (std::size_t i = 0; i < converted.size(); ++i)
                    std::free(rep[i]);
                std::free(rep);
            }
            std::free(pos);
            std::free(cut);
        }
        cached = cache.emplace(std::move(lower), std::move(points)).first;
    }
    // A break after letter `at` is marked on that letter, the one before the break.
    return cached->second[at - 1] == '1';
}

}  // namespace lepotex
