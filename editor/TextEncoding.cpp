#include "editor/TextEncoding.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <iconv.h>
#include <uchardet/uchardet.h>

#include "editor/TextBlock.h"
#include "editor/Windows1250.h"

namespace lepotex {

const char* EncodingName(TextEncoding encoding) noexcept
{
    switch (encoding) {
    case TextEncoding::Windows1250: return "CP1250";
    case TextEncoding::Utf8: return "UTF-8";
    case TextEncoding::Utf8Bom: return "UTF-8 BOM";
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: return "UTF-16";
    case TextEncoding::Iso8859_2: return "ISO-8859-2";
    case TextEncoding::Cp852: return "CP852";
    }
    return "CP1250";
}

std::string FormatName(FileFormat format)
{
    std::string name = EncodingName(format.encoding);
    if (format.lineEnd == LineEnd::Lf)
        name += " LF";
    return name;
}

std::optional<TextEncoding> ParseEncoding(std::string_view name)
{
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    });
    if (lower == "cp1250" || lower == "windows-1250")
        return TextEncoding::Windows1250;
    if (lower == "utf-8" || lower == "utf8")
        return TextEncoding::Utf8;
    if (lower == "utf-8-bom")
        return TextEncoding::Utf8Bom;
    if (lower == "utf-16" || lower == "utf16" || lower == "utf-16le")
        return TextEncoding::Utf16Le;
    if (lower == "utf-16be")
        return TextEncoding::Utf16Be;
    if (lower == "iso-8859-2" || lower == "latin2")
        return TextEncoding::Iso8859_2;
    if (lower == "cp852" || lower == "ibm852")
        return TextEncoding::Cp852;
    return std::nullopt;
}

std::optional<TextEncoding> EncodingOfMark(std::string_view bytes) noexcept
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return TextEncoding::Utf8Bom;
    if (bytes.starts_with("\xFF\xFE"))
        return TextEncoding::Utf16Le;
    if (bytes.starts_with("\xFE\xFF"))
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

std::string_view MarkOf(TextEncoding encoding) noexcept
{
    switch (encoding) {
    case TextEncoding::Utf8Bom: return "\xEF\xBB\xBF";
    case TextEncoding::Utf16Le: return "\xFF\xFE";
    case TextEncoding::Utf16Be: return "\xFE\xFF";
    default: return {};
    }
}

size_t MarkLength(TextEncoding encoding) noexcept { return MarkOf(encoding).size(); }

namespace {

bool IsContinuation(uint8_t c) { return (c & 0xC0) == 0x80; }

// The length of the run of ASCII bytes at `p`, eight at a time.
size_t AsciiRun(const uint8_t* p, const uint8_t* end) noexcept
{
    const uint8_t* start = p;
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull)
            break;
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return size_t(p - start);
}

// Copies the ASCII in front of the next high byte to `out`, eight bytes at a time while eight
// are left, and stops there. All eight are written each time, so `out` needs room for them.
inline void CopyAscii(const uint8_t*& p, const uint8_t* end, char*& out) noexcept
{
    while (end - p >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        std::memcpy(out, p, 8);
        const uint64_t high = word & 0x8080808080808080ull;
        if (high) {
            const int ascii = __builtin_ctzll(high) / 8;
            out += ascii;
            p += ascii;
            return;
        }
        out += 8;
        p += 8;
    }
}

// Decodes one UTF-8 sequence at p (a byte >= 0x80); returns its length, 0 when malformed,
// or -1 when it is cut by `end` but valid so far.
int DecodeUtf8(const uint8_t* p, const uint8_t* end, char32_t& cp) noexcept
{
    const uint8_t lead = *p;
    int length;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i >= end)
            return -1;
        if (!IsContinuation(p[i]))
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
        // Overlong forms, surrogates and code points past U+10FFFF show at the second byte.
        if (i == 1 && ((length == 3 && cp < (min >> 6)) || (length == 4 && cp < (min >> 12)) ||
                       (length == 3 && cp >= 0x360 && cp <= 0x37F) || (length == 4 && cp > 0x10F)))
            return 0;
    }
    return length;
}

