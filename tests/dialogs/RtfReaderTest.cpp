#include "app/dialogs/RtfReader.h"

#include <random>

#include <gtest/gtest.h>

using namespace lepotex;

namespace {

std::string Utf8(const std::u16string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

bool IsValidUtf16(const std::u16string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF)
                return false;
            ++i;
        } else if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

// A file as a word processor writes it: tables, styles, an ignorable destination, Czech in
// \'hh and in \u with its fallback.
TEST(RtfReader, ReadsTheTextOfAWordProcessorFile)
{
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\froman\\fcharset238 Times New Roman;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Writer 5;}{\\info{\\title N\\'e1vod}}\r\n"
        "{\\stylesheet{\\s1 Heading 1;}}\\viewkind4\\uc1\\pard\\b\\f0\\fs32 N\\'e1vod\\b0\\par\r\n"
        "\\fs24 P\\u345?\\'edli\\'9a \\ldblquote \\u382\\'9elu\\u357\\'9dou\\u269\\'e8k\\'fd\\rdblquote  k\\u367\\'f9\\u328\\'f2.\\par\r\n"
        "{\\pict\\wmetafile8 0a0b0c}\\tab Sloupec\\cell\\line \\\\ \\{ \\}\\~a\\-b\\_c\\par\r\n"
        "{\\uc2\\u8222\\'84\\'84 uvnit\\u345?}\\u8220\\'93\\bin3 {}x konec\\par\r\n"
        "}\r\nnic za koncem";
    EXPECT_TRUE(LooksLikeRtf(rtf));
    EXPECT_EQ(Utf8(RtfToText(rtf)),
              "Návod\n"
              "Příliš “žluťoučký” kůň.\n"
              "\tSloupec\t\n\\ { }\u00A0ab\u2011c\n"
              "„ uvnitř“ konec\n");
}

TEST(RtfReader, SurvivesBrokenInput)
{
    const struct {
        std::string rtf;
        std::string text;
    } cases[] = {
        {"", ""},
        {"{\\rtf1 abc\\", "abc"},                   // a backslash at the end
        {"{\\rtf1 a\\'e", "a"},                     // \' cut off after one digit
        {"{\\rtf1 a\\'", "a"},                      // \' at the very end
        {"{\\rtf1 a\\'zz b}", "azz b"},             // \' without hex digits is dropped
        {"{\\rtf1 a}}}b", "a"},                     // the outermost group ended
        {"}}}{\\rtf1 x}", "x"},                     // a '}' without its '{'
        {"{\\rtf1 {\\b x", "x"},                    // groups never closed
        {"{\\rtf1 \\u99999999999999999999?x}", "\uFFFDx"},  // \u far out of range
        {"{\\rtf1 \\u-99999999999?x}", "\uFFFDx"},
        {"{\\rtf1 \\u-3?x}", "\uFFFDx"},            // 65533
        {"{\\rtf1 \\u55357?y}", "\uFFFDy"},         // half a surrogate pair
        {"{\\rtf1 \\u55357?\\u56832?}", "\U0001F600"},
        {"{\\rtf1 \\uc99999999999 \\u65 bcd}e", "A"},  // the fallback ends with its group
        {"{\\rtf1 {\\uc-5\\u66 x}}", "Bx"},
        {"{\\rtf1 \\bin99999999999 x}", ""},
        {"{\\rtf1 \\bin-4 x}", "x"},
        {"{\\rtf1 \\" + std::string(100, 'q') + "5 x}", "x"},
        {"{\\rtf1 \\par" + std::string(50, '9') + " y}", "\ny"},
        {"{\\rtf1 \\u", ""},
        {"{\\rtf1 \\u-", "-"},                     // "\\u" without a number is no \\u
        {"{\\rtf1 a\\*}b", "a"},
        {std::string("{\\rtf1 a\0b}", 11), "ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rtf);
        EXPECT_EQ(Utf8(RtfToText(c.rtf)), c.text);
    }
}

TEST(RtfReader, DeepNestingNeedsNoStack)
{
    const std::size_t depth = 2'000'000;
    std::string rtf = "{\\rtf1 a" + std::string(depth, '{') + "b" + std::string(depth, '}') + "c}";
    EXPECT_EQ(Utf8(RtfToText(rtf)), "abc");
    rtf = "{\\rtf1 " + std::string(depth, '{') + "\\*" + std::string(depth, '{') + "x";
    EXPECT_EQ(Utf8(RtfToText(rtf)), "");
}

// Random mixtures of the bytes that steer the reader: whatever they are, it ends, gives at
// most one character per byte and valid UTF-16.
TEST(RtfReader, RandomInputGivesValidText)
{
    const std::string alphabet = "{}\\\\\\'*09afFu-c bin par \r\n\x84\xE8\xFF";
    std::mt19937 random(20260107);
    for (int round = 0; round < 20000; ++round) {
        std::string rtf = round % 2 ? "{\\rtf1 " : "";
        const std::size_t length = random() % 64;
        for (std::size_t i = 0; i < length; ++i)
            rtf += alphabet[random() % alphabet.size()];
        const std::u16string text = RtfToText(rtf);
        ASSERT_LE(text.size(), rtf.size()) << rtf;
        ASSERT_TRUE(IsValidUtf16(text)) << rtf;
    }
}

}  // namespace
