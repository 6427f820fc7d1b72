#include "engine/LineWidths.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "engine/InHalves.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LEPOTEX_VECTOR_WIDTHS 1
#endif

namespace lepotex {
namespace {

// Characters of one width in any usual roman: a letter and its accented forms, digits,
// kinds of punctuation.
enum : uint8_t {
    kNoClass = 0,
    kLower = 1,         // a .. z
    kUpper = kLower + 26,  // A .. Z
    kDigit = kUpper + 26,
    kStop,        // . ,
    kColon,       // : ; !
    kQuestion,    // ?
    kHyphen,      // -
    kEnDash,
    kEmDash,
    kQuote,       // quotation marks and apostrophes
    kBracket,     // ( ) [ ]
    kOther,
    kClasses
};

// The base letter of each Windows-1250 letter, in lower case; 0 for none.
constexpr std::array<char, 256> kBaseLetters = [] {
    std::array<char, 256> base{};
    for (int b = 'a'; b <= 'z'; ++b)
        base[std::size_t(b)] = base[std::size_t(b - 'a' + 'A')] = char(b);
    // 0xC0 .. 0xDE and their lower-case forms 0x20 higher: Ŕ Á Â Ă Ä Ĺ Ć Ç Č É Ę Ë Ě Í Î Ď Đ Ń Ň Ó
    // Ô Ő Ö × Ř Ů Ú Ű Ü Ý Ţ.
    constexpr std::string_view kHigh = "raaaalccceeeeiiddnnoooo*ruuuuyt";
    for (std::size_t k = 0; k < kHigh.size(); ++k)
        if (kHigh[k] != '*')
            base[0xC0 + k] = base[0xE0 + k] = kHigh[k];
    base[0xDF] = 's';  // ß
    for (const auto& [byte, letter] : {std::pair{0x8A, 's'}, {0x8C, 's'}, {0x8D, 't'}, {0x8E, 'z'}, {0x8F, 'z'},
                                       {0x9A, 's'}, {0x9C, 's'}, {0x9D, 't'}, {0x9E, 'z'}, {0x9F, 'z'},
                                       {0xA3, 'l'}, {0xA5, 'a'}, {0xAA, 's'}, {0xAF, 'z'}, {0xB3, 'l'},
                                       {0xB9, 'a'}, {0xBA, 's'}, {0xBC, 'l'}, {0xBE, 'l'}, {0xBF, 'z'}})
        base[std::size_t(byte)] = letter;
    return base;
}();

constexpr std::array<uint8_t, 256> kClassOf = [] {
    std::array<uint8_t, 256> classes{};
    for (int b = 0x21; b < 256; ++b)
        classes[std::size_t(b)] = kOther;
    for (int b = 0; b < 256; ++b) {
        const char letter = kBaseLetters[std::size_t(b)];
        if (letter == 0)
            continue;
        const bool upper = (b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE) ||
                           b == 0x8A || b == 0x8C || b == 0x8D || b == 0x8E || b == 0x8F || b == 0xA3 ||
                           b == 0xA5 || b == 0xAA || b == 0xAF || b == 0xBC;
        classes[std::size_t(b)] = uint8_t((upper ? kUpper : kLower) + (letter - 'a'));
    }
    for (int b = '0'; b <= '9'; ++b)
        classes[std::size_t(b)] = kDigit;
    for (const auto& [byte, c] :
         {std::pair{'.', kStop}, {',', kStop}, {':', kColon}, {';', kColon}, {'!', kColon}, {'?', kQuestion},
          {'-', kHyphen}, {'\x96', kEnDash}, {'\x97', kEmDash}, {'\x84', kQuote}, {'\x93', kQuote},
          {'\x94', kQuote}, {'\x82', kQuote}, {'\x91', kQuote}, {'\x92', kQuote}, {'\'', kQuote}, {'"', kQuote},
          {'\x8B', kQuote}, {'\x9B', kQuote}, {'\xAB', kQuote}, {'\xBB', kQuote}, {'(', kBracket}, {')', kBracket},
          {'[', kBracket}, {']', kBracket}})
        classes[uint8_t(byte)] = uint8_t(c);
    return classes;
}();

// What a usual book face starts from, in thousandths of its size: the learning moves the
// widths a book uses often, the rare ones keep these.
constexpr std::array<float, kClasses + 1> kPrior = [] {
    std::array<float, kClasses + 1> w{};
    constexpr std::array<float, 26> lower = {500, 556, 444, 556, 444, 306, 500, 556, 278, 306, 528, 278, 833,
                                             556, 500, 556, 528, 392, 394, 389, 556, 528, 722, 528, 528, 444};
    constexpr std::array<float, 26> upper = {750, 708, 722, 764, 681, 653, 785, 750, 361, 514, 778, 625, 917,
                                             750, 778, 681, 778, 736, 556, 722, 750, 750, 1028, 750, 750, 611};
    for (std::size_t k = 0; k < 26; ++k) {
        w[kLower + k] = lower[k];
        w[kUpper + k] = upper[k];
    }
    w[kDigit] = 500;
    w[kStop] = w[kColon] = 278;
    w[kQuestion] = 472;
    w[kHyphen] = 333;
    w[kEnDash] = 500;
    w[kEmDash] = 1000;
    w[kQuote] = 500;
    w[kBracket] = 389;
    w[kOther] = 500;
    w[kClasses] = 333;  // the space
    return w;
}();

// The least squares are set up from this many lines at most: a book's face shows itself in a
// few chapters.
constexpr std::size_t kLearningLines = 4'000;
// How many lines of evidence the face's usual width of a character weighs.
constexpr double kPriorWeight = 30;
// Room beyond the next word that no full line leaves, in parts of the measure.
constexpr float kSureEnd = 0.15f;
// How far first lines must leave more room than the others, in spreads, to show an indent.
constexpr double kIndentShown = 0.8;
// A book of fewer lines learns the odds of its breaks after its first lines, on one thread.
constexpr std::size_t kBesideLines = std::size_t(1) << 15;
// The looks of a book's breaks are counted over at most twice this many of its lines.
constexpr std::size_t kOddsLines = std::size_t(1) << 16;

// The characters of a line, counted per class, and its gaps.
struct Counts {
    std::array<uint16_t, kClasses + 1> n{};
    uint16_t gaps = 0;
    uint64_t present = 0;  // a bit for each class the line holds
};
static_assert(kClasses <= 64);

void Count(std::string_view text, Counts& counts)
{
    bool inGap = false;
    for (const char c : text) {
        const uint8_t byte = uint8_t(c);
        if (byte == ' ') {
            counts.gaps += inGap ? 0 : 1;
            inGap = true;
            continue;
        }
        inGap = false;
        ++counts.n[kClassOf[byte]];
        counts.present |= uint64_t(1) << kClassOf[byte];
    }
    counts.present &= ~uint64_t(1);  // no class
}

// Widths in whole parts of the measure: a sum of integers is one step per byte.
constexpr double kUnitsPerMeasure = double(1 << 20);

// Each byte's width, and a space counted above kSpaceBit where it starts a gap: one sum gives
// both. The table is looked up by a byte and the one before it, two bytes read at once, so a
// gap of several spaces counts once without a second look at the line and a byte costs no
// more than its lookup.
constexpr int kSpaceBit = 40;
using ByteWidths = std::array<uint64_t, 256>;

class PairWidths {
public:
    explicit PairWidths(const ByteWidths& widths) : pairs(std::size_t(1) << 16)
    {
        for (std::size_t before = 0; before < 256; ++before)
            for (std::size_t byte = 0; byte < 256; ++byte)
                pairs[Index(uint8_t(before), uint8_t(byte))] = before == ' ' && byte == ' ' ? 0 : widths[byte];
    }
    // The bytes from `from` to `to`, each after the one before it (which must be there).
    uint64_t Sum(const uint8_t* from, const uint8_t* to) const
    {
        uint64_t sums[4] = {};
        for (; to - from >= 4; from += 4)
            for (int k = 0; k < 4; ++k)
                sums[k] += pairs[Pair(from + k - 1)];
        for (; from < to; ++from)
            sums[0] += pairs[Pair(from - 1)];
        return sums[0] + sums[1] + sums[2] + sums[3];
    }

private:
    static std::size_t Index(uint8_t before, uint8_t byte)
    {
        return std::endian::native == std::endian::little ? before | std::size_t(byte) << 8
                                                          : std::size_t(before) << 8 | byte;
    }
    static uint16_t Pair(const uint8_t* at)
    {
        uint16_t pair;
        std::memcpy(&pair, at, 2);
        return pair;
    }
    std::vector<uint64_t> pairs;
};

// The same sums from a table of each byte after a space and after anything else: slower per
// byte than the pairs, which a short book does not repay the building of (half a megabyte,
// fresh for every book of a batch).
class SpaceAfterWidths {
public:
    explicit SpaceAfterWidths(const ByteWidths& widths)
    {
        for (std::size_t byte = 0; byte < 256; ++byte) {
            table[byte] = widths[byte];
            table[256 + byte] = byte == ' ' ? 0 : widths[byte];
        }
    }
    // The bytes from `from` to `to`, each after the one before it (which must be there).
    uint64_t Sum(const uint8_t* from, const uint8_t* to) const
    {
        uint64_t sums[4] = {};
        for (; to - from >= 4; from += 4)
            for (int k = 0; k < 4; ++k)
                sums[k] += table[Index(from + k)];
        for (; from < to; ++from)
            sums[0] += table[Index(from)];
        return sums[0] + sums[1] + sums[2] + sums[3];
    }

private:
    static std::size_t Index(const uint8_t* at) { return *at | std::size_t(at[-1] == ' ') << 8; }
    std::array<uint64_t, 512> table{};
};

#ifdef LEPOTEX_VECTOR_WIDTHS
// The same sums 64 bytes at a time, on processors that look a byte up in a table of 128 in one
// step (AVX-512 VBMI): each byte's width split into three bytes, each summed on its own, and
// the gaps counted from a mask of the spaces. A line costs a few dozen instructions, where the
// pairs take two lookups a byte.
class VectorWidths {
public:
    explicit VectorWidths(const ByteWidths& widths)
    {
        for (std::size_t byte = 0; byte < 256; ++byte)
            for (std::size_t plane = 0; plane < 3; ++plane)
                planes[plane][byte] = uint8_t(widths[byte] >> (8 * plane));
    }
    static bool Available()
    {
        static const bool available = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                      __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("popcnt");
        return available;
    }
    // For each line of [from, to) that text(i) gives bytes of (its pointer, its size, and where
    // its head ends: at least 1, at most the size), store(i, head, all) with the sums PairWidths
    // makes of the head and of the whole, the byte before the line taken for no space.
    template <typename Text, typename Store>
    __attribute__((target("avx512f,avx512bw,avx512vbmi,popcnt"))) void Sum(std::size_t from, std::size_t to,
                                                                            Text&& text, Store&& store) const
    {
        __m512i table[3][4];
        for (std::size_t plane = 0; plane < 3; ++plane)
            for (std::size_t quarter = 0; quarter < 4; ++quarter)
                table[plane][quarter] = _mm512_loadu_si512(planes[plane].data() + 64 * quarter);
        const __m512i spaces = _mm512_set1_epi8(' ');
        const __m512i zero = _mm512_setzero_si512();
        for (std::size_t i = from; i < to; ++i) {
            const uint8_t* begin = nullptr;
            std::size_t size = 0;
            std::size_t split = 0;
            if (!text(i, begin, size, split))
                continue;
            __m512i sums[3] = {zero, zero, zero};
            __m512i headSums[3] = {zero, zero, zero};
            uint64_t gaps = 0;
            uint64_t headGaps = 0;
            uint64_t before = 0;  // the last byte of the 64 before was a space
            for (std::size_t at = 0; at < size; at += 64) {
                const std::size_t left = size - at;
                const __mmask64 valid = left >= 64 ? ~__mmask64(0) : (__mmask64(1) << left) - 1;
                const __m512i bytes = _mm512_maskz_loadu_epi8(valid, begin + at);
                const __mmask64 high = _mm512_movepi8_mask(bytes);
                const __mmask64 space = _mm512_cmpeq_epi8_mask(bytes, spaces);
                const __mmask64 gapStarts = space & ~((space << 1) | before);
                before = space >> 63;
                const __mmask64 head =
                    split <= at ? 0 : split - at >= 64 ? ~__mmask64(0) : (__mmask64(1) << (split - at)) - 1;
                for (std::size_t plane = 0; plane < 3; ++plane) {
                    const __m512i low = _mm512_permutex2var_epi8(table[plane][0], bytes, table[plane][1]);
                    const __m512i upper = _mm512_permutex2var_epi8(table[plane][2], bytes, table[plane][3]);
                    const __m512i width = _mm512_mask_blend_epi8(high, low, upper);
                    sums[plane] = _mm512_add_epi64(sums[plane], _mm512_sad_epu8(width, zero));
                    if (head != 0)
                        headSums[plane] =
                            _mm512_add_epi64(headSums[plane], _mm512_sad_epu8(_mm512_maskz_mov_epi8(head, width), zero));
                }
                gaps += uint64_t(_mm_popcnt_u64(gapStarts));
                headGaps += uint64_t(_mm_popcnt_u64(gapStarts & head));
            }
            store(i, Total(headSums, headGaps), Total(sums, gaps));
        }
    }

private:
    __attribute__((target("avx512f"))) static uint64_t Total(const __m512i (&planes)[3], uint64_t gaps)
    {
        // (The compiler's own vector arithmetic: its shift intrinsics warn of an undefined operand.)
        using Lanes = uint64_t __attribute__((vector_size(64)));
        Lanes sum = Lanes(planes[0]) + (Lanes(planes[1]) << 8) + (Lanes(planes[2]) << 16);
        sum += __builtin_shufflevector(sum, sum, 4, 5, 6, 7, 0, 1, 2, 3);
        sum += __builtin_shufflevector(sum, sum, 2, 3, 0, 1, 6, 7, 4, 5);
        sum += __builtin_shufflevector(sum, sum, 1, 0, 3, 2, 5, 4, 7, 6);
        return sum[0] + (gaps << kSpaceBit);
    }