// The Windows-1250 byte of each code point below U+0800, 0 where there is none; from the
// editor's one Windows-1250 table.
const std::array<uint8_t, 0x800>& SmallCodePoints()
{
    static const std::array<uint8_t, 0x800> table = [] {
        std::array<uint8_t, 0x800> t{};
        for (char32_t cp = 1; cp < 0x800; ++cp)
            t[cp] = HasWindows1250Byte(cp) ? UnicodeToWindows1250(cp) : 0;
        return t;
    }();
    return table;
}

// The same from U+2000 to U+213F: the dashes, quotation marks, ellipsis, euro and trade mark
// sign of the code page, which a Czech book is full of, each three bytes in UTF-8.
constexpr char32_t kPunctuationFrom = 0x2000;
constexpr char32_t kPunctuationCount = 0x140;
const std::array<uint8_t, kPunctuationCount>& PunctuationCodePoints()
{
    static const std::array<uint8_t, kPunctuationCount> table = [] {
        std::array<uint8_t, kPunctuationCount> t{};
        for (char32_t i = 0; i < kPunctuationCount; ++i) {
            const char32_t cp = kPunctuationFrom + i;
            t[i] = HasWindows1250Byte(cp) ? UnicodeToWindows1250(cp) : 0;
        }
        return t;
    }();
    return table;
}

uint8_t ToWindows1250(char32_t cp) noexcept
{
    if (cp < 0x800)
        return cp == 0 ? 0 : SmallCodePoints()[cp];
    if (cp - kPunctuationFrom < kPunctuationCount)
        return PunctuationCodePoints()[cp - kPunctuationFrom];
    return HasWindows1250Byte(cp) ? UnicodeToWindows1250(cp) : 0;
}

// Text taken from PDFs whose fonts lack a letter, or written on some systems, spells "ř" as
// "r" and a combining caron. Windows-1250 has no combining marks, but it has the letter they
// make with the one before: every such letter of the code page is an ASCII letter and one mark.
struct Composition {
    char32_t mark;
    const char* bases;
    const char32_t* letters;
};
constexpr Composition kCompositions[] = {
    {0x301, "SZszRALCEINOUYralceinouy", U"ŚŹśźŔÁĹĆÉÍŃÓÚÝŕáĺćéíńóúý"},
    {0x302, "AIOaio", U"ÂÎÔâîô"},
    {0x306, "Aa", U"Ăă"},
    {0x307, "Zz", U"Żż"},
    {0x308, "AEOUaeou", U"ÄËÖÜäëöü"},
    {0x30A, "Uu", U"Ůů"},
    {0x30B, "OUou", U"ŐŰőű"},
    {0x30C, "STZstzLlCEDNRcednr", U"ŠŤŽšťžĽľČĚĎŇŘčěďňř"},
    {0x327, "SCTsct", U"ŞÇŢşçţ"},
    {0x328, "AEae", U"ĄĘąę"},
};

// The Windows-1250 letter a combining mark makes with the byte before it, 0 where none.
uint8_t Composed(char base, char32_t mark) noexcept
{
    if (mark < 0x300 || mark > 0x36F || base == '\0')
        return 0;
    for (const Composition& c : kCompositions) {
        if (c.mark != mark)
            continue;
        const char* at = std::strchr(c.bases, base);
        return at ? UnicodeToWindows1250(c.letters[at - c.bases]) : 0;
    }
    return 0;
}

// Characters Windows-1250 lacks that are only another form of what it has: the ligatures,
// hyphens and spaces a PDF's text is full of. They are read as what they stand for; an
// empty form (a zero-width space) is read as nothing.
std::optional<std::string_view> SpeltOut(char32_t cp) noexcept
{
    switch (cp) {
    case 0xFB00: return "ff";
    case 0xFB01: return "fi";
    case 0xFB02: return "fl";
    case 0xFB03: return "ffi";
    case 0xFB04: return "ffl";
    case 0xFB05:
    case 0xFB06: return "st";
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2015: return "-";
    case 0x2212: return "\x96";  // the minus as long as the en dash it is typed as
    case 0x202F: return "\xA0";  // the narrow space that does not break, as the one that does not
    case 0x2002: case 0x2003: case 0x2004: case 0x2005: case 0x2006: case 0x2008:
    case 0x2009: case 0x200A: case 0x205F: return " ";
    case 0x200B:
    case 0x2060:
    case 0xFEFF: return "";
    default: return std::nullopt;
    }
}

