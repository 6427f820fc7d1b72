#pragma once
#include <cstdint>

namespace lepotex {

// Options of the search-and-replace engine. The bit values are those of the stored
// one-byte form (ToFlags / FromFlags).
struct SearchOptions {
    bool backward = false;      // 2: towards the start of the text
    bool matchCase = false;     // 4: upper and lower case differ
    bool global = false;        // 8: the whole text instead of from the caret
    bool replace = false;       // 16: replace one occurrence
    bool replaceAll = false;    // 32: replace every occurrence
    bool wholeWord = false;     // 64: the occurrence must be a whole word
    bool selectedOnly = false;  // 128: only within the selection

    uint8_t ToFlags() const
    {
        return uint8_t((backward ? 2 : 0) | (matchCase ? 4 : 0) | (global ? 8 : 0) | (replace ? 16 : 0) |
                       (replaceAll ? 32 : 0) | (wholeWord ? 64 : 0) | (selectedOnly ? 128 : 0));
    }
    static SearchOptions FromFlags(uint8_t f)
    {
        return SearchOptions{.backward = (f & 2) != 0, .matchCase = (f & 4) != 0, .global = (f & 8) != 0,
                             .replace = (f & 16) != 0, .replaceAll = (f & 32) != 0,
                             .wholeWord = (f & 64) != 0, .selectedOnly = (f & 128) != 0};
    }
    bool operator==(const SearchOptions&) const = default;
};

}  // namespace lepotex