    std::array<std::array<uint8_t, 256>, 3> planes{};
};
#endif

// Solves the symmetric positive definite system in place (Cholesky); false if it is not one.
template <std::size_t N>
bool Solve(std::array<std::array<double, N>, N>& a, std::array<double, N>& b)
{
    for (std::size_t j = 0; j < N; ++j) {
        double d = a[j][j];
        for (std::size_t k = 0; k < j; ++k)
            d -= a[j][k] * a[j][k];
        if (d <= 0)
            return false;
        a[j][j] = std::sqrt(d);
        for (std::size_t i = j + 1; i < N; ++i) {
            double s = a[i][j];
            for (std::size_t k = 0; k < j; ++k)
                s -= a[i][k] * a[j][k];
            a[i][j] = s / a[j][j];
        }
    }
    for (std::size_t i = 0; i < N; ++i) {
        double s = b[i];
        for (std::size_t k = 0; k < i; ++k)
            s -= a[i][k] * b[k];
        b[i] = s / a[i][i];
    }
    for (std::size_t i = N; i-- > 0;) {
        double s = b[i];
        for (std::size_t k = i + 1; k < N; ++k)
            s -= a[k][i] * b[k];
        b[i] = s / a[i][i];
    }
    return true;
}

bool StartsLowercase(uint8_t byte)
{
    const uint8_t c = kClassOf[byte];
    return c >= kLower && c < kUpper;
}

double Quantile(std::vector<float> values, double share)
{
    const auto at = std::ptrdiff_t(share * double(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + at, values.end());
    return values[std::size_t(at)];
}

}  // namespace

const std::array<WidthModel::UpperEnd, 256> WidthModel::kEndOfLast = [] {
    std::array<UpperEnd, 256> ends;
    ends.fill(kWord);
    for (const int byte : {0x93, 0x94, int('"'), 0xBB, 0xAB, 0x92})
        ends[std::size_t(byte)] = kQuoted;
    ends['.'] = kStop;
    ends['!'] = kExclamation;
    ends['?'] = kQuestion;
    ends[':'] = kColon;
    ends[','] = ends[';'] = kPause;
    ends[0x96] = ends[0x97] = kEndDash;
    return ends;
}();

const std::array<WidthModel::LowerStart, 256> WidthModel::kStartOfFirst = [] {
    std::array<LowerStart, 256> starts;
    for (std::size_t c = 0; c < 256; ++c) {
        const uint8_t k = kClassOf[c];
        starts[c] = (k >= kUpper && k < kDigit) || k == kDigit ? kCapital : k >= kLower && k < kUpper ? kSmall : kOtherStart;
    }
    for (const int byte : {0x84, int('"'), 0xBB, 0xAB, 0x82})
        starts[std::size_t(byte)] = kQuote;
    starts[0x96] = starts[0x97] = kDash;
    return starts;
}();

float WidthModel::RaggedShort(float room) const
{
    const float noise = kRaggedNoise * space;
    return room < 0 ? -0.5f * (room / noise) * (room / noise) : 0.0f;
}

float WidthModel::RaggedRoom(float room, float next) const
{
    const float limit = std::max(next, kRaggedNoise * space);
    const float share = (room / limit - kShareFrom) / kShareStep;
    // Beyond what the full lines showed, the lines broken early leave anything of the rest of
    // the measure.
    const float early = std::log(earlyBreaks / std::max(1.0f - limit, 0.1f));
    if (share < 0 || share >= float(kShareSteps))
        return room > limit ? early : logShare[0] - std::log(limit);
    return std::max(logShare[std::size_t(share)] - std::log(limit), room > limit ? early : -1e9f);
}

float WidthModel::FirstLineOdds(float room, float measures) const
{
    const auto density = [&](float r) {
        return roomDensity[std::size_t(std::clamp(int((r - kRoomFrom) / kRoomStep), 0, kRoomSteps - 1))];
    };
    // Lines run together leave the rooms of all of them: their sum spreads as many times wider
    // as the square root of their number says, and the indent counts once.
    const float scale = measures > 1 ? std::sqrt(measures) : 1.0f;
    const float usual = fullCentre + (room - measures * fullCentre) / scale;
    return std::log(density(usual - firstLine / scale) / density(usual));
}

void WidthModel::WeighLooks(const LookCounts& ends, const LookCounts& goesOn, double base)
{
    constexpr double kLooks = double(kUpperEnds) * double(kLowerStarts);
    constexpr double kPseudo = 0.5;
    double endCount = 0;
    double onCount = 0;
    for (int e = 0; e < kUpperEnds; ++e)
        for (int s = 0; s < kLowerStarts; ++s) {
            endCount += ends[e][s];
            onCount += goesOn[e][s];
        }
    for (int e = 0; e < kUpperEnds; ++e)
        for (int s = 0; s < kLowerStarts; ++s)
            endOdds[e][s] = float(base + std::log((ends[e][s] + kPseudo) / (endCount + kPseudo * kLooks)) -
                                  std::log((goesOn[e][s] + kPseudo) / (onCount + kPseudo * kLooks)));
}

namespace {

// The odds of each look of a break, from the breaks the widths decide surely: a paragraph
// ended where the line left room for the next word and more; it went on where the line's
// spaces shrank. Each look counts for itself against how the book's breaks go as a whole.
// Read on the way: the rooms of the first lines of paragraphs that surely ended above (their
// last line left room for the next word and more) or after a blank line, where the line goes
// on below, into `firstRooms`.
void LearnEndOdds(const Layout& layout, WidthModel& model, std::vector<float>& firstRooms)
{
    const std::size_t n = layout.roles.size();
    // What the breaks of lines [from, to) show, each break with the text line above it.
    struct alignas(64) Counts {  // (each half's on cache lines of its own)
        double ends[WidthModel::kUpperEnds][WidthModel::kLowerStarts] = {};
        double goesOn[WidthModel::kUpperEnds][WidthModel::kLowerStarts] = {};
        double endCount = 0;
        double breaks = 0;
        double nextSum = 0;
        float leastNext = std::numeric_limits<float>::infinity();
        bool readFirstLines = true;
        std::vector<float> firstRooms;
        bool outOfMemory = false;  // for them: a pass in halves must not throw
    };
    const auto count = [&](Counts& c, std::size_t from, std::size_t to) {
        // The text line above the first, unless a blank line stands between.
        const TextLineAbove above = TextLineBefore(layout.roles, from);
        std::size_t previous = above.line == SIZE_MAX || above.blankBetween ? n : above.line;
        for (std::size_t i = from; i < to; ++i) {
            const LineRole role = layout.roles[i];
            if (role == LineRole::Blank)
                previous = n;
            if (role != LineRole::Text)
                continue;
            const LineShape& low = layout.shapes[i];
            if (c.readFirstLines && i >= 1 && i + 1 < n && layout.roles[i + 1] == LineRole::Text &&
                !StartsLowercase(low.first)) {
                const std::size_t above = i - 1;
                const bool ended = layout.roles[above] == LineRole::Blank ||
                                   (layout.roles[above] == LineRole::Text && layout.shapes[above].last != '-' &&
                                    model.Slack(above) - model.lines[i].firstWord - model.space > kSureEnd);
                // A lower line going on in lower case says the line is no last one; its room is not
                // asked, since an upper bound on it would cut off the first lines that left the most.
                const bool goesOn = StartsLowercase(layout.shapes[i + 1].first) || low.last == '-';
                if (ended && goesOn) {
                    try {
                        c.firstRooms.push_back(model.Slack(i));
                    } catch (const std::bad_alloc&) {
                        c.outOfMemory = true;
                        c.readFirstLines = false;
                    }
                }
            }
            if (previous < n && layout.shapes[previous].last != '-' &&
                !(layout.mark == ParagraphMark::Indent && low.Indent() > 0)) {
                const float room = model.Slack(previous);
                const WidthModel::UpperEnd end = WidthModel::EndOf(layout.shapes[previous]);
                const WidthModel::LowerStart start = WidthModel::StartOf(low);
                ++c.breaks;
                const float next = model.lines[i].firstWord + model.space;
                c.nextSum += next;
                c.leastNext = std::min(c.leastNext, next);
                if (room - model.lines[i].firstWord - model.space > kSureEnd) {
                    ++c.ends[end][start];
                    ++c.endCount;
                } else if (room < model.fullCentre - 0.5f * model.fullSpread) {
                    ++c.goesOn[end][start];
                }
            }
            previous = i;
        }
    };
    // A long book's lines in two halves, on two cores, added up after; a book longer than
    // twice kOddsLines shows its looks in that many lines from the start of each half, and the
    // rest would only count the same again. The counts come out the same in any order; so does
    // the sum of the next words' widths, where every partial sum is a double without rounding:
    // the words no narrower than 2^-7 of the measure (a float's last bit then 2^-30 or more)
    // and the sum below 2^21. Otherwise it is added up again in one pass over the same lines.
    const std::size_t mid = n / 2;
    const std::size_t firstTo = std::min(mid, kOddsLines);
    const std::size_t secondTo = std::min(n, mid + kOddsLines);
    Counts first, second;
    SideBySide(
        n >= kWorthASecondThread, [&] { count(first, 0, firstTo); }, [&] { count(second, mid, secondTo); });
    double(&ends)[WidthModel::kUpperEnds][WidthModel::kLowerStarts] = first.ends;
    double(&goesOn)[WidthModel::kUpperEnds][WidthModel::kLowerStarts] = first.goesOn;
    for (int e = 0; e < WidthModel::kUpperEnds; ++e)
        for (int s = 0; s < WidthModel::kLowerStarts; ++s) {
            ends[e][s] += second.ends[e][s];
            goesOn[e][s] += second.goesOn[e][s];
        }
    const double endCount = first.endCount + second.endCount;
    const double breaks = first.breaks + second.breaks;
    double nextSum = first.nextSum + second.nextSum;
    constexpr float kExactFrom = 1.0f / 128;
    if (first.outOfMemory || second.outOfMemory)
        throw std::bad_alloc();
    firstRooms = std::move(first.firstRooms);
    firstRooms.insert(firstRooms.end(), second.firstRooms.begin(), second.firstRooms.end());
    if (second.breaks > 0 && (std::min(first.leastNext, second.leastNext) < kExactFrom || nextSum >= double(1 << 21))) {
        Counts whole;
        whole.readFirstLines = false;
        if (firstTo == mid && secondTo == n) {
            count(whole, 0, n);
        } else {
            count(whole, 0, firstTo);
            count(whole, mid, secondTo);
        }
        nextSum = whole.nextSum;
    }
    if (breaks == 0)
        return;
    // A last line's room is anything up to all of the measure: those that left room for the
    // next word and more are the share of all ends the rest leaves.
    const double share = std::clamp(1.0 - kSureEnd - nextSum / breaks, 0.3, 1.0);
    const double allEnds = std::min(endCount / share, 0.9 * breaks);
    model.WeighLooks(ends, goesOn, std::log((allEnds + 1) / (breaks - allEnds + 1)));
}

}  // namespace

namespace {

constexpr std::size_t K = kClasses + 1;  // the classes but none, and the space

// The width of each class, in parts of the measure, from the lines `inside` paragraphs it
// finds; false when too few lines tell or the fit came out unsound.
bool FitWidths(std::span<const std::string_view> lines, const Layout& layout, std::vector<uint32_t>& inside,
               std::array<double, K>& widths)
{
    const LineShapes& shapes = layout.shapes;
    const LineRoles& roles = layout.roles;
    // Lines that surely stand inside a paragraph: they go on from the line above, which ran to
    // its end, and go on in the line below. Their spaces filled the measure.
    const std::size_t n = lines.size();
    for (std::size_t i = 1; i + 1 < n && inside.size() < kLearningLines; ++i) {
        if (roles[i] != LineRole::Text || roles[i - 1] != LineRole::Text || roles[i + 1] != LineRole::Text)
            continue;
        const LineShape& s = shapes[i];
        const uint8_t above = shapes[i - 1].last;
        const bool fromAbove = IsLetterByte(above) || above == ',' || above == '-';
        const bool below = StartsLowercase(shapes[i + 1].first) || (s.last == '-' && IsLetterByte(s.beforeLast));
        if (fromAbove && below && s.length - s.lead >= 20 &&
            !std::ranges::binary_search(layout.fullLines, uint32_t(i)))
            inside.push_back(uint32_t(i));
    }
    if (inside.size() < 50)
        return false;

    std::vector<Counts> counts(inside.size());
    std::vector<double> natural(inside.size());
    for (std::size_t k = 0; k < inside.size(); ++k) {
        Count(shapes[inside[k]].Trimmed(lines[inside[k]]), counts[k]);
        double w = kPrior[K - 1] * counts[k].gaps;
        for (uint64_t bits = counts[k].present; bits != 0; bits &= bits - 1) {
            const auto c = std::size_t(std::countr_zero(bits));
            w += kPrior[c] * counts[k].n[c];
        }
        natural[k] = w;
    }
    std::vector<double> sorted = natural;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2), sorted.end());
    const double scale = sorted[sorted.size() / 2];  // the measure in the face's units, roughly