void Replace(char* out, size_t at, char32_t cp, Replacements& replaced)
{
    out[at] = '?';
    if (replaced.count++ == 0) {
        replaced.first = cp;
        replaced.firstOffset = int64_t(at);
    }
}

// Converts UTF-8 at `p` to Windows-1250 at `out`. Strict, it stops at the first byte that
// is no UTF-8 and returns nullopt; otherwise such a byte becomes '?'. It copies eight bytes
// at a time, so `out` may not overlap the input. The `before` bytes ahead of `out` are text
// already converted, which a combining mark at the start may still change.
template <bool strict>
std::optional<size_t> Utf8Run(const uint8_t* p, const uint8_t* end, char* out, Replacements& replaced,
                              size_t before = 0)
{
    const std::array<uint8_t, 0x800>& small = SmallCodePoints();
    size_t n = 0;
    while (p < end) {
        char* o = out + n;
        CopyAscii(p, end, o);
        n = size_t(o - out);
        if (p == end)
            break;
        if (*p < 0x80) {
            out[n++] = char(*p++);
            continue;
        }
        const uint8_t c = *p;
        char32_t cp = 0;
        int length;
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && IsContinuation(p[1])) {
            cp = char32_t((c & 0x1F) << 6 | (p[1] & 0x3F));
            length = 2;
        } else if (c == 0xE2 && end - p >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
            // E2 and any two continuation bytes are a well-formed U+2000 to U+2FFF.
            cp = char32_t(0x2000 | (p[1] & 0x3F) << 6 | (p[2] & 0x3F));
            length = 3;
        } else {
            length = DecodeUtf8(p, end, cp);
        }
        if (length <= 0) {
            // A sequence cut by the end of the file is a UTF-8 file cut short, not a code page.
            if (strict && length == 0)
                return std::nullopt;
            Replace(out, n++, U'\uFFFD', replaced);
            ++p;
            continue;
        }
        p += length;
        const uint8_t byte = cp < 0x800 ? small[cp] : ToWindows1250(cp);
        if (byte)
            out[n++] = char(byte);
        else if (const uint8_t letter = n + before > 0 ? Composed(out[ptrdiff_t(n) - 1], cp) : 0)
            out[ptrdiff_t(n) - 1] = char(letter);
        else if (const auto form = SpeltOut(cp))  // never longer than the sequence it stands for
            n += form->copy(out + n, form->size());
        else
            Replace(out, n++, cp, replaced);
    }
    return n;
}

size_t Utf8ToCp1250(std::string_view bytes, char* out, Replacements& replaced)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    return *Utf8Run<false>(p, p + bytes.size(), out, replaced);
}

size_t Utf16ToCp1250(std::string_view bytes, bool bigEndian, char* out, Replacements& replaced)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* const begin = p;
    const uint8_t* end = p + (bytes.size() & ~size_t(1));
    auto unit = [bigEndian](const uint8_t* q) -> char32_t {
        return bigEndian ? char32_t(q[0] << 8 | q[1]) : char32_t(q[1] << 8 | q[0]);
    };
    const std::array<uint8_t, 0x800>& small = SmallCodePoints();
    size_t n = 0;
    while (p < end) {
        const char32_t u = unit(p);
        p += 2;
        if (u < 0x80) {
            out[n++] = char(u);
        } else if (u < 0x800) {
            if (const uint8_t byte = small[u])
                out[n++] = char(byte);
            else if (const uint8_t letter = n > 0 ? Composed(out[n - 1], u) : 0)
                out[n - 1] = char(letter);
            else
                Replace(out, n++, u, replaced);
        } else if (u >= 0xD800 && u <= 0xDBFF && p < end && unit(p) >= 0xDC00 && unit(p) <= 0xDFFF) {
            Replace(out, n++, 0x10000 + ((u - 0xD800) << 10) + (unit(p) - 0xDC00), replaced);
            p += 2;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            Replace(out, n++, U'\uFFFD', replaced);
        } else if (const uint8_t byte = ToWindows1250(u)) {
            out[n++] = char(byte);
        } else if (const auto form = SpeltOut(u); form && n + form->size() <= size_t(p - begin)) {
            // Only as far as the text read so far has room: it may be converted where it lies.
            n += form->copy(out + n, form->size());
        } else {
            Replace(out, n++, u, replaced);
        }
    }
    if (bytes.size() % 2)
        Replace(out, n++, U'\uFFFD', replaced);  // half a character at the end
    return n;
}

