#pragma once
// Looking for a few byte values at once, sixteen bytes a step. A pass over a book asks this of
// every line, and three library searches a line cost more in their calls than in their
// reading: the lines are some sixty bytes long.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lepotex {

// The first byte in [p, end) that is a, b or c; `end` when there is none. Reads nothing
// outside [p, end).
inline const char* FindAnyOf(const char* p, const char* end, char a, char b, char c) noexcept
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
        if (const int mask = _mm_movemask_epi8(hit))
            return p + __builtin_ctz(unsigned(mask));
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b || *p == c)
            return p;
    return end;
}

// The same, and whether a byte in front of the one found is a tab, CR or LF: `noted` becomes
// true then, and stays so. For the load, which so learns in its one pass over the lines
// whether the later passes need to look for them at all.
inline const char* FindAnyOfNoting(const char* p, const char* end, char a, char b, char c, bool& noted) noexcept
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    // Where the bytes looked for are control bytes too, as a line's end is, a block without
    // any control byte holds none of them nor a tab, CR or LF: one test passes it, and a
    // line's text is such blocks but for its last.
    const bool controlsOnly = uint8_t(a) < 0x20 && uint8_t(b) < 0x20 && uint8_t(c) < 0x20;
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    unsigned seen = 0;
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (controlsOnly && _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v)) == 0)
            continue;
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, va), _mm_cmpeq_epi8(v, vb)), _mm_cmpeq_epi8(v, vc));
        const __m128i control = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, tab), _mm_cmpeq_epi8(v, cr)), _mm_cmpeq_epi8(v, lf));
        const unsigned controls = unsigned(_mm_movemask_epi8(control));
        if (const unsigned mask = unsigned(_mm_movemask_epi8(hit))) {
            const unsigned at = unsigned(__builtin_ctz(mask));
            noted = noted || seen != 0 || (controls & ((1u << at) - 1)) != 0;
            return p + at;
        }
        seen |= controls;
    }
    noted = noted || seen != 0;
#endif
    for (; p < end; ++p) {
        if (*p == a || *p == b || *p == c)
            return p;
        noted = noted || *p == '\t' || *p == '\r' || *p == '\n';
    }
    return end;
}

inline bool HasAnyOf(std::string_view bytes, char a, char b, char c) noexcept
{
    const char* const end = bytes.data() + bytes.size();
    return FindAnyOf(bytes.data(), end, a, b, c) != end;
}

// Whether any byte of [p, end) lies in [low, high] (unsigned).
inline bool HasByteIn(const char* p, const char* end, uint8_t low, uint8_t high) noexcept
{
#if defined(__SSE2__)
    // Shifted so that the range starts at 0: then one unsigned minimum tells.
    const __m128i shift = _mm_set1_epi8(char(low));
    const __m128i top = _mm_set1_epi8(char(high - low));
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), shift);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, top), v)))
            return true;
    }
#endif
    for (; p < end; ++p)
        if (uint8_t(uint8_t(*p) - low) <= uint8_t(high - low))
            return true;
    return false;
}

// Whether `needle` occurs in `text`. Its first and last bytes are looked for together, sixteen
// places a step, and only where both stand is the rest compared: in a book's worth of text,
// as fast as it can be read, where a search from its first byte would stop at every "s".
inline bool Occurs(std::string_view text, std::string_view needle) noexcept
{
    if (needle.empty())
        return true;
    if (needle.size() > text.size())
        return false;
    const char* p = text.data();
    // The last place the needle can start.
    const char* const last = text.data() + (text.size() - needle.size());
    const std::size_t back = needle.size() - 1;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(needle.front());
    const __m128i final = _mm_set1_epi8(needle.back());
    for (; last - p >= 16; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + back));
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, final))));
        for (; mask != 0; mask &= mask - 1)
            if (std::memcmp(p + __builtin_ctz(mask), needle.data(), needle.size()) == 0)
                return true;
    }
#endif
    for (; p <= last; ++p)
        if (*p == needle.front() && std::memcmp(p, needle.data(), needle.size()) == 0)
            return true;
    return false;
}

}  // namespace lepotex
