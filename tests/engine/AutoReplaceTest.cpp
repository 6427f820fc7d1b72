#include "engine/AutoReplace.h"

#include <gtest/gtest.h>

#include <random>

#include "LiteralReference.h"
#include "RandomText.h"
#include "editor/EditorErrors.h"

namespace lepotex {
namespace {

constexpr int64_t kTextLimit = 2147483647;

TEST(AutoReplace, ClassifiesRules)
{
    struct Row { const char* rule; RuleKind kind; };
    const Row rows[] = {
        {"abc", RuleKind::NotApplied},      {"\\abc", RuleKind::NotApplied},
        {"abc\\", RuleKind::NotApplied},    {"a^pb\\c", RuleKind::NotApplied},
        {"a\\b\\^p", RuleKind::NotApplied}, {"abc\\\\", RuleKind::InPlace},
        {"sena\\se na", RuleKind::InPlace}, {"x\\a^pb", RuleKind::LineBreak},
        {"x\\y^pz\\w", RuleKind::LineBreak},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        EXPECT_EQ(ParseRule(row.rule).kind, row.kind);
    }
    const ReplacementRule rule = ParseRule("a\\b\\c\\d");
    EXPECT_EQ(rule.replacement, "b");
    EXPECT_EQ(rule.optionField, "c\\d");  // a third "\" belongs to the option field

    // Only 255 bytes after the first "\" are read.
    const ReplacementRule longRule = ParseRule("a\\" + std::string(300, 'r'));
    EXPECT_EQ(longRule.replacement.size(), 255u);
    EXPECT_EQ(ParseRule("a\\" + std::string(255, 'r') + "^p").kind, RuleKind::InPlace);
}

TEST(AutoReplace, OptionFieldChoosesWholeWordAndCase)
{
    struct Row { const char* rule; bool wholeWord; bool matchCase; };
    const Row rows[] = {
        {"Abc\\Xyz", true, true}, {"Abc\\Xyz\\", false, false}, {"Abc\\Xyz\\W", true, false},
        {"Abc\\Xyz\\c", false, true}, {"Abc\\Xyz\\wc", true, true}, {"Abc\\Xyz\\q", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        const SearchOptions o = RuleSearchOptions(ParseRule(row.rule));
        EXPECT_EQ(o.wholeWord, row.wholeWord);
        EXPECT_EQ(o.matchCase, row.matchCase);
        EXPECT_TRUE(o.global && o.replace && o.replaceAll);
        EXPECT_FALSE(o.backward || o.selectedOnly);
    }
}

TEST(AutoReplace, LineBreakRuleSplitsLinesAndRescans)
{
    WorkingList list = {"konec\x93\x84" "Dal\x9A\xED", "ab"};
    ApplyLineBreakRule(list, ParseRule("\x93\x84\\\x93^p\x84"), kTextLimit);
    EXPECT_EQ(list, (WorkingList{"konec\x93", "\x84" "Dal\x9A\xED", "ab"}));

    // "aab" -> "ab" -> "b" ... an occurrence made by a replacement and the text before it.
    list = {"aaab"};
    ApplyLineBreakRule(list, ParseRule("ab\\b^p"), kTextLimit);
    EXPECT_EQ(list, (WorkingList{"b", "", "", ""}));

    // A replacement holding its own search text: each occurrence once, left to right.
    list = {"xax"};
    ApplyLineBreakRule(list, ParseRule("x\\x^px"), kTextLimit);
    EXPECT_EQ(list, (WorkingList{"x", "xax", "x"}));

    // A lone CR in a line splits it when any line-break rule runs, found or not.
    list = {"a\rb", "c"};
    ApplyLineBreakRule(list, ParseRule("zz\\^p"), kTextLimit);
    EXPECT_EQ(list, (WorkingList{"a", "b", "c"}));
}

TEST(AutoReplace, GrowingPastTheLimitIsAnError)
{
    WorkingList list = {"aaaa"};
    const WorkingList before = list;
    EXPECT_THROW(ApplyLineBreakRule(list, ParseRule("a\\bbb^p"), 20), EEditorError);
    list = before;
    EXPECT_NO_THROW(ApplyLineBreakRule(list, ParseRule("a\\bbb^p"), 26));
}

TEST(AutoReplace, TextToLinesEndsLinesAtEveryBreak)
{
    EXPECT_EQ(TextToLines(""), WorkingList{});
    EXPECT_EQ(TextToLines("a\r\n"), WorkingList{"a"});
    EXPECT_EQ(TextToLines("a\r\n\r\nb"), (WorkingList{"a", "", "b"}));
    EXPECT_EQ(TextToLines("a\nb\rc\r\r\n"), (WorkingList{"a", "b", "c", ""}));
}

TEST(AutoReplace, MatchesTheLiteralRescanOnRandomTexts)
{
    std::mt19937 rng(7);
    const std::vector<std::string> rules = {
        "\x93\x84\\\x93^p\x84", "\x93 \x84\\\x93^p\x84", "ab\\b^p", "ab\\^pa", "aa\\a^pa", "a\\^p",
        "lo\\l^po", "x\\x^px", "\r\\^p", "b\\^pbb", "slo\\o^pl"};
    for (int round = 0; round < 2000; ++round) {
        const WorkingList input = testing::RandomLines(rng, 12, round % 4 == 0);
        const ReplacementRule rule = ParseRule(rules[std::size_t(round) % rules.size()]);
        ASSERT_EQ(rule.kind, RuleKind::LineBreak);
        WorkingList literal = input;
        literal::ApplyLineBreakRule(literal, rule.search, ExpandParagraphMarks(rule.replacement));
        WorkingList linear = input;
        ApplyLineBreakRule(linear, rule, kTextLimit);
        ASSERT_EQ(linear, literal) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
