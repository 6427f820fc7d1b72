#include "app/dialogs/RtfReader.h"

#include <random>

#include <QString>
#include <gtest/gtest.h>

using namespace lepotex;

namespace {

std::string Utf8(const std::u16string& text) { return QString::fromStdU16String(text).toStdString(); }

// A file as a word processor writes it (tables, styles, an ignorable destination, Czech in \'hh
// and in \u with its fallback), then broken inputs, each read up to its fault.
TEST(RtfReader, ReadsAWordProcessorFileAndSurvivesBrokenInput)
{
    const struct {
        std::string rtf;
        std::string text;
    } cases[] = {
        {"{\\rtf1\\ansi\\ansicpg1250\\deff0{\\fonttbl{\\f0\\froman\\fcharset238 Times New Roman;}}\r\n"
         "{\\colortbl ;\\red255\\green0\\blue0;}{\\*\\generator Writer 5;}{\\info{\\title N\\'e1vod}}\r\n"
         "{\\stylesheet{\\s1 Heading 1;}}\\viewkind4\\uc1\\pard\\b\\f0\\fs32 N\\'e1vod\\b0\\par\r\n"
         "\\fs24 P\\u345?\\'edli\\'9a \\ldblquote \\u382\\'9elu\\u357\\'9dou\\u269\\'e8k\\'fd\\rdblquote  k\\u367\\'f9\\u328\\'f2.\\par\r\n"
         "{\\pict\\wmetafile8 0a0b0c}\\tab Sloupec\\cell\\line \\\\ \\{ \\}\\~a\\-b\\_c\\par\r\n"
         "{\\uc2\\u8222\\'84\\'84 uvnit\\u345?}\\u8220\\'93\\bin3 {}x konec\\par\r\n"
         "}\r\nnic za koncem",
         "Návod\nPříliš “žluťoučký” kůň.\n\tSloupec\t\n\\ { }\u00A0ab\u2011c\n„ uvnitř“ konec\n"},
        {"{\\rtf1 abc\\", "abc"},                           // a backslash at the end
        {"}}}{\\rtf1 x}", "x"},                             // a '}' without its '{'
        {"{\\rtf1 \\u99999999999999999999?x}", "\uFFFDx"},  // \u far out of range
        {"{\\rtf1 \\u55357?y}", "\uFFFDy"},                 // half a surrogate pair
        {"{\\rtf1 \\u55357?\\u56832?}", "\U0001F600"},
        {"{\\rtf1 \\uc99999999999 \\u65 bcd}e", "A"},  // the fallback ends with its group
        {"{\\rtf1 \\bin99999999999 x}", ""},
        {"{\\rtf1 a" + std::string(2'000'000, '{') + "b" + std::string(2'000'000, '}') + "c}", "abc"},  // no stack
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(RtfToText(c.rtf)), c.text) << c.rtf.substr(0, 100);

    // Random mixtures of the bytes that steer the reader: whatever they are, it ends, gives at
    // most one character per byte and valid UTF-16.
    const std::string alphabet = "{}\\\\\\'*09afFu-c bin par \r\n\x84\xE8\xFF";
    std::mt19937 random(20260107);
    for (int round = 0; round < 20000; ++round) {
        std::string rtf = round % 2 ? "{\\rtf1 " : "";
        for (std::size_t i = random() % 64; i > 0; --i)
            rtf += alphabet[random() % alphabet.size()];
        const std::u16string text = RtfToText(rtf);
        ASSERT_TRUE(text.size() <= rtf.size() && QStringView(text).isValidUtf16()) << rtf;
    }
}

}  // namespace