const char* IconvName(TextEncoding encoding)
{
    return encoding == TextEncoding::Iso8859_2 ? "ISO-8859-2" : "CP852";
}

struct Converter {
    Converter(const char* to, const char* from) : cd(iconv_open(to, from))
    {
        if (cd == iconv_t(-1))
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    iconv_t cd;
};

// One byte of a single-byte code page as a code point, for telling what was replaced.
char32_t CodePointOf(const char* codePage, char byte)
{
    Converter toUtf32("UTF-32LE", codePage);
    char in[1] = {byte};
    char* inP = in;
    size_t inLeft = 1;
    uint8_t out[4] = {};
    char* outP = reinterpret_cast<char*>(out);
    size_t outLeft = 4;
    if (iconv(toUtf32.cd, &inP, &inLeft, &outP, &outLeft) == size_t(-1))
        return U'\uFFFD';
    return char32_t(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
}

// A single-byte code page through iconv; a character Windows-1250 lacks becomes '?'.
size_t CodePageToCp1250(const char* codePage, std::string_view bytes, char* out, Replacements& replaced)
{
    Converter converter("CP1250", codePage);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out;
    size_t outLeft = bytes.size();
    while (inLeft > 0) {
        if (iconv(converter.cd, &in, &inLeft, &o, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            throw std::runtime_error(std::string("iconv: ") + std::strerror(errno));
        Replace(out, size_t(o - out), CodePointOf(codePage, *in), replaced);
        ++o;
        --outLeft;
        ++in;
        --inLeft;
    }
    return size_t(o - out);
}

// Whether high bytes read as Windows-1250 look like Czech: nearly all of them Czech letters
// or the punctuation of Czech typesetting. ISO-8859-2 puts "š" and "ž" where Windows-1250
// has "ą" and "ľ", and CP852 moves nearly every letter (its "á", "ž" and "é" are the no-break
// space, "§" and "‚" of Windows-1250, so those are left out). A text that fails this only
// goes to the detector, which knows Czech in all three.
constexpr std::u16string_view kCzechLetters = u"ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽáčďéěíňóřšťúůýž";

bool PlausibleCzechWindows1250(std::string_view bytes)
{
    static const std::array<bool, 256> czech = [] {
        std::array<bool, 256> set{};
        for (const char16_t c : kCzechLetters)
            set[UnicodeToWindows1250(c)] = true;
        for (const char16_t c : std::u16string_view(u"äöüßÄÖÜôÔ„“”‘’«»‹›–—…•·°©®×€™\u00AD"))
            set[UnicodeToWindows1250(c)] = true;
        return set;
    }();
    int64_t high = 0;
    int64_t foreign = 0;
    for (const char c : bytes) {
        const uint8_t byte = uint8_t(c);
        if (byte >= 0x80) {
            ++high;
            foreign += !czech[byte];
        }
    }
    return foreign < 2 || foreign * 20 < high;
}

bool HasCzechLetter(std::string_view bytes)
{
    static const std::array<bool, 256> letters = [] {
        std::array<bool, 256> set{};
        for (const char16_t c : kCzechLetters)
            set[UnicodeToWindows1250(c)] = true;
        return set;
    }();
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return letters[uint8_t(c)]; });
}

// Valid UTF-8 is Windows-1250 after all when most of its characters would be ones
// Windows-1250 lacks while its bytes read as Czech there: "ÚŽ" of a word in capitals is a
// valid two-byte sequence, of an Arabic letter.
bool Windows1250AfterAll(std::string_view bytes, int64_t replacedCount)
{
    if (replacedCount == 0)
        return false;
    const int64_t characters = std::count_if(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) >= 0xC0; });
    return replacedCount * 2 > characters && PlausibleCzechWindows1250(bytes);
}

