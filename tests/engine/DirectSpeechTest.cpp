#include "engine/DirectSpeech.h"

#include <gtest/gtest.h>

#include <random>

#include "LiteralReference.h"
#include "RandomText.h"

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
        {"\x84" "a|b", "\x84" "a|b"},
        {"\x93" "a|b\x93", "\x93" "a|b\x93"},
        {"\x84" "a|||b\x93", "\x84" "a | b\x93"},  // the break after a joined one is passed over
        {"\x84" "a  |b\x93", "\x84" "a   b\x93"},
        {"\x84" "a|  \nb\x93", "\x84" "a \nb\x93"},  // the LF after the spaces is passed over
        {"\x84" "a|b\x93|c|\x93", "\x84" "a b\x93|c|\x93"},
    };
    for (const Row& row : rows) {
        std::string text = Collected(row.before);
        JoinSpeechSpans(text);
        EXPECT_EQ(text, Collected(row.after)) << row.before;
    }
}

TEST(DirectSpeech, MatchesTheLiteralScanOnRandomTexts)
{
    std::mt19937 rng(1250);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (const std::string& line : testing::RandomLines(rng, 20, true))
            text += line + (round % 7 == 0 ? "\r\n" : "\r");
        std::string literal = text;
        const int64_t literalSteps = literal::JoinSpeechSpans(literal);
        const int64_t steps = JoinSpeechSpans(text);
        ASSERT_EQ(text, literal) << "round " << round;
        ASSERT_EQ(steps, literalSteps) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
