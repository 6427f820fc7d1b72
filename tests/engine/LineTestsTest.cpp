#include "engine/LineTests.h"

#include <gtest/gtest.h>

namespace lepotex {
namespace {

Settings TestSettings()
{
    Settings s;
    s.noGlue = {"Kapitola", "\xC8\xE1st", "ISBN", ""};
    s.noCaps = true;
    return s;
}

TEST(LineTests, RecognisesPageNumbersBetweenDashes)
{
    for (const char* yes : {"- 12 -", "-12-", "-5-", "- 7 -", "- -3 -", "-\t9\x01-", "-$FF-", "-0x1f-", "-x10-",
                            "- +4 -", "-2147483647-", "--2147483648-", "-0xFFFFFFFF-"}) {
        SCOPED_TRACE(yes);
        EXPECT_TRUE(IsPageNumberLine(yes));
    }
    for (const char* no : {"", "-", "--", "- -", "12", "- 12", "- 12 a -", "-12a-", "-2147483648-",
                           "--2147483649-", "-0x100000000-", "-0x-", "-$-", "-+-", "- 1 2 -", "-12-x"}) {
        SCOPED_TRACE(no);
        EXPECT_FALSE(IsPageNumberLine(no));
    }
}

TEST(LineTests, HyphenatedBreakNeedsThreeCharactersAndLowercaseContinuation)
{
    EXPECT_TRUE(IsHyphenatedBreak("slo-", "vo"));
    EXPECT_TRUE(IsHyphenatedBreak("slo-", "\xE8" "lov\xECk"));  // č is lowercase
    EXPECT_FALSE(IsHyphenatedBreak("slo -", "vo"));
    EXPECT_FALSE(IsHyphenatedBreak("a-", "vo"));
    EXPECT_FALSE(IsHyphenatedBreak("slo-", "Vo"));
    EXPECT_FALSE(IsHyphenatedBreak("slo-", "1"));
    EXPECT_FALSE(IsHyphenatedBreak("slo", "vo"));
    EXPECT_FALSE(IsHyphenatedBreak("slo-", "\xC4" "a"));  // a Czech-less letter is in no set
}

TEST(LineTests, CanGlueLinesFollowsTheRulesInOrder)
{
    const Settings s = TestSettings();
    struct Row { const char* upper; const char* lower; bool glued; };
    const Row rows[] = {
        {"\xF8" "ekl, \x9E" "e", "p\xF8ijde", true},
        {"p\xF8i\x9A" "el.", "Pak", false},
        {"p\xF8i\x9A" "el.", "pak", true},
        {"\xF8" "ekl:", "\x84" "Poj\xEF", false},
        {"strana 12", "pokra\xE8uje", false},
        {"strana", "3 dny", false},
        {"konec\x93", "a pak", true},
        {"konec\x94", "A pak", true},      // the right quote is no sentence end
        {"konec\x85", "Pak", true},        // nor the ellipsis
        {"slo-", "Vo", false},
        {"text", "Kapitola 1", false},
        {"Kapitolami", "text", false},     // prefix, not whole word
        {"KAPITOLA", "text", false},       // all capitals
        {"text", "XII", false},
        {"text", "123", false},
        {"KAPITOLA PRVN\xCD", "text", true},  // a space: not all capitals
        {"\xC8\xE1st", "text", false},
        {"text", "\x8A" "KOLA", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.upper) + " | " + row.lower);
        EXPECT_EQ(CanGlueLines(row.upper, row.lower, s), row.glued);
    }
    Settings noCaps = s;
    noCaps.noCaps = false;
    EXPECT_TRUE(CanGlueLines("KAPITOLA", "text", noCaps));
    EXPECT_FALSE(CanGlueLines("KAPITOLA", "123", noCaps));  // the digit rule still holds
}

TEST(LineTests, ListOperationsJoinAndRemoveLiterally)
{
    WorkingList list = {"abc ", "def", "x"};
    JoinLines(list, 0);
    EXPECT_EQ(list, (WorkingList{"abc  def", "x"}));

    list = {"slo-", "", "", "vo", "dal"};
    JoinHyphenatedLines(list, 0);
    EXPECT_EQ(list, (WorkingList{"slovo", "dal"}));

    list = {"a", "b", "c"};
    DeleteLine(list, 1);
    EXPECT_EQ(list, (WorkingList{"a", "c"}));
}

}  // namespace
}  // namespace lepotex