// The detectors need no more than this to be sure, and stay cheap on a big book.
constexpr size_t kDetectionSample = size_t(256) << 10;

}  // namespace

Utf8Scan ScanUtf8(std::string_view bytes, bool complete) noexcept
{
    Utf8Scan scan;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* end = p + bytes.size();
    while (p < end) {
        if (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            if (!(word & 0x8080808080808080ull)) {
                p += 8;
                continue;
            }
        }
        const uint8_t c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        // Two-byte sequences are nearly all of a European text's letters.
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && IsContinuation(p[1])) {
            scan.multiByte = true;
            p += 2;
            continue;
        }
        char32_t cp = 0;
        const int length = DecodeUtf8(p, end, cp);
        if (length == 0 || (length < 0 && complete)) {
            scan.valid = false;
            return scan;
        }
        scan.multiByte = true;
        if (length < 0)
            break;
        p += length;
    }
    return scan;
}

TextEncoding DetectCodePage(std::string_view bytes)
{
    const std::string_view sample = bytes.substr(0, kDetectionSample);
    if (PlausibleCzechWindows1250(sample))
        return TextEncoding::Windows1250;
    uchardet_t detector = uchardet_new();
    if (!detector)
        return TextEncoding::Windows1250;
    TextEncoding found = TextEncoding::Windows1250;
    if (uchardet_handle_data(detector, sample.data(), sample.size()) == 0) {
        uchardet_data_end(detector);
        const std::string_view name = uchardet_get_charset(detector);
        if (name == "ISO-8859-2")
            found = TextEncoding::Iso8859_2;
        else if (name == "IBM852")
            found = TextEncoding::Cp852;
    }
    uchardet_delete(detector);
    if (found == TextEncoding::Windows1250)
        return found;
    // The detector names a code page for nearly any run of high bytes, letters or not. Only
    // a text that reads as Czech in it, every byte a character Windows-1250 has, is taken so
    // (ISO-8859-2's control bytes 0x80 to 0x9F say it is not ISO-8859-2). Anything else is
    // kept byte for byte, as Windows-1250 reads every byte faithfully: a guess that had to
    // put "?" for some bytes would make the file read differently once saved.
    std::string converted(sample.size(), '\0');
    Replacements replaced;
    converted.resize(CodePageToCp1250(IconvName(found), sample, converted.data(), replaced));
    const bool czech = replaced.count == 0 && PlausibleCzechWindows1250(converted) && HasCzechLetter(converted);
    return czech ? found : TextEncoding::Windows1250;
}

std::optional<TextEncoding> Utf16WithoutMark(std::string_view bytes) noexcept
{
    const std::string_view sample = bytes.substr(0, std::min(kDetectionSample, bytes.size()) & ~size_t(1));
    const std::size_t units = sample.size() / 2;
    if (units < 8)
        return std::nullopt;
    std::size_t zeros[2] = {};
    for (std::size_t k = 0; k < sample.size(); ++k)
        zeros[k % 2] += sample[k] == '\0' ? 1 : 0;
    // The high bytes of a Latin text are mostly zero (its ASCII), the low ones almost never.
    const int high = zeros[1] > zeros[0] ? 1 : 0;
    if (zeros[high] * 2 < units || zeros[1 - high] * 50 > units)
        return std::nullopt;
    const auto unit = [&](std::size_t k) {
        const auto lo = uint8_t(sample[2 * k + std::size_t(1 - high)]);
        const auto hi = uint8_t(sample[2 * k + std::size_t(high)]);
        return char32_t(hi << 8 | lo);
    };
    std::size_t text = 0;
    for (std::size_t k = 0; k < units; ++k) {
        const char32_t u = unit(k);
        const bool control = u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f';
        text += !control && (u < 0x250 || (u >= 0x2000 && u < 0x2070) || (u >= 0xFB00 && u < 0xFB07)) ? 1 : 0;
    }
    if (text * 100 < units * 98)
        return std::nullopt;
    return high == 1 ? TextEncoding::Utf16Le : TextEncoding::Utf16Be;
}

