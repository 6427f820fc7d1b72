#include "engine/DirectSpeech.h"

#include <gtest/gtest.h>

namespace lepotex {
namespace {

// Paragraphs as "|"-separated text, the way the cases are written down, each followed by CR.
std::string Collected(std::string paragraphs)
{
    std::replace(paragraphs.begin(), paragraphs.end(), '|', '\r');
    return paragraphs + '\r';
}

TEST(DirectSpeech, JoinsSpansWithTheirQuirks)
{
    struct Row { const char* before; const char* after; };
    const Row rows[] = {
        {"\x84" "Dobr\xFD den,|   jak se m\xE1te?\x93|Ticho.", "\x84" "Dobr\xFD den, jak se m\xE1te?\x93|Ticho."},
        {"\x84" "a|\x84" "b|c\x93", "\x84" "a|\x84" "b c\x93"},  // the last opening mark counts
        {"\x93" "a|b\x93|\x84" "c|d", "\x93" "a|b\x93|\x84" "c|d"},  // nothing opened, nothing closed
        {"\x84" "a|  \nb\x93", "\x84" "a \nb\x93"},  // the LF after the spaces is passed over
        {"\x84" "a|b\x93|c|\x93", "\x84" "a b\x93|c|\x93"},
    };
    for (const Row& row : rows) {
        std::string text = Collected(row.before);
        JoinSpeechSpans(text);
        EXPECT_EQ(text, Collected(row.after)) << row.before;
    }
}

}  // namespace
}  // namespace lepotex
