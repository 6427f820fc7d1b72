// The code page's table itself is checked against iconv in TextEncodingTest; here the
// conversions of whole texts and the upper-case table.
#include "editor/Windows1250.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace lepotex;

TEST(Windows1250, EveryByteRoundTripsAndWhatHasNoByteBecomesOneQuestionMark)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    const std::u16string text = DecodeWindows1250(bytes);
    EXPECT_EQ(std::set<char16_t>(text.begin(), text.end()).size(), 256u) << "two bytes share a character";
    EXPECT_EQ(EncodeWindows1250(text), bytes);
    EXPECT_EQ(Utf8ToWindows1250(Windows1250ToUtf8(bytes)), bytes);

    EXPECT_EQ(EncodeWindows1250(u"a\u00F1b\U0001F600c"), "a?b?c") << "a surrogate pair is one character";
    EXPECT_EQ(EncodeWindows1250(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a?b?");
    // Broken UTF-8 swallows no good byte behind it.
    EXPECT_EQ(Utf8ToWindows1250("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToWindows1250("\xC3" "b\xE2\x82" "d"), "?b?d");
    EXPECT_EQ(Utf8ToWindows1250("\xC0\xAF" "c\xED\xA0\x80!"), "??c???" "!") << "overlong, encoded surrogate";
    EXPECT_EQ(Utf8ToWindows1250("\xF4\x90\x80\x80 \xE2\x82\xAC"), "???? \x80") << "past U+10FFFF";
}

TEST(Windows1250, UpperTableFollowsUnicodeSimpleCaseMapping)
{
    // Every lower-case letter of the code page whose capital is in it too, and that capital.
    const std::string lower = Utf8ToWindows1250(
        "abcdefghijklmnopqrstuvwxyzšśťžźłąşľżŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ");
    const std::string upper = Utf8ToWindows1250(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZŠŚŤŽŹŁĄŞĽŻŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ");
    ASSERT_EQ(lower.size(), 66u);
    ASSERT_EQ((lower + upper).find('?'), std::string::npos);
    for (int b = 0; b < 256; ++b) {
        const std::size_t at = lower.find(char(b));
        EXPECT_EQ(ToUpperByte(uint8_t(b)), at == std::string::npos ? uint8_t(b) : uint8_t(upper[at])) << b;
        EXPECT_EQ(ToUpperByte(uint8_t(b)), UpperTable()[b]) << b;
    }
}