TextEncoding DetectEncoding(std::string_view bytes)
{
    if (const auto marked = EncodingOfMark(bytes))
        return *marked;
    if (const auto unmarked = Utf16WithoutMark(bytes))
        return *unmarked;
    // A sequence cut by the end is a UTF-8 file cut short, as the loader takes it.
    const Utf8Scan scan = ScanUtf8(bytes, false);
    if (scan.valid && scan.multiByte) {
        const std::string_view sample = bytes.substr(0, kDetectionSample);
        std::string converted(sample.size(), '\0');
        Replacements replaced;
        Utf8ToCp1250(sample, converted.data(), replaced);
        if (!Windows1250AfterAll(sample, replaced.count))
            return TextEncoding::Utf8;
    } else if (scan.valid) {
        return TextEncoding::Windows1250;  // plain ASCII
    }
    return DetectCodePage(bytes);
}

size_t ConvertToWindows1250(TextEncoding encoding, std::string_view bytes, char* out, Replacements& replaced)
{
    switch (encoding) {
    case TextEncoding::Windows1250:
        if (!bytes.empty())
            std::memcpy(out, bytes.data(), bytes.size());
        return bytes.size();
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: return Utf8ToCp1250(bytes, out, replaced);
    case TextEncoding::Utf16Le: return Utf16ToCp1250(bytes, false, out, replaced);
    case TextEncoding::Utf16Be: return Utf16ToCp1250(bytes, true, out, replaced);
    case TextEncoding::Iso8859_2:
    case TextEncoding::Cp852: return CodePageToCp1250(IconvName(encoding), bytes, out, replaced);
    }
    return 0;
}

namespace {

// From this size on a book's conversion is worth a second thread.
constexpr size_t kConvertInHalvesFrom = size_t(4) << 20;

// Utf8Run<true> on two cores for a large text: the second half is converted into the part of
// `out` that the first cannot reach (no conversion makes a text longer), then moved down behind
// the first. The halves meet between two ASCII bytes, where no sequence is cut and no
// combining mark follows: each half converts as the whole would there. Converting is a few
// cycles a byte, and filling the fresh pages of `out` costs as much again; both are halved.
std::optional<size_t> Utf8RunInHalves(const uint8_t* p, const uint8_t* end, char* out, Replacements& replaced,
                                      size_t before)
{
    const size_t size = size_t(end - p);
    size_t mid = 0;
    if (size >= kConvertInHalvesFrom && std::thread::hardware_concurrency() > 1) {
        constexpr size_t kLookFor = size_t(64) << 10;
        for (size_t at = size / 2; at < size / 2 + kLookFor; ++at)
            if (p[at - 1] < 0x80 && p[at] < 0x80) {
                mid = at;
                break;
            }
    }
    if (mid == 0)
        return Utf8Run<true>(p, end, out, replaced, before);
    Replacements secondReplaced;
    std::optional<size_t> second;
    char* const secondOut = out + mid;
    std::thread thread;
    try {
        thread = std::thread([&] { second = Utf8Run<true>(p + mid, end, secondOut, secondReplaced); });
    } catch (const std::system_error&) {
        return Utf8Run<true>(p, end, out, replaced, before);  // no thread to be had
    }
    const std::optional<size_t> first = Utf8Run<true>(p, p + mid, out, replaced, before);
    thread.join();
    if (!first || !second)
        return std::nullopt;
    std::memmove(out + *first, secondOut, *second);
    if (secondReplaced.count > 0) {
        if (replaced.count == 0) {
            replaced.first = secondReplaced.first;
            replaced.firstOffset = secondReplaced.firstOffset + int64_t(*first);
        }
        replaced.count += secondReplaced.count;
    }
    return *first + *second;
}

}  // namespace