    widths = {};
    for (std::size_t c = 1; c < kClasses; ++c)
        widths[c] = kPrior[c] / scale;
    widths[K - 1] = kPrior[kClasses] / scale;
    std::vector<double> target(inside.size());
    for (std::size_t k = 0; k < inside.size(); ++k)
        target[k] = WidthModel::Lines(float(natural[k] / scale));
    const auto predicted = [&](const Counts& cn) {
        double w = widths[K - 1] * cn.gaps;
        for (std::size_t c = 1; c < kClasses; ++c)
            w += widths[c] * cn.n[c];
        return w;
    };
    // The normal equations of the fit hold counts times counts and counts times whole measures:
    // integers, so that their sums are exact in any order. Only the lower half is kept, all that
    // Solve reads of the symmetric matrix.
    struct Sums {
        std::array<std::array<double, K>, K> a{};
        std::array<double, K> b{};
    };
    const auto add = [&](Sums& sums, std::size_t k, double sign) {
        std::array<double, K> x;
        std::array<uint8_t, K> present;
        std::size_t m = 0;
        for (uint64_t bits = counts[k].present; bits != 0; bits &= bits - 1) {
            const auto c = std::size_t(std::countr_zero(bits));
            present[m] = uint8_t(c);
            x[m++] = counts[k].n[c];
        }
        present[m] = uint8_t(K - 1);
        x[m++] = counts[k].gaps;
        for (std::size_t p = 0; p < m; ++p) {
            const double xp = sign * x[p];
            sums.b[present[p]] += xp * target[k];
            for (std::size_t q = 0; q <= p; ++q)
                sums.a[present[p]][present[q]] += xp * x[q];
        }
    };
    Sums all;
    for (std::size_t k = 0; k < inside.size(); ++k)
        add(all, k, 1);
    // Twice: the second time without the lines the first fit explains worst (a page number
    // glued to a line, a word set in another face), taken out of the first time's sums.
    for (int round = 0; round < 2; ++round) {
        if (round == 1) {
            std::vector<float> misfit;
            for (std::size_t k = 0; k < inside.size(); ++k)
                misfit.push_back(float(std::abs(target[k] - predicted(counts[k]))));
            const double limit = 4 * Quantile(misfit, 0.5) + 1e-6;
            for (std::size_t k = 0; k < inside.size(); ++k)
                if (!(misfit[k] <= limit))
                    add(all, k, -1);
        }
        auto [a, b] = all;
        a[0][0] = 1;  // no class 0
        for (std::size_t c = 1; c < K; ++c) {
            const double prior = (c == K - 1 ? kPrior[kClasses] : kPrior[c]) / scale;
            a[c][c] += kPriorWeight;
            b[c] += kPriorWeight * prior;
        }
        if (!Solve(a, b))
            return false;
        for (std::size_t c = 1; c < K; ++c)
            widths[c] = b[c];
    }
    return widths[K - 1] > 0 && std::ranges::all_of(widths, [](double w) { return std::isfinite(w); });
}

// Whether the lines are set ragged right, and if so the room the fit took from each: it made
// the lines inside paragraphs fill the measure, where ragged ones leave it anything up to the
// next line's first word. That room grows with the next word by half of it on average in
// ragged lines, and falls to nothing before a word of no width; in justified lines it hardly
// grows (spaces stretch a line instead), and the fit leaves it all. On the books we tried, the
// room grew by 0.34 of the next word or more in ragged lines, by 0.15 at most in justified
// ones (OCR's pages among them); followed back to a next word of no width, it fell 2.9 spaces
// or more short of the measure the fit took in ragged lines, 1.3 at most in justified ones.
// `room(line)` and `next(line)`: what the line leaves of the measure, and the width of the next
// line's first word with a space, in parts of the measure.
template <typename Room, typename Next>
float RaggedShift(std::span<const uint32_t> inside, float space, Room room, Next next)
{
    constexpr double kGrowth = 0.3;
    constexpr double kShortfall = 2.0;  // in spaces
    std::vector<float> rooms;
    for (const uint32_t line : inside)
        rooms.push_back(room(line));
    // Without the lines the widths miss (run together, a page number on them).
    const double from = Quantile(rooms, 0.02);
    const double to = Quantile(rooms, 0.98);
    double m = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t k = 0; k < inside.size(); ++k) {
        const double y = rooms[k];
        if (y < from || y > to)
            continue;
        const double x = next(inside[k]);
        ++m;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    if (m == 0)
        return 0;
    const double variance = sxx / m - (sx / m) * (sx / m);
    if (variance <= 0)
        return 0;
    const double slope = (sxy / m - (sx / m) * (sy / m)) / variance;
    const double atNone = sy / m - slope * (sx / m);
    if (slope < kGrowth || -atNone < kShortfall * space)
        return 0;
    return float(-atNone);
}

}  // namespace

