#include "app/dialogs/RtfReader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "editor/Windows1250.h"

namespace lepotex {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// What a group passes on to the groups inside it.
struct GroupState {
    bool skip = false;  // a destination that is not text: nothing inside it is shown
    int unicodeFallback = 1;  // \ucN: characters after \uN that stand in for it
};

struct WordOutput {
    std::string_view word;
    char16_t character;
};

constexpr std::array kCharacterWords{
    WordOutput{"par", u'\n'},      WordOutput{"line", u'\n'},     WordOutput{"sect", u'\n'},
    WordOutput{"page", u'\n'},     WordOutput{"row", u'\n'},      WordOutput{"tab", u'\t'},
    WordOutput{"cell", u'\t'},     WordOutput{"emdash", 0x2014},  WordOutput{"endash", 0x2013},
    WordOutput{"lquote", 0x2018},  WordOutput{"rquote", 0x2019},  WordOutput{"ldblquote", 0x201C},
    WordOutput{"rdblquote", 0x201D}, WordOutput{"bullet", 0x2022}, WordOutput{"emspace", 0x2003},
    WordOutput{"enspace", 0x2002}, WordOutput{"qmspace", 0x2005},
};

// Groups that hold no text the reader should see. Groups marked with \* are skipped too.
constexpr std::string_view kSkippedDestinations[]{
    "fonttbl",   "colortbl", "stylesheet", "info",     "pict",        "object",  "header",
    "headerl",   "headerr",  "headerf",    "footer",   "footerl",     "footerr", "footerf",
    "footnote",  "fldinst",  "listtable",  "listoverridetable", "revtbl", "rsidtbl", "generator",
    "themedata", "colorschememapping", "datastore", "latentstyles", "xmlnstbl", "pgdsctbl",
    "filetbl",   "mmathPr",  "annotation", "atnid",    "atnauthor",   "bkmkstart",
};

constexpr std::size_t kLongestWord = 32;  // RTF's own limit; longer runs of letters are no known word
constexpr int64_t kParameterLimit = int64_t(1) << 40;  // saturates, so no digit run overflows

bool IsLetter(char c) noexcept { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

int HexValue(char c) noexcept
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int ClampToInt(int64_t value) noexcept
{
    return int(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// Lone surrogates (from \u of half a pair) are no valid text.
void ReplaceLoneSurrogates(std::u16string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (unit >= 0xD800 && unit <= 0xDFFF)
            text[i] = kReplacement;
    }
}

class RtfParser {
public:
    explicit RtfParser(std::string_view rtf) : rtf(rtf) {}

    std::u16string Run()
    {
        while (pos < rtf.size()) {
            const char c = rtf[pos++];
            if (c == '{') {
                groups.push_back(current);
                fallbackLeft = 0;
            } else if (c == '}') {
                if (groups.empty())
                    continue;  // a '}' without its '{'
                current = groups.back();
                groups.pop_back();
                fallbackLeft = 0;
                if (groups.empty())
                    break;  // the outermost group has ended
            } else if (c == '\\') {
                if (!ReadControl())
                    break;
            } else if (c == '\r' || c == '\n' || c == '\0') {
                // Line ends in the file are only for its writer; the text's own are \par.
            } else {
                Emit(Windows1250ToUnicode(uint8_t(c)));
            }
        }
        ReplaceLoneSurrogates(text);
        return std::move(text);
    }

private:
    void Emit(char16_t character)
    {
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        if (!current.skip)
            text.push_back(character);
    }

    // A control word or symbol that shows nothing still counts as one fallback character.
    void EmitNothing()
    {
        if (fallbackLeft > 0)
            --fallbackLeft;
    }

    // After the backslash. False when the input ends inside the escape.
    bool ReadControl()
    {
        if (pos >= rtf.size())
            return false;
        const char c = rtf[pos];
        if (IsLetter(c))
            return ReadControlWord();
        ++pos;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            Emit(char16_t(c));
            break;
        case '~':
            Emit(0x00A0);
            break;
        case '_':
            Emit(0x2011);
            break;
        case '\r':
        case '\n':
            Emit(u'\n');
            break;
        case '*':
            current.skip = true;
            break;
        case '\'':
            return ReadHexByte();
        default:
            EmitNothing();  // \- optional hyphen, \: index entry and symbols we do not know
            break;
        }
        return true;
    }

    bool ReadHexByte()
    {
        if (rtf.size() - pos < 2)
            return false;
        const int high = HexValue(rtf[pos]);
        const int low = HexValue(rtf[pos + 1]);
        if (high < 0 || low < 0) {
            EmitNothing();
            return true;
        }
        pos += 2;
        Emit(Windows1250ToUnicode(uint8_t(high * 16 + low)));
        return true;
    }

    bool ReadControlWord()
    {
        const std::size_t start = pos;
        while (pos < rtf.size() && IsLetter(rtf[pos]))
            ++pos;
        const std::string_view word = rtf.substr(start, pos - start);

        bool hasParameter = false;
        int64_t parameter = 0;
        bool negative = false;
        if (pos < rtf.size() && rtf[pos] == '-' && pos + 1 < rtf.size() && IsDigit(rtf[pos + 1])) {
            negative = true;
            ++pos;
        }
        while (pos < rtf.size() && IsDigit(rtf[pos])) {
            hasParameter = true;
            parameter = std::min(parameter * 10 + (rtf[pos] - '0'), kParameterLimit);
            ++pos;
        }
        if (negative)
            parameter = -parameter;
        if (pos < rtf.size() && rtf[pos] == ' ')
            ++pos;  // the space that ends a control word belongs to it
        if (word.size() > kLongestWord) {
            EmitNothing();
            return true;
        }
        ApplyWord(word, hasParameter ? ClampToInt(parameter) : 0, hasParameter);
        return true;
    }

    void ApplyWord(std::string_view word, int parameter, bool hasParameter)
    {
        if (word == "u" && hasParameter) {
            // \u takes a signed 16-bit number; negative ones stand for 32768..65535.
            const int64_t unit = parameter < 0 ? int64_t(parameter) + 65536 : parameter;
            Emit(unit >= 0 && unit <= 0xFFFF ? char16_t(unit) : kReplacement);
            fallbackLeft = current.unicodeFallback;
            return;
        }
        if (word == "uc") {
            current.unicodeFallback = std::max(parameter, 0);
            return;
        }
        if (word == "bin") {
            // Raw binary data of the given length follows; it is never text.
            const std::size_t length = std::size_t(std::max(parameter, 0));
            pos += std::min(length, rtf.size() - pos);
            return;
        }
        if (std::find(std::begin(kSkippedDestinations), std::end(kSkippedDestinations), word) != std::end(kSkippedDestinations)) {
            current.skip = true;
            return;
        }
        for (const WordOutput& output : kCharacterWords)
            if (output.word == word) {
                Emit(output.character);
                return;
            }
        EmitNothing();
    }

    std::string_view rtf;
    std::size_t pos = 0;
    GroupState current;
    std::vector<GroupState> groups;  // the enclosing groups' states; a vector, so nesting costs no stack
    int fallbackLeft = 0;  // characters still to drop after a \uN
    std::u16string text;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) noexcept
{
    return bytes.starts_with("{\\rtf");
}

std::u16string RtfToText(std::string_view rtf)
{
    return RtfParser(rtf).Run();
}

}  // namespace lepotex