std::optional<size_t> ConvertIfUtf8(std::string_view bytes, TextBlock& out, Replacements& replaced)
{
    const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
    const uint8_t* end = p + bytes.size();
    const size_t ascii = AsciiRun(p, end);
    if (ascii == bytes.size())
        return std::nullopt;
    out = AllocateTextBlock(bytes.size() + 1);
    std::memcpy(out.get(), p, ascii);
    const std::optional<size_t> rest = Utf8RunInHalves(p + ascii, end, out.get() + ascii, replaced, ascii);
    if (!rest || Windows1250AfterAll(bytes, replaced.count)) {
        out.reset();
        replaced = {};
        return std::nullopt;
    }
    if (replaced.count > 0)
        replaced.firstOffset += int64_t(ascii);
    return ascii + *rest;
}

TextEncoding ResolveEncoding(std::string_view bytes, std::optional<TextEncoding> encoding)
{
    TextEncoding found = encoding ? *encoding : DetectEncoding(bytes);
    const auto marked = EncodingOfMark(bytes);
    if (found == TextEncoding::Utf8 || found == TextEncoding::Utf8Bom)
        found = marked == TextEncoding::Utf8Bom ? TextEncoding::Utf8Bom : TextEncoding::Utf8;
    else if ((found == TextEncoding::Utf16Le || found == TextEncoding::Utf16Be) &&
             (marked == TextEncoding::Utf16Le || marked == TextEncoding::Utf16Be))
        found = *marked;
    return found;
}

std::string TextToWindows1250(std::string_view bytes, std::optional<TextEncoding> encoding, TextEncoding& found,
                              Replacements& replaced)
{
    found = ResolveEncoding(bytes, encoding);
    // UTF-16's mark reads as nothing, and gives a ligature it starts with room to be spelt out.
    const bool sixteen = found == TextEncoding::Utf16Le || found == TextEncoding::Utf16Be;
    if (found != TextEncoding::Windows1250 && !sixteen && EncodingOfMark(bytes) == found)
        bytes.remove_prefix(MarkLength(found));
    std::string text(bytes.size(), '\0');
    text.resize(ConvertToWindows1250(found, bytes, text.data(), replaced));
    return text;
}

size_t ConvertedCapacity(TextEncoding encoding, size_t size) noexcept
{
    switch (encoding) {
    case TextEncoding::Windows1250: return size;
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: return size * 3;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: return size * 2;
    default: return size * 4 + 16;  // transliteration writes "..." for "…"
    }
}