void WeighLooksByWords(std::span<const std::string_view> lines, const Layout& layout, WidthModel& model)
{
    // A few pages pasted in show their looks too: a handful of sure ends against every gap
    // between their words, each look's count tempered by the pseudo-counts. Without them every
    // full line would run on, a line of dialogue ending a sentence before „ too.
    constexpr double kLeastEnds = 8;
    // A long book shows its looks in its first lines.
    constexpr std::size_t kLines = 40'000;
    const LineShapes& shapes = layout.shapes;
    const auto width = double(layout.width);
    WidthModel::LookCounts ends{};
    WidthModel::LookCounts within{};
    double endCount = 0;
    double fullBreaks = 0;
    double fitting = 0;  // the next word's share of the width, summed over the ends
    std::size_t previous = SIZE_MAX;
    for (std::size_t i = 0; i < shapes.size() && i < kLines; ++i) {
        if (layout.roles[i] != LineRole::Text) {
            previous = layout.roles[i] == LineRole::Blank ? SIZE_MAX : previous;
            continue;
        }
        const LineShape& low = shapes[i];
        if (previous != SIZE_MAX && shapes[previous].last != '-' && low.firstWord > 0) {
            if (NextWordFits(shapes[previous], low, layout.width)) {
                ++ends[WidthModel::EndOf(shapes[previous])][WidthModel::StartOf(low)];
                ++endCount;
                fitting += double(low.firstWord + 1) / width;
            } else {
                ++fullBreaks;
            }
        }
        previous = i;
        // Every gap between two words of the line, as it would look broken there.
        const std::string_view text = low.Trimmed(lines[i]);
        LineShape upper;
        for (std::size_t k = 1; k + 1 < text.size(); ++k) {
            if (text[k] != ' ' || text[k - 1] == ' ' || text[k + 1] == ' ')
                continue;
            upper.last = uint8_t(text[k - 1]);
            upper.beforeLast = k >= 2 ? uint8_t(text[k - 2]) : 0;
            LineShape lower;
            lower.first = uint8_t(text[k + 1]);
            ++within[WidthModel::EndOf(upper)][WidthModel::StartOf(lower)];
        }
    }
    if (endCount < kLeastEnds || fullBreaks < kLeastEnds)
        return;
    // A last line is full about as often as the next word is long against the width: so many
    // ends stand among the full lines, against the lines that go on.
    const double share = std::clamp(fitting / endCount, 0.02, 0.3);
    const double fullEnds = std::min(endCount * share / (1 - share), 0.5 * fullBreaks);
    model.WeighLooks(ends, within, std::log(fullEnds / (fullBreaks - fullEnds)));
    model.looksByWords = true;
}

