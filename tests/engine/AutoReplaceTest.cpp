#include "engine/AutoReplace.h"

#include <gtest/gtest.h>

#include <random>

#include "LiteralReference.h"
#include "RandomText.h"
#include "editor/EditorErrors.h"

namespace lepotex {
namespace {

constexpr int64_t kTextLimit = 2147483647;

// One line-break rule over a list of lines, each taken with a CR LF behind it.
void ApplyLineBreakRule(WorkingList& list, const ReplacementRule& rule, int64_t maxBytes)
{
    GluedText glued = WriteOut(LineList(list));
    ApplyLineBreakRule(glued, rule, maxBytes);
    const LineViews lines = glued.Lines();
    list.assign(lines.begin(), lines.end());
}

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

// Rules applied as each line is written must give what one rule after the other gives over
// the whole text, including where the text grows past the limit and how many rules were
// reported done before that.
TEST(AutoReplace, RulesAppliedLineByLineMatchTheWholeText)
{
    std::mt19937 rng(11);
    const std::vector<std::string> pool = {
        "\x93\x84\\\x93^p\x84", "ab\\b^p", "x\\x^px", "a\\^pa", "lo\\l^po", "slo\\^p", "b\\^pbb", "aa\\a^pa"};
    std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
    for (int round = 0; round < 1500; ++round) {
        std::vector<ReplacementRule> rules;
        for (int n = round % 4 + 1; n > 0; --n)
            rules.push_back(ParseRule(pool[pick(rng)]));
        const WorkingList input = testing::RandomLines(rng, 12, round % 7 == 0);
        // A limit the rules cross in some rounds and not in others.
        int64_t size = 0;
        for (const std::string& line : input)
            size += int64_t(line.size()) + 2;
        const int64_t limit = round % 3 == 0 ? size + 6 : kTextLimit;

        WorkingList literal = input;
        std::size_t literalDone = 0;
        bool literalFailed = false;
        for (const ReplacementRule& rule : rules) {
            std::string text;
            for (const std::string& line : literal)
                text += line + "\r\n";
            const std::string replacement = ExpandParagraphMarks(rule.replacement);
            literal::ApplyLineBreakRule(literal, rule.search, replacement);
            // The size the limit is checked against: the replaced text, before it is cut
            // into lines again (which may turn a lone CR into a CR LF).
            TextBuffer replaced;
            int64_t unlimited = 0;
            ReplaceRepeatedly(text, rule.search, replacement, replaced, unlimited, INT64_MAX);
            const auto after = int64_t(replaced.size());
            // The limit is checked after every replacement: a growing rule is at its largest
            // at the end, a shrinking one after its first replacement.
            const int64_t delta = int64_t(replacement.size()) - int64_t(rule.search.size());
            if (text.find(rule.search) != std::string::npos && (delta >= 0 ? after : size + delta) > limit) {
                literalFailed = true;
                break;
            }
            size = 0;
            for (const std::string& line : literal)
                size += int64_t(line.size()) + 2;
            ++literalDone;
        }

        const LineList lines(input);
        std::size_t done = 0;
        try {
            const GluedText glued = WriteOutWithRules(lines, rules, limit, [&](const ReplacementRule&) { ++done; });
            ASSERT_FALSE(literalFailed) << "round " << round;
            WorkingList linear;
            for (std::string_view line : glued.Lines())
                linear.emplace_back(line);
            ASSERT_EQ(linear, literal) << "round " << round;
        } catch (const EEditorError&) {
            ASSERT_TRUE(literalFailed) << "round " << round;
        }
        ASSERT_EQ(done, literalDone) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