size_t ConvertFromWindows1250(TextEncoding encoding, std::string_view bytes, char* out, int64_t& replaced)
{
    switch (encoding) {
    case TextEncoding::Windows1250:
        if (!bytes.empty())
            std::memcpy(out, bytes.data(), bytes.size());
        return bytes.size();
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom: {
        // Each byte's UTF-8 form, from the editor's one table: its length, then the bytes.
        static const std::array<std::array<char, 4>, 256> forms = [] {
            std::array<std::array<char, 4>, 256> table{};
            for (int b = 0; b < 256; ++b) {
                const char16_t u = Windows1250ToUnicode(uint8_t(b));
                if (u < 0x80)
                    table[b] = {1, char(u), 0, 0};
                else if (u < 0x800)
                    table[b] = {2, char(0xC0 | (u >> 6)), char(0x80 | (u & 0x3F)), 0};
                else
                    table[b] = {3, char(0xE0 | (u >> 12)), char(0x80 | ((u >> 6) & 0x3F)), char(0x80 | (u & 0x3F))};
            }
            return table;
        }();
        char* o = out;
        const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
        const uint8_t* end = p + bytes.size();
        if constexpr (std::endian::native == std::endian::little) {
            // Czech has a letter outside ASCII every few bytes: eight bytes of ASCII are copied
            // at once, any other eight each by its form and length in one word, with no branch
            // a byte. A word reaches a byte past its form, so the last byte is left to the loop
            // below.
            static const std::array<uint32_t, 256> words = [] {
                std::array<uint32_t, 256> table{};
                for (int b = 0; b < 256; ++b) {
                    const std::array<char, 4>& form = forms[std::size_t(b)];
                    table[std::size_t(b)] = uint32_t(uint8_t(form[1])) | uint32_t(uint8_t(form[2])) << 8 |
                                            uint32_t(uint8_t(form[3])) << 16 | uint32_t(form[0]) << 24;
                }
                return table;
            }();
            while (end - p > 8) {
                uint64_t word;
                std::memcpy(&word, p, 8);
                if ((word & 0x8080808080808080ull) == 0) {
                    std::memcpy(o, p, 8);
                    o += 8;
                } else {
                    for (int k = 0; k < 8; ++k) {
                        const uint32_t form = words[p[k]];
                        std::memcpy(o, &form, 4);
                        o += form >> 24;
                    }
                }
                p += 8;
            }
        }
        while (p < end) {
            CopyAscii(p, end, o);
            if (p == end)
                break;
            const std::array<char, 4>& form = forms[*p++];
            std::memcpy(o, form.data() + 1, 3);  // room for three is always there
            o += form[0];
        }
        return size_t(o - out);
    }
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
        static const std::array<char16_t, 256> units = [] {
            std::array<char16_t, 256> table{};
            for (int b = 0; b < 256; ++b)
                table[b] = Windows1250ToUnicode(uint8_t(b));
            return table;
        }();
        const bool big = encoding == TextEncoding::Utf16Be;
        char* o = out;
        for (const char c : bytes) {
            const char16_t u = units[uint8_t(c)];
            *o++ = char(big ? u >> 8 : u & 0xFF);
            *o++ = char(big ? u & 0xFF : u >> 8);
        }
        return size_t(o - out);
    }
    case TextEncoding::Iso8859_2:
    case TextEncoding::Cp852: {
        Converter converter((std::string(IconvName(encoding)) + "//TRANSLIT").c_str(), "CP1250");
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* o = out;
        size_t outLeft = ConvertedCapacity(encoding, bytes.size());
        int64_t& lost = replaced;
        // iconv counts its approximations only in a call that succeeds: the run before each of
        // the five bytes Windows-1250 leaves undefined goes in a call of its own, and a run
        // that stops at a byte iconv cannot write is converted again up to that byte.
        const auto undefined = [](char c) {
            const auto b = uint8_t(c);
            return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98;
        };
        while (inLeft > 0) {
            size_t run = size_t(std::find_if(in, in + inLeft, undefined) - in);
            while (run > 0) {
                char* const runIn = in;
                char* const runOut = o;
                const size_t runOutLeft = outLeft;
                size_t left = run;
                const size_t r = iconv(converter.cd, &in, &left, &o, &outLeft);
                if (r != size_t(-1)) {
                    lost += int64_t(r);
                } else {
                    if (errno != EILSEQ && errno != EINVAL)
                        throw std::runtime_error(std::string("iconv: ") + std::strerror(errno));
                    size_t good = size_t(in - runIn);
                    in = runIn;
                    o = runOut;
                    outLeft = runOutLeft;
                    left = run - good;
                    const size_t before = iconv(converter.cd, &in, &good, &o, &outLeft);
                    lost += before == size_t(-1) ? 0 : int64_t(before);
                    *o++ = '?';  // a character iconv has nothing for
                    --outLeft;
                    ++in;
                    --left;
                    ++lost;
                }
                inLeft -= run - left;
                run = left;
            }
            if (inLeft == 0)
                break;
            *o++ = '?';  // one of the five bytes Windows-1250 leaves undefined
            --outLeft;
            ++in;
            --inLeft;
            ++lost;
        }
        return size_t(o - out);
    }
    }
    return 0;
}

int64_t ConvertFromWindows1250(TextEncoding encoding, std::string_view bytes, std::string& out)
{
    const size_t start = out.size();
    out.resize(start + ConvertedCapacity(encoding, bytes.size()));
    int64_t replaced = 0;
    out.resize(start + ConvertFromWindows1250(encoding, bytes, out.data() + start, replaced));
    return replaced;
}

}  // namespace lepotex