bool LinesMeasurable(std::span<const std::string_view> lines, const Layout& layout)
{
    std::vector<uint32_t> inside;
    std::array<double, K> widths;
    return FitWidths(lines, layout, inside, widths);
}

bool LinesRagged(std::span<const std::string_view> lines, const Layout& layout)
{
    std::vector<uint32_t> inside;
    std::array<double, K> widths;
    if (!FitWidths(lines, layout, inside, widths))
        return false;
    // Only the lines the test reads, each on its own: a few thousand.
    const auto width = [&](std::string_view text, Counts& counts) {
        counts = {};
        Count(text, counts);
        double w = 0;
        for (std::size_t c = 1; c < kClasses; ++c)
            w += widths[c] * counts.n[c];
        return w;
    };
    const auto space = float(widths[K - 1]);
    Counts counts;
    return RaggedShift(
               inside, space,
               [&](uint32_t line) {
                   const double glyphs = width(layout.shapes[line].Trimmed(lines[line]), counts);
                   return WidthModel::SlackOf(float(glyphs), counts.gaps, space);
               },
               [&](uint32_t line) {
                   const std::string_view text = layout.shapes[line + 1].Trimmed(lines[line + 1]);
                   return float(width(text.substr(0, layout.shapes[line + 1].firstWord), counts)) + space;
               }) > 0;
}

