#include "editor/Windows1250.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace lepotex;

namespace {

std::string AllBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

}  // namespace

TEST(Windows1250, EveryByteRoundTripsThroughUtf16AndUtf8)
{
    const std::string bytes = AllBytes();
    const std::u16string text = DecodeWindows1250(bytes);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(std::set<char16_t>(text.begin(), text.end()).size(), 256u) << "two bytes share a character";
    EXPECT_EQ(EncodeWindows1250(text), bytes);
    EXPECT_EQ(Utf8ToWindows1250(Windows1250ToUtf8(bytes)), bytes);

    for (uint8_t undefined : {0x81, 0x83, 0x88, 0x90, 0x98})
        EXPECT_EQ(Windows1250ToUnicode(undefined), char16_t(undefined));
    EXPECT_EQ(Windows1250ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(Windows1250ToUnicode(0x84), u'\u201E');
    EXPECT_EQ(Windows1250ToUnicode(0x93), u'\u201C');
    EXPECT_EQ(Windows1250ToUnicode(0xFF), u'\u02D9');
    EXPECT_EQ(Windows1250ToUtf8("\xC8\xE1st"), "Část");
    EXPECT_EQ(Utf8ToWindows1250("Příliš žluťoučký kůň"), "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2");
}

TEST(Windows1250, WhatHasNoByteBecomesOneQuestionMarkAndSwallowsNothing)
{
    EXPECT_EQ(EncodeWindows1250(u"a\u00F1b\u0080c"), "a?b?c");
    EXPECT_EQ(EncodeWindows1250(u"x\U0001F600y"), "x?y");  // a surrogate pair is one character
    EXPECT_EQ(EncodeWindows1250(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a?b?");
    EXPECT_FALSE(HasWindows1250Byte(U'\u00F1'));
    EXPECT_TRUE(HasWindows1250Byte(U'?'));

    const std::pair<std::string, std::string> rows[] = {
        {"\xF0\x9F\x98\x80 \xE2\x82\xAC", "? \x80"},  // a character outside the code page, then "€"
        {"a\xC3", "a?"},                                // cut off at the end
        {"\xC3" "b", "?b"},                              // continuation missing
        {"\xC0\xAF" "c", "??c"},                         // overlong slash
        {"\xED\xA0\x80!", "???" "!"},                    // encoded surrogate
        {"\xF4\x90\x80\x80", "????"},                    // past U+10FFFF
        {"\xE2\x82" "d", "?d"},                          // truncated euro sign
    };
    for (const auto& [utf8, bytes] : rows) {
        SCOPED_TRACE(testing::PrintToString(utf8));
        EXPECT_EQ(Utf8ToWindows1250(utf8), bytes);
    }
}

TEST(Windows1250, UpperTableFollowsUnicodeSimpleCaseMapping)
{
    // Every lower-case letter of the code page whose capital is in it too, and that capital.
    const std::string lower = Utf8ToWindows1250(
        "abcdefghijklmnopqrstuvwxyz"
        "šśťžźłąşľżŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ");
    const std::string upper = Utf8ToWindows1250(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
        "ŠŚŤŽŹŁĄŞĽŻŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ");
    ASSERT_EQ(lower.find('?'), std::string::npos);
    ASSERT_EQ(upper.find('?'), std::string::npos);
    ASSERT_EQ(lower.size(), 66u);

    const std::string all = AllBytes();
    int changed = 0;
    for (const char c : all) {
        const auto byte = uint8_t(c);
        const std::size_t at = lower.find(c);
        SCOPED_TRACE(int(byte));
        EXPECT_EQ(ToUpperByte(byte), at == std::string::npos ? byte : uint8_t(upper[at]));
        EXPECT_EQ(ToUpperByte(byte), UpperTable()[byte]);
        changed += ToUpperByte(byte) != byte;
    }
    EXPECT_EQ(changed, 66);
    EXPECT_EQ(ToUpperByte(0x9A), 0x8A);
    EXPECT_EQ(ToUpperByte(0xE8), 0xC8);
    for (uint8_t stays : {0xDF /* ß */, 0xB5 /* µ */, 0xFF /* dot above */, 0xF7 /* ÷ */})
        EXPECT_EQ(ToUpperByte(stays), stays);
}
