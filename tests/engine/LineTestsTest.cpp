#include "engine/LineTests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace lepotex {
namespace {

TEST(LineTests, RecognisesPageNumbersBetweenDashes)
{
    for (const char* yes : {"- 12 -", "-5-", "- -3 -", "-\t9\x01-", "-$FF-", "-0x1f-", "-x10-", "- +4 -",
                            "-2147483647-", "--2147483648-", "-0xFFFFFFFF-"})
        EXPECT_TRUE(IsPageNumberLine(yes)) << yes;
    for (const char* no : {"", "-", "--", "12", "- 12", "-12a-", "-2147483648-", "--2147483649-", "-0x100000000-",
                           "-0x-", "- 1 2 -", "-12-x"})
        EXPECT_FALSE(IsPageNumberLine(no)) << no;
}

TEST(LineTests, GlueAndHyphenTestsFollowTheRulesInOrder)
{
    Settings s;
    s.noGlue = {"Kapitola", "\xC8\xE1st", "ISBN", ""};
    struct Row { const char* upper; const char* lower; bool glued; };
    const Row rows[] = {
        {"\xF8" "ekl, \x9E" "e", "p\xF8ijde", true},
        {"p\xF8i\x9A" "el.", "Pak", false},
        {"p\xF8i\x9A" "el.", "pak", true},
        {"\xF8" "ekl:", "\x84" "Poj\xEF", false},
        {"strana 12", "pokra\xE8uje", false},
        {"konec\x94", "A pak", true},      // the right quote is no sentence end
        {"slo-", "Vo", false},
        {"text", "Kapitola 1", false},
        {"Kapitolami", "text", false},     // prefix, not whole word
        {"KAPITOLA", "text", false},       // all capitals
        {"text", "XII", false},
        {"KAPITOLA PRVN\xCD", "text", true},  // a space: not all capitals
        {"text", "\x8A" "KOLA", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CanGlueLines(row.upper, row.lower, s), row.glued) << row.upper << " | " << row.lower;
    // A hyphen break needs three characters before it and a lowercase Czech letter after it.
    EXPECT_TRUE(IsHyphenatedBreak("slo-", "\xE8" "lov\xECk"));
    EXPECT_FALSE(IsHyphenatedBreak("slo -", "vo") || IsHyphenatedBreak("a-", "vo") || IsHyphenatedBreak("slo-", "1") ||
                 IsHyphenatedBreak("slo-", "\xC4" "a"));  // a Czech-less letter is in no set
    s.noCaps = false;
    EXPECT_TRUE(CanGlueLines("KAPITOLA", "text", s));
    EXPECT_FALSE(CanGlueLines("KAPITOLA", "123", s));  // the digit rule still holds
}

// Short entries and lines over few bytes, so that entries begin one another, repeat, and
// differ only in bytes above 0x7F.
std::string RandomBytes(std::mt19937& rng, int maxLength)
{
    std::string text(rng() % (maxLength + 1), ' ');
    for (char& byte : text)
        byte = "ab \x80\xFF\xE8K"[rng() % 7];
    return text;
}

TEST(LineTests, NoGlueMatcherAndAutomatonAgreeWithTheTestEntryByEntry)
{
    std::mt19937 rng(1901);
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> entries(std::uniform_int_distribution<int>(0, 12)(rng));
        for (std::string& entry : entries)
            entry = RandomBytes(rng, 4);
        const NoGlueMatcher matcher(entries);
        const NoGlueAutomaton automaton(matcher);
        for (int line = 0; line < 40; ++line) {
            const std::string text = RandomBytes(rng, 6);
            const bool literal =
                std::ranges::any_of(entries, [&](std::string_view e) { return !e.empty() && text.starts_with(e); });
            ASSERT_EQ(matcher.StartsAnyOf(text), literal) << "round " << round << ", line '" << text << "'";
            // The automaton, reading the line backwards, knows those of the entries that matter
            // which hold a space.
            const bool withSpace = std::ranges::any_of(
                matcher.Entries(), [&](std::string_view e) { return e.find(' ') != e.npos && text.starts_with(e); });
            NoGlueAutomaton::State state = NoGlueAutomaton::kStart;
            for (auto byte = text.rbegin(); byte != text.rend(); ++byte)
                state = automaton.Step(state, uint8_t(*byte));
            ASSERT_EQ(automaton.Matches(state), withSpace) << "round " << round << ", line '" << text << "'";
        }
    }
}

}  // namespace
}  // namespace lepotex