WidthModel MeasureLines(std::span<const std::string_view> lines, const Layout& layout, LineWidthList&& ready)
{
    const LineShapes& shapes = layout.shapes;
    const LineRoles& roles = layout.roles;
    const std::size_t n = lines.size();
    std::vector<uint32_t> inside;
    std::array<double, K> widths;
    WidthModel model;
    if (!FitWidths(lines, layout, inside, widths))
        return model;

    ByteWidths byteWidths{};
    for (std::size_t b = 0; b < 256; ++b)
        if (kClassOf[b] != kNoClass)
            byteWidths[b] = uint64_t(std::lround(std::clamp(widths[kClassOf[b]], 0.0, 1.0) * kUnitsPerMeasure));
    byteWidths[' '] = uint64_t(1) << kSpaceBit;
    constexpr uint64_t kWidthMask = (uint64_t(1) << kSpaceBit) - 1;
    model.space = float(widths[K - 1]);
    // A line without characters leaves all the measure: written where the lines are measured,
    // into a list made ready.
    const LineWidth none{WidthModel::SlackOf(0, 0, model.space), 0};
    const bool prepared = ready.size() == n;
    if (prepared)
        model.lines = std::move(ready);
    else
        model.lines.assign(n, none);
    // The bytes of line i to measure, and where its head (its first word) ends.
    const auto text = [&](std::size_t i, const uint8_t*& begin, std::size_t& size, std::size_t& split) {
        const std::string_view trimmed = shapes[i].Trimmed(lines[i]);
        if (roles[i] != LineRole::Text || trimmed.empty()) {
            if (prepared)
                model.lines[i] = none;
            return false;
        }
        begin = reinterpret_cast<const uint8_t*>(trimmed.data());
        size = trimmed.size();
        split = std::max<std::size_t>(std::min<std::size_t>(shapes[i].firstWord, size), 1);
        return true;
    };
    const auto store = [&](std::size_t i, uint64_t head, uint64_t all) {
        const uint64_t first = shapes[i].firstWord == 0 ? 0 : head;
        const float glyphs = float(double(all & kWidthMask) / kUnitsPerMeasure);
        const auto gaps = uint16_t(std::min<uint64_t>(all >> kSpaceBit, 65535));
        model.lines[i] = {WidthModel::SlackOf(glyphs, gaps, model.space),
                          // (a first word tied to the next one holds its space)
                          float(double(first & kWidthMask) / kUnitsPerMeasure) +
                              float(first >> kSpaceBit) * model.space};
    };
    const auto measure = [&](const auto& sums) {
        InHalves(n, [&](std::size_t from, std::size_t to) {
            for (std::size_t i = from; i < to; ++i) {
                const uint8_t* begin = nullptr;
                std::size_t size = 0;
                std::size_t split = 0;
                if (!text(i, begin, size, split))
                    continue;
                const uint64_t head = byteWidths[*begin] + sums.Sum(begin + 1, begin + split);
                store(i, head, head + sums.Sum(begin + split, begin + size));
            }
        });
    };
#ifdef LEPOTEX_VECTOR_WIDTHS
    if (n >= kWorthASecondThread && VectorWidths::Available() && !measuringByPairs) {
        const VectorWidths sums(byteWidths);
        InHalves(n, [&](std::size_t from, std::size_t to) { sums.Sum(from, to, text, store); });
    } else
#endif
    if (n >= kWorthASecondThread)
        measure(PairWidths(byteWidths));
    else
        measure(SpaceAfterWidths(byteWidths));
    std::vector<float> slack;
    for (const uint32_t line : inside)
        slack.push_back(model.Slack(line));
    const float shift = RaggedShift(
        inside, model.space, [&](uint32_t line) { return model.Slack(line); },
        [&](uint32_t line) { return model.lines[line + 1].firstWord + model.space; });
    if (shift > 0) {
        model.ragged = true;
        for (LineWidth& line : model.lines)
            line.slack += shift;
        for (float& room : slack)
            room += shift;
        // A typesetter breaks a ragged line early now and then, where that costs its paragraph
        // no line: so many of the lines inside paragraphs left room for the next word.
        const float beyond = model.space * (1 + 2 * WidthModel::kRaggedNoise);
        double early = 0;
        for (const uint32_t line : inside)
            early += model.Slack(line) > model.lines[line + 1].firstWord + beyond ? 1 : 0;
        model.earlyBreaks = float(std::clamp(early / double(inside.size()), 0.005, 0.2));
        // How the rooms of those lines spread as shares of their next words, smoothed over a
        // step either side, and a little of it everywhere.
        constexpr int S = WidthModel::kShareSteps;
        std::array<double, S> shares{};
        for (const uint32_t line : inside) {
            const float next =
                std::max(model.lines[line + 1].firstWord + model.space, WidthModel::kRaggedNoise * model.space);
            const auto step =
                int(std::floor((model.Slack(line) / next - WidthModel::kShareFrom) / WidthModel::kShareStep));
            if (step >= 0 && step < S)
                shares[std::size_t(step)] += 1;
        }
        for (int b = 0; b < S; ++b) {
            const double sum = shares[std::size_t(b)] + (b > 0 ? shares[std::size_t(b - 1)] : 0) +
                               (b + 1 < S ? shares[std::size_t(b + 1)] : 0);
            model.logShare[std::size_t(b)] =
                float(std::log(0.99 * sum / 3 / double(inside.size()) / WidthModel::kShareStep + 0.01));
        }
    }
    const double low = Quantile(slack, 0.05);
    const double high = Quantile(slack, 0.95);
    model.fullCentre = float((low + high) / 2);
    model.fullSpread = float(std::max(1e-3, (high - low) / 3.29));  // as a normal spread would lie
    // A line stretched so far that a text tool cut it into its words was full, however short
    // its words make it with single spaces.
    for (const uint32_t line : layout.fullLines)
        if (line < n)
            model.lines[line].slack = model.fullCentre;
    // How the breaks look where the widths decide them surely asks nothing of the density of
    // the rooms: it is learnt beside it.
    std::vector<float> first;
    SideBySide(
        n >= kBesideLines,
        [&] {
            // The density, smoothed over a few steps either side, and a little of it everywhere: a
            // line now and then that the widths miss.
            constexpr int S = WidthModel::kRoomSteps;
            std::vector<float> rooms(S, 0.0f);
            for (const float r : slack)
                rooms[std::size_t(std::clamp(int((r - WidthModel::kRoomFrom) / WidthModel::kRoomStep), 0, S - 1))] += 1;
            model.roomDensity.assign(S, 0.0f);
            // (As wide as a normal spread of so many lines would want.)
            const double bandwidth = 0.9 * model.fullSpread * std::pow(double(slack.size()), -0.2);
            const int reach = std::max(1, int(bandwidth / WidthModel::kRoomStep));
            for (int b = 0; b < S; ++b) {
                float sum = 0;
                for (int d = -reach; d <= reach; ++d)
                    sum += b + d >= 0 && b + d < S ? rooms[std::size_t(b + d)] : 0.0f;
                model.roomDensity[std::size_t(b)] =
                    0.99f * sum / float(2 * reach + 1) / float(slack.size()) / WidthModel::kRoomStep + 0.01f;
            }
            model.roomsUpTo.assign(S, 0.0f);
            float upTo = 0;
            for (int b = 0; b < S; ++b)
                model.roomsUpTo[std::size_t(b)] = upTo += model.roomDensity[std::size_t(b)] * WidthModel::kRoomStep;
            for (int b = 0; b < S; ++b) {
                model.logDensity[std::size_t(b)] = std::log(model.roomDensity[std::size_t(b)]);
                model.logUpTo[std::size_t(b)] = std::log(model.roomsUpTo[std::size_t(b)]);
            }
        },
        [&] { LearnEndOdds(layout, model, first); });
    if (first.size() >= 10) {
        const double shift = Quantile(first, 0.5) - Quantile(slack, 0.5);
        if (shift > kIndentShown * model.fullSpread)
            model.firstLine = float(shift);
    }
    return model;
}

}  // namespace lepotex
